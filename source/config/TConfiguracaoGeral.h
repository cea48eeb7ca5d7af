#pragma once

#include <QString>

// The general settings, one field per key of the section GERAL, named as the key.
// Starts with the defaults, which are also the console's initial control values.
struct TConfiguracaoGeral {
    bool Inicializar = false;
    QString PortaHost = QStringLiteral("9191");
    QString ExpRegular = QStringLiteral("\\d\\d\\d\\d\\d+");
    QString TempoLeituraCom = QStringLiteral("1000");
    int NBalanca = 1;
    bool VisualizarLeituras = false;
    double UtilizaTolerancia = 0;
    bool PassaZero = false;
    QString TipoLeituraOrigem_BL1 = QStringLiteral("S");
    QString TipoLeituraOrigem_BL2 = QStringLiteral("S");
    double PosicaoInicial_BL1 = 1;
    double TamanhoString_BL1 = 0;
    double PosicaoInicial_BL2 = 1;
    double TamanhoString_BL2 = 0;

    bool operator==(const TConfiguracaoGeral&) const = default;
};

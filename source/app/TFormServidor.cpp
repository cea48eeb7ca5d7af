#include "app/TFormServidor.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <limits>

#include "config/TIniFile.h"

namespace {

const QString kGeral = QStringLiteral("GERAL");

// The record keeps positions and lengths as numbers; the file holds them as integers.
int AsInteger(double value)
{
    if (!(value > std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (value >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(std::trunc(value));
}

}  // namespace

TFormServidor::TFormServidor(QString programFolder, QString workingDirectory, QObject* parent)
    : QObject(parent),
      frameConfiguracaoSerialBL1(QStringLiteral("frameConfiguracaoSerialBL1"), workingDirectory),
      frameConfiguracaoSerialBL2(QStringLiteral("frameConfiguracaoSerialBL2"), workingDirectory),
      frameConfiguracaoSocketBl1(QStringLiteral("frameConfiguracaoSocketBl1"), workingDirectory),
      frameConfiguracaoSocketBl2(QStringLiteral("frameConfiguracaoSocketBl2"), workingDirectory),
      FProgramFolder(std::move(programFolder)),
      FWorkingDirectory(std::move(workingDirectory))
{
}

TFormServidor::~TFormServidor() = default;

QString TFormServidor::CaminhoConfiguracao() const
{
    QString folder = FProgramFolder;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder + QStringLiteral("ConfigSerial.ini");
}

void TFormServidor::CarregaConfiguracaoGeral()
{
    // Earlier objects stay with the readers that hold them.
    FTcom1.reset();
    FTcom2.reset();
    FTsok1.reset();
    FTsok2.reset();

    if (!QFileInfo::exists(CaminhoConfiguracao()))
        GravaConfiguracaoGeral();

    TConfiguracaoGeral& c = ConfiguracaoGeral;
    {
        TIniFile ini(CaminhoConfiguracao());
        c.Inicializar = ini.ReadBool(kGeral, QStringLiteral("Inicializar"), c.Inicializar);
        c.PortaHost = ini.ReadString(kGeral, QStringLiteral("PortaHost"), c.PortaHost);
        c.ExpRegular = ini.ReadString(kGeral, QStringLiteral("ExpRegular"), c.ExpRegular);
        c.TempoLeituraCom =
            ini.ReadString(kGeral, QStringLiteral("TempoLeituraCom"), c.TempoLeituraCom);
        c.NBalanca = ini.ReadInteger(kGeral, QStringLiteral("NBalanca"), c.NBalanca);
        c.VisualizarLeituras =
            ini.ReadBool(kGeral, QStringLiteral("VisualizarLeituras"), c.VisualizarLeituras);
        c.UtilizaTolerancia =
            ini.ReadFloat(kGeral, QStringLiteral("UtilizaTolerancia"), c.UtilizaTolerancia);
        c.PassaZero = ini.ReadBool(kGeral, QStringLiteral("PassaZero"), c.PassaZero);
        FTipoLeituraBL1 =
            ini.ReadString(kGeral, QStringLiteral("TipoLeituraOrigem_BL1"), FTipoLeituraBL1);
        FTipoLeituraBL2 =
            ini.ReadString(kGeral, QStringLiteral("TipoLeituraOrigem_BL2"), FTipoLeituraBL2);
        c.PosicaoInicial_BL1 = ini.ReadInteger(kGeral, QStringLiteral("PosicaoInicial_BL1"),
                                               AsInteger(c.PosicaoInicial_BL1));
        c.TamanhoString_BL1 = ini.ReadInteger(kGeral, QStringLiteral("TamanhoString_BL1"),
                                              AsInteger(c.TamanhoString_BL1));
        c.PosicaoInicial_BL2 = ini.ReadInteger(kGeral, QStringLiteral("PosicaoInicial_BL2"),
                                               AsInteger(c.PosicaoInicial_BL2));
        c.TamanhoString_BL2 = ini.ReadInteger(kGeral, QStringLiteral("TamanhoString_BL2"),
                                              AsInteger(c.TamanhoString_BL2));
    }
    c.TipoLeituraOrigem_BL1 = FTipoLeituraBL1;
    c.TipoLeituraOrigem_BL2 = FTipoLeituraBL2;
    Q_EMIT ConfiguracaoGeralCarregada();

    CarregaOrigens();
}

void TFormServidor::CarregaOrigens()
{
    // The first letter decides, with case: "E" Ethernet, "S" serial, anything else none.
    auto letra = [](const QString& tipo) { return tipo.isEmpty() ? QChar() : tipo.at(0); };
    const QChar bl1 = letra(FTipoLeituraBL1);
    if (bl1 == QLatin1Char('E'))
        FTsok1 = frameConfiguracaoSocketBl1.Carregar(frameConfiguracaoSocketBl1.Name());
    else if (bl1 == QLatin1Char('S'))
        FTcom1 = frameConfiguracaoSerialBL1.Carregar(frameConfiguracaoSerialBL1.Name());
    const QChar bl2 = letra(FTipoLeituraBL2);
    if (bl2 == QLatin1Char('E'))
        FTsok2 = frameConfiguracaoSocketBl2.Carregar(frameConfiguracaoSocketBl2.Name());
    else if (bl2 == QLatin1Char('S'))
        FTcom2 = frameConfiguracaoSerialBL2.Carregar(frameConfiguracaoSerialBL2.Name());
}

void TFormServidor::GravaConfiguracaoGeral()
{
    const TConfiguracaoGeral& c = ConfiguracaoGeral;
    TIniFile ini(CaminhoConfiguracao());
    ini.WriteBool(kGeral, QStringLiteral("Inicializar"), c.Inicializar);
    ini.WriteString(kGeral, QStringLiteral("PortaHost"), c.PortaHost);
    ini.WriteString(kGeral, QStringLiteral("ExpRegular"), c.ExpRegular);
    ini.WriteString(kGeral, QStringLiteral("TempoLeituraCom"), c.TempoLeituraCom);
    ini.WriteInteger(kGeral, QStringLiteral("NBalanca"), c.NBalanca);
    ini.WriteBool(kGeral, QStringLiteral("VisualizarLeituras"), c.VisualizarLeituras);
    ini.WriteFloat(kGeral, QStringLiteral("UtilizaTolerancia"), c.UtilizaTolerancia);
    ini.WriteBool(kGeral, QStringLiteral("PassaZero"), c.PassaZero);
    ini.WriteString(kGeral, QStringLiteral("TipoLeituraOrigem_BL1"), c.TipoLeituraOrigem_BL1);
    ini.WriteString(kGeral, QStringLiteral("TipoLeituraOrigem_BL2"), c.TipoLeituraOrigem_BL2);
    ini.WriteFloat(kGeral, QStringLiteral("PosicaoInicial_BL1"), c.PosicaoInicial_BL1);
    ini.WriteFloat(kGeral, QStringLiteral("TamanhoString_BL1"), c.TamanhoString_BL1);
    ini.WriteFloat(kGeral, QStringLiteral("PosicaoInicial_BL2"), c.PosicaoInicial_BL2);
    ini.WriteFloat(kGeral, QStringLiteral("TamanhoString_BL2"), c.TamanhoString_BL2);
}

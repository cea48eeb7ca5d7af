#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "config/TCampoPainel.h"
#include "scale/TConfiguracaoSerial.h"

// The serial settings panel of one scale: its eight fields, kept in the section named after
// the panel in ConfigSerial.ini of the working directory, and the serial object built from them.
class TframeConfiguracaoSerial : public QObject {
    Q_OBJECT
public:
    // name: the panel's component name, also its section; workingDirectory: where its file is.
    TframeConfiguracaoSerial(QString name, QString workingDirectory, QObject* parent = nullptr);

    const QString& Name() const { return FName; }
    QString CaminhoArquivo() const;

    // The port list: "COM1" to "COM17", then the serial devices present on this machine.
    static QStringList PortasDisponiveis();

    TCampoPainel cbPort;
    TCampoPainel cbBaudRate;
    TCampoPainel cbDataBits;
    TCampoPainel cbStopBits;
    TCampoPainel cbParity;
    TCampoPainel cbFlowControl;
    TCampoPainel edtStartString;
    TCampoPainel edtStopString;

    void Gravar();
    void GravaConfiguracao(const QString& ABalanca);
    void CarregaConfiguracao(const QString& ABalanca);
    std::shared_ptr<TConfiguracaoSerial> Carregar(const QString& ABalanca);
    // A new object at every call; the port is not opened.
    std::shared_ptr<TConfiguracaoSerial> GetConfiguracaoPorta() const;
    std::shared_ptr<TConfiguracaoSerial> ConfiguracaoPorta() const { return GetConfiguracaoPorta(); }
    void RefreshComponents(bool AValor);

Q_SIGNALS:
    // The fields' texts or enabled state were changed by the panel itself.
    void Alterado();

private:
    struct TChave {
        const char* Key;
        TCampoPainel TframeConfiguracaoSerial::*Campo;
    };
    static const TChave kChaves[8];

    QString FName;
    QString FWorkingDirectory;
};

#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "app/TStatusLog.h"
#include "config/TConfiguracaoGeral.h"
#include "config/TframeConfiguracaoSerial.h"
#include "config/TframeConfiguracaoSocket.h"
#include "platform/TServerSocket.h"
#include "scale/TConfiguracaoOrigemSocket.h"
#include "scale/TConfiguracaoSerial.h"
#include "scale/TLeSerial.h"
#include "scale/TPacote.h"

// The server console's state and operations, without any widget: the window shows this
// object and forwards its events to it; headless mode and tests drive it directly.
class TFormServidor : public QObject {
    Q_OBJECT
public:
    // programFolder: the executable's folder, where GERAL lives; workingDirectory: where the
    // panels keep their sections.
    TFormServidor(QString programFolder, QString workingDirectory, QObject* parent = nullptr);
    ~TFormServidor() override;

    const QString& ProgramFolder() const { return FProgramFolder; }
    const QString& WorkingDirectory() const { return FWorkingDirectory; }

    // The general section's file: the program folder's ConfigSerial.ini.
    QString CaminhoConfiguracao() const;
    // Loads GERAL into the record (creating the file when missing) and builds the scales'
    // origin objects from the panels of their origins. Raises "Unable to write to ..."
    // when the missing file cannot be created.
    void CarregaConfiguracaoGeral();
    // Writes the fourteen GERAL keys from the record.
    void GravaConfiguracaoGeral();

    // The request of the latest client read event.
    std::unique_ptr<TPacote> FPacote;
    // The scales' readers; shared with their running threads.
    std::shared_ptr<TLeSerial> BalancaB1;
    std::shared_ptr<TLeSerial> BalancaB2;
    // Origin objects of the last load; shared with the readers built from them.
    std::shared_ptr<TConfiguracaoSerial> FTcom1;
    std::shared_ptr<TConfiguracaoSerial> FTcom2;
    std::shared_ptr<TConfiguracaoOrigemSocket> FTsok1;
    std::shared_ptr<TConfiguracaoOrigemSocket> FTsok2;
    bool FIniciado = false;
    QString FTipoLeituraBL1;
    QString FTipoLeituraBL2;

    TConfiguracaoGeral ConfiguracaoGeral;
    TframeConfiguracaoSerial frameConfiguracaoSerialBL1;
    TframeConfiguracaoSerial frameConfiguracaoSerialBL2;
    TframeConfiguracaoSocket frameConfiguracaoSocketBl1;
    TframeConfiguracaoSocket frameConfiguracaoSocketBl2;
    TStatusLog Status;
    // "Muestra Comandos ?": echo every client request to the status log; never saved.
    bool VisualizarComandosCliente = false;
    // The weight server; listens between a server start and the next stop.
    TServerSocket S_Server{9191};

Q_SIGNALS:
    // The record was filled from the file; the window shows it again.
    void ConfiguracaoGeralCarregada();

private:
    void CarregaOrigens();

    QString FProgramFolder;
    QString FWorkingDirectory;
};

#pragma once

#include <QObject>
#include <QTimer>
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
#include "scale/TPesoEstavel.h"

class TProtocoloCliente;

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

    // The window's creation event: the settings load. Raises what the load raises.
    void FormCreate();
    // Builds the extractors and readers of both scales, or of the failed one only (a watchdog
    // restart, which keeps the other scale running). Replaced readers are asked to stop first.
    void inicializaBasculas(bool balanca1 = true, bool balanca2 = true);
    // The server start; handles its own errors. A start asked for while another start is
    // still inside a message box is not run.
    void IniciaServidor();
    void ParaServidor();
    // The watchdog's tick: restarts a scale whose reader has ended with a connection error.
    void tmrValidarThreadTimer();
    // The serial port test of scale 0 or 1 with the panel's saved settings.
    bool TestaSerial(int balanca, bool silencioso);
    bool TestaPorta(TConfiguracaoSerial& porta);
    // A new weight of either extractor: its line when "Muestra Lecturas ?" is on.
    void AtualizaTelaOnAtualizaPeso(TPesoEstavel* Sender);

    const QString& CaptionServidor() const { return FCaptionServidor; }
    int TrayPicture() const { return FTrayPicture; }

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
    // The scales' weight extractors; the readers use what these fields hold.
    std::shared_ptr<TPesoEstavel> FPesoB1;
    std::shared_ptr<TPesoEstavel> FPesoB2;
    // The watchdog: every 1000 ms while the server is started.
    QTimer tmrValidarThread;

Q_SIGNALS:
    // The record was filled from the file; the window shows it again.
    void ConfiguracaoGeralCarregada();
    // A reader's run ended through a failure; the message is the error's own.
    void LeituraFalhou(const QString& mensagem);

private:
    void CarregaOrigens();
    // A start; a restart by the watchdog rebuilds only the scales it names.
    void Inicia(bool peloWatchdog, bool balanca1, bool balanca2);
    std::shared_ptr<TPesoEstavel> CriaPeso(const QString& nome, double posicao, double tamanho);
    std::shared_ptr<TLeSerial> CriaLeitor(std::shared_ptr<TConfiguracaoSerial> porta,
                                          std::shared_ptr<TConfiguracaoOrigemSocket> socket,
                                          std::shared_ptr<TPesoEstavel>& peso, int tempo);
    void ParaLeitor(const std::shared_ptr<TLeSerial>& leitor);
    void SetCaptionServidor(const QString& caption);
    void SetTrayPicture(int index);

    QString FCaptionServidor = QStringLiteral("Iniciar el Servidor");
    int FTrayPicture = 0;
    bool FIniciando = false;
    bool FSilencioso = false;
    std::unique_ptr<TProtocoloCliente> FProtocolo;

    QString FProgramFolder;
    QString FWorkingDirectory;
};

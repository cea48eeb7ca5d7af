#include "app/TFormServidor.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <limits>
#include <optional>

#include "Log/TKrLogLevel.h"
#include "Log/TKrLogger.h"
#include "app/ApplicationErrors.h"
#include "config/TIniFile.h"
#include "platform/UserInterface.h"
#include "server/TProtocoloCliente.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>

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
    FProtocolo = std::make_unique<TProtocoloCliente>(*this);
    tmrValidarThread.setInterval(1000);
    connect(&tmrValidarThread, &QTimer::timeout, this, [this] { Guarded([this] { tmrValidarThreadTimer(); }); });
}

TFormServidor::~TFormServidor()
{
    // The readers refer to this object's fields: they are told to stop and, for a bounded
    // time, their last main-thread steps are run, so none is left pointing at freed fields.
    tmrValidarThread.stop();
    const std::shared_ptr<TLeSerial> leitores[] = {BalancaB1, BalancaB2};
    for (const auto& leitor : leitores)
        if (leitor)
            leitor->Suspend();
    auto rodando = [&] {
        for (const auto& leitor : leitores)
            if (leitor && leitor->Iniciado() && !leitor->Finished())
                return true;
        return false;
    };
    QDeadlineTimer limite(5000);
    while (rodando() && !limite.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

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

namespace {

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

int StrToInt(const QString& text)
{
    if (const std::optional<int> value = TIniFile::ParseInteger(text))
        return *value;
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

// The reader's pause: a negative one would never end, a tiny one would flood the main thread.
int TempoLeitura(const QString& text)
{
    const int tempo = StrToInt(text);
    if (tempo < 0)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return std::max(tempo, 10);
}

int PortaServidor(const QString& text)
{
    const int porta = StrToInt(text);
    if (porta < 1 || porta > 65535)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return porta;
}

QString DescricaoPorta(const TLeSerial& leitor)
{
    if (leitor.FComPort)
        return leitor.FComPort->Port();
    return leitor.FSocket->Address() + QLatin1Char(':') + QString::number(leitor.FSocket->Port());
}

bool TemOrigem(const std::shared_ptr<TLeSerial>& leitor)
{
    return leitor && (leitor->FComPort || leitor->FSocket);
}

}  // namespace

void TFormServidor::FormCreate()
{
    FIniciado = false;
    CarregaConfiguracaoGeral();
}

std::shared_ptr<TPesoEstavel> TFormServidor::CriaPeso(const QString& nome, double posicao,
                                                      double tamanho)
{
    const TConfiguracaoGeral& c = ConfiguracaoGeral;
    auto peso = std::make_shared<TPesoEstavel>(nome, c.PassaZero, c.ExpRegular);
    peso->SetOnNovoPeso([this](TPesoEstavel* sender) { AtualizaTelaOnAtualizaPeso(sender); });
    peso->SetTolerancia(c.UtilizaTolerancia);
    peso->SetPosicaoInicial(AsInteger(posicao));
    peso->SetTamanhoString(AsInteger(tamanho));
    return peso;
}

std::shared_ptr<TLeSerial> TFormServidor::CriaLeitor(std::shared_ptr<TConfiguracaoSerial> porta,
                                                     std::shared_ptr<TConfiguracaoOrigemSocket> socket,
                                                     std::shared_ptr<TPesoEstavel>& peso, int tempo)
{
    auto leitor = TLeSerial::Create(std::move(porta), std::move(socket), peso, tempo, Status);
    QPointer<TFormServidor> self(this);
    leitor->SetOnTerminate([self](TLeSerial& fim) {
        if (self && fim.FErroConexao)
            Q_EMIT self->LeituraFalhou(fim.MotivoErro());
    });
    return leitor;
}

void TFormServidor::ParaLeitor(const std::shared_ptr<TLeSerial>& leitor)
{
    // The stop closes a serial port at once, so a new reader or test can open it.
    if (leitor && !leitor->Finished())
        leitor->DoTerminate();
}

void TFormServidor::inicializaBasculas(bool balanca1, bool balanca2)
{
    CarregaConfiguracaoGeral();
    // No replaced reader runs on unseen, holding its port and feeding the new extractor.
    if (balanca1)
        ParaLeitor(BalancaB1);
    if (balanca2)
        ParaLeitor(BalancaB2);

    const TConfiguracaoGeral& c = ConfiguracaoGeral;
    if (balanca2)
        FPesoB2 = CriaPeso(QStringLiteral("Bascula2"), c.PosicaoInicial_BL2, c.TamanhoString_BL2);
    if (balanca1)
        FPesoB1 = CriaPeso(QStringLiteral("Bascula1"), c.PosicaoInicial_BL1, c.TamanhoString_BL1);

    const int tempo = TempoLeitura(c.TempoLeituraCom);
    if (balanca1)
        BalancaB1 = CriaLeitor(FTcom1, FTsok1, FPesoB1, tempo);
    if (balanca2)
        BalancaB2 = CriaLeitor(FTcom2, FTsok2, FPesoB2, tempo);
}

void TFormServidor::IniciaServidor() { Inicia(false, true, true); }

void TFormServidor::Inicia(bool peloWatchdog, bool balanca1, bool balanca2)
{
    // A box of a start runs a nested loop, where a watchdog tick could start again.
    if (FIniciando)
        return;
    FIniciando = true;
    struct TFim {
        bool& flag;
        ~TFim() { flag = false; }
    } fim{FIniciando};

    // Only a restart by the watchdog keeps the healthy scale as it is: resetting it every
    // second while the other scale is away would answer 0 for it and defeat PSL1/PSL2.
    const bool reinicio = peloWatchdog && S_Server.Active();
    if (!reinicio)
        balanca1 = balanca2 = true;
    try {
        TKrLogger::getLogger(QStringLiteral("STARTUP"))
            ->log(TKrLogLevel::INFO, QStringLiteral("TFormServidor"), QStringLiteral("IniciaServidor"),
                  QStringLiteral("Iniciando Servidor..."), QVariantList());
        inicializaBasculas(balanca1, balanca2);

        if (balanca1 && TemOrigem(BalancaB1) && BalancaB1->Suspended()) {
            BalancaB1->Resume();
            Status.Add(QStringLiteral("Lease puerta ") + DescricaoPorta(*BalancaB1));
        }

        if (balanca2 && ConfiguracaoGeral.NBalanca == 2 && TemOrigem(BalancaB2) && BalancaB2->Suspended()) {
            // The silent port test is for a serial scale 2 at a start; a watchdog restart
            // leaves the report of a port still away to the reader, without a box each second.
            if (reinicio || BalancaB2->FSocket || TestaSerial(1, true)) {
                BalancaB2->Resume();
                Status.Add(QStringLiteral("Lease puerta ") + DescricaoPorta(*BalancaB2));
            }
        }

        if (!S_Server.Active()) {
            S_Server.SetPort(PortaServidor(ConfiguracaoGeral.PortaHost));
            S_Server.SetActive(true);
            Status.Add(QStringLiteral("Servidor ::> Servidor Activado!"));
            SetCaptionServidor(QStringLiteral("Parar Servidor"));
            FIniciado = true;
            SetTrayPicture(0);
            tmrValidarThread.start();
        }
    } catch (...) {
        const std::exception_ptr erro = std::current_exception();
        Status.Add(QStringLiteral("Error de inicialización del Servidor "));
        SetTrayPicture(1);
        tmrValidarThread.stop();
        // Halted in order: they release their ports and never read again.
        for (const std::shared_ptr<TLeSerial>& leitor : {BalancaB1, BalancaB2}) {
            if (leitor) {
                leitor->Suspend();
                leitor->Terminate();
            }
        }
        UserInterface().MessageBox(
            QStringLiteral("Error de inicialización del Servidor ") + ExceptionMessage(erro), QString(),
            TMsgIcon::None);
    }
}

void TFormServidor::ParaServidor()
{
    for (const std::shared_ptr<TLeSerial>& leitor : {BalancaB1, BalancaB2}) {
        // Only readers still running get their line.
        if (TemOrigem(leitor) && !leitor->Suspended() && !leitor->Finished()) {
            leitor->DoTerminate();
            Status.Add(QStringLiteral("Suspendiendo puerta ") + DescricaoPorta(*leitor));
        }
    }
    if (S_Server.Active()) {
        S_Server.SetActive(false);
        Status.Add(QStringLiteral("Servidor ::> Servidor Desactivado!"));
        SetCaptionServidor(QStringLiteral("Iniciar Servidor"));
    }
    tmrValidarThread.stop();
    FIniciado = false;
    SetTrayPicture(1);
}

void TFormServidor::tmrValidarThreadTimer()
{
    if (!FIniciado)
        return;
    const bool falhou1 = BalancaB1 && BalancaB1->FErroConexao;
    // A scale 2 that went away would otherwise answer its last weight for ever.
    const bool falhou2 = ConfiguracaoGeral.NBalanca == 2 && BalancaB2 && BalancaB2->FErroConexao;
    if (falhou1 || falhou2)
        Inicia(true, falhou1, falhou2);
}

bool TFormServidor::TestaSerial(int balanca, bool silencioso)
{
    TframeConfiguracaoSerial& painel =
        balanca == 0 ? frameConfiguracaoSerialBL1 : frameConfiguracaoSerialBL2;
    const std::shared_ptr<TConfiguracaoSerial> porta = painel.Carregar(painel.Name());
    FSilencioso = silencioso;
    return TestaPorta(*porta);
}

bool TFormServidor::TestaPorta(TConfiguracaoSerial& porta)
{
    bool resultado = false;
    porta.Close();
    try {
        porta.Open();
        resultado = porta.Connected();
        if (!FSilencioso)
            UserInterface().MessageBox(QStringLiteral("Test ejecutado satisfactoriamente."), QString(),
                                       TMsgIcon::None);
    } catch (...) {
        UserInterface().MessageBox(QStringLiteral("Error al conectar al puerto: ") + porta.Port(),
                                   QString(), TMsgIcon::None);
        Status.Add(QStringLiteral("Error al abrir la puerta ") + porta.Port() +
                   QStringLiteral("\r\nPor favor, revise la configuración de los puertos serial"));
    }
    porta.Close();
    return resultado;
}

void TFormServidor::AtualizaTelaOnAtualizaPeso(TPesoEstavel* Sender)
{
    if (ConfiguracaoGeral.VisualizarLeituras && Sender)
        Status.Add(Sender->Nome() + QLatin1Char(' ') + Sender->PesoEstavel());
}

void TFormServidor::SetCaptionServidor(const QString& caption)
{
    FCaptionServidor = caption;
    UserInterface().ServerButtonChanged(caption);
}

void TFormServidor::SetTrayPicture(int index)
{
    FTrayPicture = index;
    UserInterface().TrayPictureChanged(index);
}

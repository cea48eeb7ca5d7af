#include "scale/TLeSerial.h"

#include <chrono>
#include <thread>

#include "app/ApplicationErrors.h"
#include "app/TStatusLog.h"
#include "platform/AnsiText.h"
#include "platform/TComDataPacket.h"
#include "platform/TMainThreadExecutor.h"
#include "scale/TConfiguracaoOrigemSocket.h"
#include "scale/TConfiguracaoSerial.h"
#include "scale/TPesoEstavel.h"
#include "scale/TextoZero.h"

namespace {

const QString kRevise = QStringLiteral("Por favor, revise la configuración de los puertos serial");

// Raised when the scale ends the TCP connection: a dead scale, not a weight of 0.
class EConexaoEncerrada : public Exception {
public:
    using Exception::Exception;
};

}  // namespace

std::shared_ptr<TLeSerial> TLeSerial::Create(std::shared_ptr<TConfiguracaoSerial> APort,
                                             std::shared_ptr<TConfiguracaoOrigemSocket> ASocket,
                                             std::shared_ptr<TPesoEstavel>& APesoEstavel,
                                             int ArefreshRate, TStatusLog& Memo)
{
    return std::make_shared<TLeSerial>(TKey{}, std::move(APort), std::move(ASocket), APesoEstavel,
                                       ArefreshRate, Memo);
}

TLeSerial::TLeSerial(TKey, std::shared_ptr<TConfiguracaoSerial> APort,
                     std::shared_ptr<TConfiguracaoOrigemSocket> ASocket,
                     std::shared_ptr<TPesoEstavel>& APesoEstavel, int ArefreshRate, TStatusLog& Memo)
    : FComPort(std::move(APort)),
      FSocket(std::move(ASocket)),
      FPesoEstavel(APesoEstavel),
      FComDataPacket(std::make_unique<TComDataPacket>()),
      FTempo(ArefreshRate),
      FPTTcxMemo(Memo)
{
    // Made here, on the main thread, before any reader needs it.
    TMainThreadExecutor::Instance();
    FComDataPacket->SetOnPacket([this](TComDataPacket&, const QString& packet) { RecebePacote(packet); });
    if (FComPort) {
        FComDataPacket->SetComPort(FComPort.get());
        FComDataPacket->SetStartString(FComPort->startString());
        FComDataPacket->SetStopString(FComPort->stopString());
    }
}

TLeSerial::~TLeSerial()
{
    // The packet is linked to a port of the main thread. A run that could not unlink it
    // (the program is ending) leaves it be rather than touch the port from here.
    const bool safe = !FComDataPacket->ComPort() || FPacketUnlinked ||
                      TMainThreadExecutor::Instance().IsMainThread();
    if (!safe)
        (void)FComDataPacket.release();
}

void TLeSerial::Resume()
{
    if (FHalted || FStarted.exchange(true))
        return;
    // Detached: the thread holds the reader, and nobody ever waits for it.
    std::thread([self = shared_from_this()] { self->Execute(); }).detach();
}

void TLeSerial::DoTerminate()
{
    {
        std::lock_guard lock(FLock);
        continuaExecutando = false;
    }
    FWake.notify_all();
    if (FComPort && FComPort->Connected()) {
        FComPort->ClearBuffer(true, true);
        FComPort->Close();
    }
    // Also while connecting: the close wakes the attempt.
    if (FSocket)
        FSocket->Close();
}

void TLeSerial::Suspend()
{
    FHalted = true;
    DoTerminate();
}

void TLeSerial::Sincroniza(const std::function<void()>& step) { TMainThreadExecutor::Instance().Run(step); }

void TLeSerial::RecebePacote(const QString& packet)
{
    if (packet.isEmpty())
        return;
    {
        std::lock_guard lock(FLock);
        FLastPeso.prepend(packet);
        // Newest first: what goes is the oldest.
        if (FLastPeso.size() > kLimiteAcumulado)
            FLastPeso.truncate(kLimiteAcumulado);
    }
    FWake.notify_all();
}

QString TLeSerial::MensagemErro() const
{
    std::lock_guard lock(FLock);
    return FMensagemErro;
}

QString TLeSerial::MotivoErro() const
{
    std::lock_guard lock(FLock);
    return FMotivoErro;
}

void TLeSerial::MostraMensagem(const QString& texto)
{
    {
        std::lock_guard lock(FLock);
        FMensagemErro = texto;
    }
    FMsgTexto = texto;
    Sincroniza([this] { FPTTcxMemo.Add(FMsgTexto); });
}

void TLeSerial::Pausa(int ms)
{
    std::unique_lock lock(FLock);
    FWake.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] { return !continuaExecutando; });
}

void TLeSerial::LimpaPesoAtual()
{
    // The extractor the owner's field holds now, not the one it held at creation.
    if (const std::shared_ptr<TPesoEstavel> peso = FPesoEstavel)
        peso->LimpaPeso(FPeso);
}

void TLeSerial::Execute()
{
    bool failed = false;
    try {
        if (FComPort)
            // Checked on the main thread, in turn with the stop: a stopped reader never opens.
            Sincroniza([this] {
                if (continuaExecutando)
                    FComPort->Open();
            });
        if (FSocket) {
            FSocket->SetClientType(TClientType::ctBlocking);
            FSocket->Open([this] { return continuaExecutando.load(); });
            FLiberaInicioLeitura = true;
        }
        while (continuaExecutando) {
            FErroConexao = false;
            LePeso();
            Pausa(FTempo);
        }
    } catch (const EExecutorClosed&) {
        // The program is ending: nobody is left to tell.
    } catch (...) {
        // What fails after our own stop (a closed port, a woken receive) is the stop's doing.
        failed = continuaExecutando;
        if (failed) {
            std::lock_guard lock(FLock);
            FMotivoErro = ExceptionMessage(std::current_exception());
        }
    }
    if (failed) {
        try {
            if (FComPort)
                MostraMensagem(QStringLiteral("Error al abrir la puerta ") + FComPort->Port() + "\r\n" + kRevise);
            if (FSocket)
                MostraMensagem(QStringLiteral("Error al conectar la puerta ") + FSocket->Host() + "\r\n" + kRevise);
        } catch (...) {
        }
        FErroConexao = true;
    }
    Encerra();
}

void TLeSerial::LePeso()
{
    if (FComPort)
        Sincroniza([this] { FComPort->InputCount(); });

    int tamanho = 0;
    Sincroniza([&] {
        if (const std::shared_ptr<TPesoEstavel> peso = FPesoEstavel)
            tamanho = peso->TamanhoString();
    });
    {
        // Sleeps until enough has been gathered, the limit passes or a stop comes.
        std::unique_lock lock(FLock);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimiteEspera);
        FPeso = FLastPeso;
        while (FPeso.size() < tamanho && continuaExecutando) {
            const bool timedOut = FWake.wait_until(lock, deadline) == std::cv_status::timeout;
            FPeso = FLastPeso;
            if (timedOut)
                break;
        }
    }
    if (FPeso.isEmpty())
        FPeso = kTextoZero;

    if (FComPort)
        Sincroniza([this] {
            if (FComPort->Connected())
                LimpaPesoAtual();
        });

    if (FSocket && FSocket->Active()) {
        const QByteArray recebido = FSocket->ReceiveBuf(kTamanhoRecepcao);
        if (recebido.isEmpty()) {
            if (!continuaExecutando)
                return;  // our stop woke the receive
            throw EConexaoEncerrada(QStringLiteral("The scale closed the connection"));
        }
        FPeso = AnsiToString(recebido);
        if (FLiberaInicioLeitura) {
            Pausa(kAtrasoPrimeiraLeitura);
            FLiberaInicioLeitura = false;
        }
        Sincroniza([this] { LimpaPesoAtual(); });
    }

    std::lock_guard lock(FLock);
    FLastPeso.clear();
}

void TLeSerial::Encerra()
{
    // What this run opened is closed, so the next reader can open the device again.
    if (FSocket)
        FSocket->Close();
    try {
        Sincroniza([this] {
            if (FComPort)
                FComPort->Close();
            FComDataPacket->SetComPort(nullptr);
            FPacketUnlinked = true;
            FFinished = true;
            if (FOnTerminate)
                Guarded([this] { FOnTerminate(*this); });
        });
    } catch (...) {
    }
    FFinished = true;
}

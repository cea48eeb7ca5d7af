#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class TComDataPacket;
class TConfiguracaoOrigemSocket;
class TConfiguracaoSerial;
class TPesoEstavel;
class TStatusLog;

// A scale's reader: its own thread opens the serial port or the TCP connection and, once per
// period, hands what the scale sent to the extractor that the owner's field holds, on the main
// thread. Owned through shared ownership: the running thread holds the reader too, so the
// owner may keep or drop its reference at any time and still read FErroConexao afterwards.
class TLeSerial : public std::enable_shared_from_this<TLeSerial> {
    struct TKey {};

public:
    static constexpr int kLimiteEspera = 7000;          // ms for TamanhoString characters
    static constexpr int kTamanhoRecepcao = 500;        // bytes per Ethernet receive
    static constexpr int kAtrasoPrimeiraLeitura = 700;  // ms after the first receive
    static constexpr qsizetype kLimiteAcumulado = 64 * 1024;  // gathered text kept at most

    using TTerminateEvent = std::function<void(TLeSerial& reader)>;

    // Created suspended, on the main thread. At most one of the origins is given. The
    // extractor field and the status log are the owner's and must outlive the reader's run.
    static std::shared_ptr<TLeSerial> Create(std::shared_ptr<TConfiguracaoSerial> APort,
                                             std::shared_ptr<TConfiguracaoOrigemSocket> ASocket,
                                             std::shared_ptr<TPesoEstavel>& APesoEstavel,
                                             int ArefreshRate, TStatusLog& Memo);
    TLeSerial(TKey, std::shared_ptr<TConfiguracaoSerial> APort,
              std::shared_ptr<TConfiguracaoOrigemSocket> ASocket,
              std::shared_ptr<TPesoEstavel>& APesoEstavel, int ArefreshRate, TStatusLog& Memo);
    ~TLeSerial();
    TLeSerial(const TLeSerial&) = delete;
    TLeSerial& operator=(const TLeSerial&) = delete;

    // Starts the thread; a halted or already started reader stays as it is.
    void Resume();
    bool Suspended() const { return !FStarted || FHalted; }
    // The stop request (main thread): ends the loop, closes the port and the connection, and
    // wakes a wait, a pause, a receive or a connect. It never waits for the thread.
    void DoTerminate();
    // Halts a reader for good (a failed start): it stops in order, releases its port and
    // never reads again, also when it was never resumed.
    void Suspend();
    // Only a mark: the loop does not read it.
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }

    // Runs on the main thread once the run has ended, FErroConexao already final.
    void SetOnTerminate(TTerminateEvent handler) { FOnTerminate = std::move(handler); }
    // True once Resume has set the thread going.
    bool Iniciado() const { return FStarted; }
    // True once the run has ended (normally or through failure).
    bool Finished() const { return FFinished; }
    // The status entry of a run that ended through failure; empty otherwise.
    QString MensagemErro() const;
    // The failure's own message (why the port would not open, what the expression lacks).
    QString MotivoErro() const;

    // Read by the owner and the weight server; fixed at creation.
    const std::shared_ptr<TConfiguracaoSerial> FComPort;
    const std::shared_ptr<TConfiguracaoOrigemSocket> FSocket;
    // The owner's field; read on the main thread only.
    std::shared_ptr<TPesoEstavel>& FPesoEstavel;
    // True when the run has ended through a failure.
    std::atomic<bool> FErroConexao{false};

private:
    void Execute();
    void LePeso();
    void RecebePacote(const QString& packet);
    void MostraMensagem(const QString& texto);
    void Sincroniza(const std::function<void()>& step);
    void LimpaPesoAtual();
    // Sleeps, woken early by the stop request.
    void Pausa(int ms);
    void Encerra();

    std::unique_ptr<TComDataPacket> FComDataPacket;
    const int FTempo;
    QString FPeso;
    TStatusLog& FPTTcxMemo;
    QString FMsgTexto;
    bool FLiberaInicioLeitura = false;

    // The gathered text and the stop flag, with the condition the waits sleep on.
    mutable std::mutex FLock;
    std::condition_variable FWake;
    QString FLastPeso;
    QString FMensagemErro;
    QString FMotivoErro;
    std::atomic<bool> continuaExecutando{true};

    std::atomic<bool> FStarted{false};
    std::atomic<bool> FHalted{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    bool FPacketUnlinked = false;  // set on the main thread at the end of the run
    TTerminateEvent FOnTerminate;
};

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <sys/socket.h>

#include "app/TStatusLog.h"
#include "platform/TComPort.h"
#include "scale/TConfiguracaoOrigemSocket.h"
#include "scale/TConfiguracaoSerial.h"
#include "scale/TLeSerial.h"
#include "scale/TPesoEstavel.h"
#include "support/LoopbackListener.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingUserInterface.h"
#include "support/Wait.h"

namespace {

const QString kRevise = QStringLiteral("Por favor, revise la configuración de los puertos serial");
const QByteArray STX("\x02"), ETX("\x03");
// Four equal readings: stable, and the weight stored is the first reading of the poll.
QByteArray Stable(const char* digits)
{
    return QByteArray("x") + digits + "x" + digits + "x" + digits + "x" + digits + "x";
}

class TLeSerialTest : public ::testing::Test {
protected:
    TLeSerialTest()
    {
        Peso = std::make_shared<TPesoEstavel>(QStringLiteral("Bascula1"), true, QStringLiteral("\\d\\d\\d\\d\\d+"));
        Peso->SetOnNovoPeso([this](auto&&) { Weights << Peso->PesoEstavel(); });
    }
    ~TLeSerialTest() override
    {
        // Readers end before the fields they refer to go.
        for (const auto& reader : Readers) {
            reader->DoTerminate();
            EXPECT_TRUE(WaitUntil([&] { return reader->Finished(); }, 30000));
        }
    }

    std::shared_ptr<TConfiguracaoSerial> SerialOrigin(const QString& device, const QString& start = {},
                                                      const QString& stop = {})
    {
        auto port = std::make_shared<TConfiguracaoSerial>();
        port->SetPort(device);
        port->setStartString(start);
        port->setStopString(stop);
        return port;
    }
    std::shared_ptr<TConfiguracaoOrigemSocket> SocketOrigin(int port)
    {
        auto socket = std::make_shared<TConfiguracaoOrigemSocket>();
        socket->SetClientType(TClientType::ctBlocking);
        socket->SetHost(QStringLiteral("127.0.0.1"));
        socket->SetAddress(QStringLiteral("127.0.0.1"));
        socket->SetPort(port);
        return socket;
    }
    std::shared_ptr<TLeSerial> Start(std::shared_ptr<TConfiguracaoSerial> port,
                                     std::shared_ptr<TConfiguracaoOrigemSocket> socket, int period)
    {
        auto reader = TLeSerial::Create(std::move(port), std::move(socket), Peso, period, Status);
        EXPECT_TRUE(reader->Suspended());
        reader->Resume();
        EXPECT_FALSE(reader->Suspended());
        Readers.push_back(reader);
        return reader;
    }
    bool WaitFinished(const std::shared_ptr<TLeSerial>& reader, int ms = 20000)
    {
        return WaitUntil([&] { return reader->Finished(); }, ms);
    }

    TRecordingUserInterface Ui;
    TStatusLog Status;
    std::shared_ptr<TPesoEstavel> Peso;
    QStringList Weights;
    std::vector<std::shared_ptr<TLeSerial>> Readers;
};

TEST_F(TLeSerialTest, ANonexistentPortOrARefusedConnectionGivesOneEntryAndTheConnectionError)
{
    const QString missing = QStringLiteral("/dev/no-such-scale");
    struct Case {
        const char* Name;
        bool Serial;
        QString Entry;
    };
    for (const Case& c : {Case{"serial", true, "Error al abrir la puerta " + missing + "\r\n" + kRevise},
                          Case{"ethernet", false, "Error al conectar la puerta 127.0.0.1\r\n" + kRevise}}) {
        SCOPED_TRACE(c.Name);
        Ui.Entries.clear();
        auto reader = c.Serial ? Start(SerialOrigin(missing), nullptr, 50)
                               : Start(nullptr, SocketOrigin(FreeLoopbackPort()), 50);
        std::atomic<int> ends{0};
        bool errorAtEnd = false;
        QString message;
        reader->SetOnTerminate([&](TLeSerial& r) {
            ++ends;
            errorAtEnd = r.FErroConexao;
            message = r.MensagemErro();
        });
        // The owner may let go of it at once; the run holds it.
        std::weak_ptr<TLeSerial> weak = reader;
        Readers.clear();
        reader.reset();
        ASSERT_TRUE(WaitUntil([&] { return ends == 1; }));
        RunEventsFor(200);
        EXPECT_EQ(Ui.Entries, QStringList{c.Entry});
        EXPECT_TRUE(errorAtEnd);
        EXPECT_EQ(message, c.Entry);
        if (auto kept = weak.lock()) {
            EXPECT_TRUE(kept->FErroConexao);
        }
        EXPECT_EQ(ends, 1);
    }
}

TEST_F(TLeSerialTest, FramedPacketsAreGatheredNewestFirst)
{
    TPseudoTerminal pty;
    auto reader = Start(SerialOrigin(pty.DevicePath(), STX, ETX), nullptr, 2000);
    // A silent poll feeds the zero text: weight 0.
    ASSERT_TRUE(WaitUntil([&] { return Weights.size() == 1; }));
    EXPECT_EQ(Weights.front(), "0");
    // A then B before the next poll; only the text between STX and ETX counts.
    ASSERT_TRUE(pty.Write("noise" + STX + Stable("10000") + ETX + "junk"));
    RunEventsFor(100);
    ASSERT_TRUE(pty.Write(STX + "x20000x" + ETX));
    ASSERT_TRUE(WaitUntil([&] { return Weights.size() == 2; }));
    // "B" "A": 20000 first. In the order A B the first reading would have been 10000.
    EXPECT_EQ(Weights.back(), "20000");
    EXPECT_TRUE(Ui.Entries.isEmpty());
}

TEST_F(TLeSerialTest, ReadsTheExtractorTheFieldHoldsNow)
{
    TPseudoTerminal pty;
    auto reader = Start(SerialOrigin(pty.DevicePath()), nullptr, 100);
    ASSERT_TRUE(WaitUntil([&] { return !Weights.isEmpty(); }));
    auto replaced = std::make_shared<TPesoEstavel>(QStringLiteral("Bascula1"), true, QStringLiteral("\\d\\d\\d\\d\\d+"));
    QStringList replacedWeights;
    replaced->SetOnNovoPeso([&](auto&&) { replacedWeights << replaced->PesoEstavel(); });
    Peso = replaced;
    ASSERT_TRUE(pty.Write(Stable("12345")));
    ASSERT_TRUE(WaitUntil([&] { return replacedWeights.contains("12345"); }));
    EXPECT_FALSE(Weights.contains("12345"));
}

TEST_F(TLeSerialTest, AStopDuringAPauseEndsWithoutMessageAndClosesThePort)
{
    TPseudoTerminal pty;
    auto reader = Start(SerialOrigin(pty.DevicePath()), nullptr, 60000);
    ASSERT_TRUE(WaitUntil([&] { return Weights.size() == 1; }));  // first poll done, now pausing
    reader->DoTerminate();
    EXPECT_FALSE(reader->FComPort->Connected());
    ASSERT_TRUE(WaitFinished(reader));  // well before the minute of the pause
    RunEventsFor(100);
    EXPECT_FALSE(reader->FErroConexao);
    EXPECT_TRUE(reader->MensagemErro().isEmpty());
    EXPECT_TRUE(Ui.Entries.isEmpty());
    TComPort again;
    again.SetPort(pty.DevicePath());
    EXPECT_NO_THROW(again.Open());
}

TEST_F(TLeSerialTest, AStopWakesTheSevenSecondWait)
{
    TPseudoTerminal pty;
    Peso->SetTamanhoString(6);
    auto reader = Start(SerialOrigin(pty.DevicePath()), nullptr, 10);
    RunEventsFor(300);  // inside the wait for six characters
    QElapsedTimer timer;
    timer.start();
    reader->DoTerminate();
    ASSERT_TRUE(WaitFinished(reader));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(reader->FErroConexao);
    EXPECT_TRUE(Ui.Entries.isEmpty());
}

TEST_F(TLeSerialTest, AStopDuringABlockedReceiveOrConnectIsANormalEnd)
{
    TListener quiet;  // accepts (in the kernel) and never sends
    TSilentPeer neverAnswers;
    for (const int port : {quiet.Port(), neverAnswers.Port()}) {
        SCOPED_TRACE(port == quiet.Port() ? "receive" : "connect");
        auto reader = Start(nullptr, SocketOrigin(port), 10);
        RunEventsFor(500);
        EXPECT_FALSE(reader->Finished());
        EXPECT_TRUE(Weights.isEmpty());  // a silent peer feeds nothing
        QElapsedTimer timer;
        timer.start();
        reader->DoTerminate();
        ASSERT_TRUE(WaitFinished(reader));
        RecordProperty(port == quiet.Port() ? "stop_receive_ms" : "stop_connect_ms", int(timer.elapsed()));
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_FALSE(reader->FErroConexao);
        EXPECT_TRUE(Ui.Entries.isEmpty());
        EXPECT_FALSE(reader->FSocket->Active());
    }
}

TEST_F(TLeSerialTest, TheFirstExtractionAfterConnectingComesAfterTheDelay)
{
    TListener scale;
    auto reader = Start(nullptr, SocketOrigin(scale.Port()), 10);
    const int peer = scale.Accept();
    const QByteArray first = Stable("11111");
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(::send(peer, first.constData(), first.size(), 0), first.size());
    ASSERT_TRUE(WaitUntil([&] { return Weights.contains("11111"); }));
    EXPECT_GE(timer.elapsed(), TLeSerial::kAtrasoPrimeiraLeitura - 20);
    // Later ones follow their receive without the delay.
    const QByteArray second = Stable("22222");
    ASSERT_EQ(::send(peer, second.constData(), second.size(), 0), second.size());
    ASSERT_TRUE(WaitUntil([&] { return Weights.contains("22222"); }));
    EXPECT_TRUE(Ui.Entries.isEmpty());
}

// A scale that goes away ends the run through failure, and the run lets go of what it opened.
TEST_F(TLeSerialTest, AScaleThatGoesAwayEndsTheRunThroughFailure)
{
    {
        SCOPED_TRACE("serial device gone");
        TPseudoTerminal pty;
        auto reader = Start(SerialOrigin(pty.DevicePath()), nullptr, 50);
        ASSERT_TRUE(WaitUntil([&] { return !Weights.isEmpty(); }));
        pty.Hangup();
        ASSERT_TRUE(WaitFinished(reader));
        RunEventsFor(100);
        EXPECT_TRUE(reader->FErroConexao);
        EXPECT_EQ(Ui.Entries, QStringList{"Error al abrir la puerta " + pty.DevicePath() + "\r\n" + kRevise});
        EXPECT_FALSE(reader->FComPort->Connected());
    }
    {
        SCOPED_TRACE("peer closes the connection");
        Ui.Entries.clear();
        Weights.clear();
        TListener scale;
        auto reader = Start(nullptr, SocketOrigin(scale.Port()), 50);
        ::close(scale.Accept());
        ASSERT_TRUE(WaitFinished(reader));
        RunEventsFor(100);
        EXPECT_TRUE(reader->FErroConexao);
        EXPECT_EQ(Ui.Entries, QStringList{"Error al conectar la puerta 127.0.0.1\r\n" + kRevise});
        EXPECT_TRUE(Weights.isEmpty());  // never reported as a weight of 0
        EXPECT_FALSE(reader->FSocket->Active());
    }
}

TEST_F(TLeSerialTest, AFailedRunFreesThePortForTheNextReader)
{
    TPseudoTerminal pty;
    // An expression the engine cannot compile makes the extraction fail.
    Peso = std::make_shared<TPesoEstavel>(QStringLiteral("Bascula1"), true, QStringLiteral("(\\d"));
    auto reader = Start(SerialOrigin(pty.DevicePath()), nullptr, 50);
    ASSERT_TRUE(WaitFinished(reader));
    EXPECT_TRUE(reader->FErroConexao);
    EXPECT_FALSE(reader->FComPort->Connected());
    TComPort next;
    next.SetPort(pty.DevicePath());
    EXPECT_NO_THROW(next.Open());
}

TEST_F(TLeSerialTest, AHaltedOrNeverResumedReaderNeverReads)
{
    TPseudoTerminal pty;
    auto reader = TLeSerial::Create(SerialOrigin(pty.DevicePath()), nullptr, Peso, 10, Status);
    reader->Suspend();
    reader->Terminate();
    EXPECT_TRUE(reader->Terminated());
    reader->Resume();
    EXPECT_TRUE(reader->Suspended());
    RunEventsFor(200);
    EXPECT_FALSE(reader->FComPort->Connected());
    EXPECT_TRUE(Weights.isEmpty());
}

}  // namespace

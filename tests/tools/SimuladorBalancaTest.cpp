#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <poll.h>
#include <sys/socket.h>

#include "platform/TClientSocket.h"
#include "platform/TComDataPacket.h"
#include "platform/TComPort.h"
#include "support/LoopbackListener.h"
#include "support/Wait.h"

namespace {

const QString kProgram = QStringLiteral(SERVIDOR_BUILD_DIR "/simulador-balanca");

// The simulator as a child process; ended with SIGTERM.
class TSimulator {
public:
    explicit TSimulator(const QStringList& arguments)
    {
        FProcess.setProgram(kProgram);
        FProcess.setArguments(arguments);
        FProcess.start();
        if (FProcess.waitForStarted(10000) && FProcess.waitForReadyRead(10000))
            ReadyLine = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    ~TSimulator()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(10000);
        }
    }
    // SIGTERM, then the exit code (-1 when it did not end in time).
    int Terminate()
    {
        FProcess.terminate();
        if (!FProcess.waitForFinished(10000))
            return -1;
        return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
    }

    QString ReadyLine;

private:
    QProcess FProcess;
};

// Receives the simulator's telegrams through the real serial port component.
struct TSerialListener {
    TComPort Port;
    TComDataPacket Packet;
    QStringList Telegrams;
    explicit TSerialListener(const QString& device)
    {
        Port.SetPort(device);
        Packet.SetComPort(&Port);
        Packet.SetStopString(QStringLiteral("\r\n"));
        Packet.SetOnPacket([this](TComDataPacket&, const QString& text) { Telegrams << text; });
        Port.Open();
    }
};

TEST(SimuladorBalancaTest, SerialLinkStreamsTheWeightsInTurnAndSurvivesReopening)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("balanca");
    TSimulator simulator({"--serial", link, "--weights", "120,3450", "--interval-ms", "20"});
    ASSERT_EQ(simulator.ReadyLine, link);
    ASSERT_TRUE(QFileInfo(link).isSymLink());

    // Nobody had it open for a while: nothing stale is waiting, and a second round works too.
    RunEventsFor(200);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        TSerialListener listener(link);
        ASSERT_TRUE(WaitUntil([&] { return listener.Telegrams.size() >= 4; }));
        const QStringList weights{"  000120 kg", "  003450 kg"};
        // The first may be cut by the open; after it they alternate.
        const int first = weights.indexOf(listener.Telegrams[1]);
        ASSERT_GE(first, 0) << listener.Telegrams.join('|').toStdString();
        for (int i = 1; i < listener.Telegrams.size(); ++i)
            EXPECT_EQ(listener.Telegrams[i], weights[(first + i - 1) % 2]);
    }
    EXPECT_EQ(simulator.Terminate(), 0);
    EXPECT_FALSE(QFileInfo::exists(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

int ConnectLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = TListener::Loopback(port);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Reads what arrives on a raw loopback connection within the time given.
QByteArray ReadFor(int fd, int ms)
{
    QByteArray all;
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        all.append(buffer, got);
    }
    return all;
}

TEST(SimuladorBalancaTest, TcpStreamsToEveryClientAndStopsAfterTheCount)
{
    TSimulator simulator({"--tcp", "0", "--weights", "7,8", "--format", "\\x02{peso}\\t\\\\\\x03",
                          "--interval-ms", "20", "--count", "3"});
    bool ok = false;
    const int port = simulator.ReadyLine.toInt(&ok);
    ASSERT_TRUE(ok && port > 0) << simulator.ReadyLine.toStdString();

    TClientSocket client;
    client.SetAddress("127.0.0.1");
    client.SetPort(port);
    client.Open();
    QByteArray got;
    while (got.count('\x03') < 3)
        got += client.ReceiveBuf(500);
    EXPECT_EQ(got, QByteArray("\x02" "000007\t\\\x03\x02" "000008\t\\\x03\x02" "000007\t\\\x03"));
    // After the count it stays connected and silent.
    const int fd = ConnectLoopback(port);
    EXPECT_EQ(ReadFor(fd, 300), QByteArray());
    ::close(fd);
    EXPECT_EQ(simulator.Terminate(), 0);
}

TEST(SimuladorBalancaTest, EveryClientGetsTheTelegrams)
{
    TSimulator simulator({"--tcp", "0", "--interval-ms", "20"});
    const int port = simulator.ReadyLine.toInt();
    ASSERT_GT(port, 0);
    int fds[2];
    for (int& fd : fds)
        fd = ConnectLoopback(port);
    for (int fd : fds) {
        EXPECT_TRUE(ReadFor(fd, 500).contains("  000000 kg\r\n"));
        ::close(fd);
    }
    EXPECT_EQ(simulator.Terminate(), 0);
}

TEST(SimuladorBalancaTest, BadArgumentsAreRefused)
{
    for (const QStringList& arguments : {QStringList{}, QStringList{"--tcp", "70000"},
                                         QStringList{"--tcp", "0", "--serial", "/tmp/x"},
                                         QStringList{"--tcp", "0", "--weights", "1,x"},
                                         QStringList{"--tcp", "0", "--format", "\\q"},
                                         QStringList{"--tcp", "0", "--interval-ms", "0"}}) {
        QProcess process;
        process.start(kProgram, arguments);
        ASSERT_TRUE(process.waitForFinished(10000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
    }
}

}  // namespace

// Figures of the scale acquisition on real pseudo-terminals and loopback:
//   1. CPU time of a reader polling a silent serial scale with TamanhoString above 0;
//   2. latency from a telegram written on the pseudo-terminal to its packet event;
//   3. how long a stop takes to end a reader blocked in a receive or a connect.
// Usage: scale_reader_figures [seconds of silent polling, default 15]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "app/TStatusLog.h"
#include "platform/TComDataPacket.h"
#include "platform/TComPort.h"
#include "platform/TMainThreadExecutor.h"
#include "scale/TConfiguracaoOrigemSocket.h"
#include "scale/TConfiguracaoSerial.h"
#include "scale/TLeSerial.h"
#include "scale/TPesoEstavel.h"

namespace {

struct Pty {
    int Master = -1;
    QString Device;
    Pty()
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
            std::perror("pseudo-terminal");
            std::exit(1);
        }
        Device = QString::fromLocal8Bit(::ptsname(Master));
    }
    ~Pty() { ::close(Master); }
};

double CpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A local loop: the application's own would shut the executor down as it returns.
void RunLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void SilentPolling(int seconds)
{
    Pty pty;
    TStatusLog status;
    auto peso = std::make_shared<TPesoEstavel>(QStringLiteral("Bascula1"), true, QStringLiteral("\\d\\d\\d\\d\\d+"));
    peso->SetTamanhoString(6);
    auto port = std::make_shared<TConfiguracaoSerial>();
    port->SetPort(pty.Device);
    auto reader = TLeSerial::Create(port, nullptr, peso, 1000, status);
    reader->Resume();
    RunLoopFor(500);  // opened and inside its first wait
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunLoopFor(seconds * 1000);
    const double cpu = CpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    std::printf("silent serial scale, TamanhoString 6, %.1f s: process CPU %.3f s = %.3f %% of one core\n",
                elapsed, cpu, 100.0 * cpu / elapsed);
    if (reader->Finished() || !status.Lines().isEmpty())
        std::printf("  the reader ended early: %s\n", qPrintable(status.Text()));
    reader->DoTerminate();
    while (!reader->Finished())
        RunLoopFor(10);
}

void PacketLatency(int samples)
{
    Pty pty;
    TComPort port;
    port.SetPort(pty.Device);
    TComDataPacket packet;
    packet.SetComPort(&port);
    packet.SetStopString(QStringLiteral("\r\n"));
    port.Open();

    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    Clock::time_point written;
    auto send = [&] {
        written = Clock::now();
        (void)!::write(pty.Master, "  000123 kg\r\n", 13);
    };
    QEventLoop loop;
    packet.SetOnPacket([&](TComDataPacket&, const QString&) {
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - written).count());
        if (int(micros.size()) < samples)
            QTimer::singleShot(5, send);
        else
            loop.quit();
    });
    QTimer::singleShot(50, send);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    std::sort(micros.begin(), micros.end());
    if (micros.empty())
        return;
    auto at = [&](double q) { return micros[std::min(micros.size() - 1, std::size_t(q * micros.size()))]; };
    std::printf("telegram on the pseudo-terminal to packet event, %zu samples: median %.0f us, p90 %.0f us, "
                "p99 %.0f us, max %.0f us\n",
                micros.size(), at(0.5), at(0.9), at(0.99), micros.back());
}

void StopLatency()
{
    // A listener that never sends, and one whose queue is full so a connect never completes.
    auto listen = [](int backlog) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, backlog);
        socklen_t size = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        return std::pair{fd, int(ntohs(address.sin_port))};
    };
    const auto quiet = listen(64);  // room for every round's connection
    const auto full = listen(0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(full.second));
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(fd);
    }
    TStatusLog status;
    auto peso = std::make_shared<TPesoEstavel>(QStringLiteral("Bascula1"), true, QStringLiteral("\\d\\d\\d\\d\\d+"));
    for (const auto& [name, port] : {std::pair{"receive", quiet.second}, std::pair{"connect", full.second}}) {
        std::vector<double> ms;
        for (int round = 0; round < 20; ++round) {
            auto socket = std::make_shared<TConfiguracaoOrigemSocket>();
            socket->SetAddress(QStringLiteral("127.0.0.1"));
            socket->SetHost(QStringLiteral("127.0.0.1"));
            socket->SetPort(port);
            auto reader = TLeSerial::Create(nullptr, socket, peso, 1000, status);
            reader->Resume();
            RunLoopFor(100);
            if (reader->Finished())
                std::printf("  round %d: ended before the stop\n", round);
            QElapsedTimer timer;
            timer.start();
            reader->DoTerminate();
            while (!reader->Finished())
                RunLoopFor(1);
            ms.push_back(timer.nsecsElapsed() / 1e6);
            if (reader->FErroConexao)
                std::printf("  round %d ended through failure: %s\n", round, qPrintable(reader->MensagemErro()));
        }
        std::sort(ms.begin(), ms.end());
        std::printf("stop of a reader blocked in its %s, 20 rounds: median %.2f ms, max %.2f ms\n", name,
                    ms[ms.size() / 2], ms.back());
    }
    for (int fd : fillers)
        ::close(fd);
    ::close(quiet.first);
    ::close(full.first);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TMainThreadExecutor::Instance();
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    PacketLatency(500);
    StopLatency();
    SilentPolling(seconds);
    TMainThreadExecutor::Instance().Shutdown();
    return 0;
}

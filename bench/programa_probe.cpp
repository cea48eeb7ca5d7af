// Helper of programa-figures.sh, on 127.0.0.1 only.
//
//   programa_probe listen-wait --port P [--timeout-ms N]
//       waits until P accepts a connection; prints the wall clock at that moment in ns.
//   programa_probe weight-delay --port P [--rounds N] [--interval-ms 100]
//       is a serial scale on a new pseudo-terminal (prints its path first), streaming
//       "  NNNNNN kg\r\n" telegrams; once the server answers PSB1 with the first weight, changes
//       the weight each round and measures until the first PSB1 reply that shows it.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Connect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

std::string Ask(int fd, const char* request)
{
    if (::send(fd, request, std::strlen(request), MSG_NOSIGNAL) < 0)
        return {};
    char buffer[256];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

int ListenWait(int port, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        const int fd = Connect(port);
        if (fd >= 0) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::system_clock::now().time_since_epoch());
            ::close(fd);
            std::printf("%lld\n", static_cast<long long>(ns.count()));
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::fprintf(stderr, "programa_probe: port %d never listened\n", port);
    return 1;
}

int WeightDelay(int port, int rounds, int intervalMs)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return std::perror("pty"), 1;
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    std::printf("%s\n", ::ptsname(master));
    std::fflush(stdout);

    long weight = 1520;
    auto next = Clock::now();
    auto stream = [&] {
        if (Clock::now() < next)
            return;
        char telegram[32];
        const int n = std::snprintf(telegram, sizeof telegram, "  %06ld kg\r\n", weight);
        (void)!::write(master, telegram, size_t(n));  // EIO/EAGAIN: nobody reads now
        next += std::chrono::milliseconds(intervalMs);
    };
    auto shows = [](const std::string& reply, long w) { return reply.size() > 1 && reply.substr(1) == std::to_string(w); };

    int fd = -1;
    const auto end = Clock::now() + std::chrono::seconds(120);
    std::string reply;
    while (Clock::now() < end) {
        stream();
        if (fd < 0)
            fd = Connect(port);
        if (fd >= 0 && shows(reply = Ask(fd, "PSB1"), weight))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!shows(reply, weight))
        return std::fprintf(stderr, "programa_probe: no stable weight answered\n"), 1;

    std::vector<double> delays;
    for (int r = 0; r < rounds; ++r) {
        // Changes at a random point of the reading period.
        const auto wait = Clock::now() + std::chrono::milliseconds(300 + (r * 373) % 1000);
        while (Clock::now() < wait) {
            stream();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        weight = weight == 1520 ? 2750 : 1520;
        next = Clock::now();
        const auto changed = Clock::now();
        while (Clock::now() - changed < std::chrono::seconds(30)) {
            stream();
            if (shows(Ask(fd, "PSB1"), weight))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - changed).count());
    }
    std::sort(delays.begin(), delays.end());
    std::printf("weight change to first PSB1 reply: rounds=%d median=%.0f ms max=%.0f ms min=%.0f ms\n", rounds,
                delays[delays.size() / 2], delays.back(), delays.front());
    ::close(fd);
    ::close(master);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return std::fprintf(stderr, "usage: programa_probe listen-wait|weight-delay --port P ...\n"), 2;
    const std::string mode = argv[1];
    int port = 0, timeoutMs = 60000, rounds = 10, intervalMs = 100;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (name == "--port") port = value;
        else if (name == "--timeout-ms") timeoutMs = value;
        else if (name == "--rounds") rounds = value;
        else if (name == "--interval-ms") intervalMs = value;
    }
    if (mode == "listen-wait")
        return ListenWait(port, timeoutMs);
    if (mode == "weight-delay")
        return WeightDelay(port, std::max(rounds, 1), std::max(intervalMs, 1));
    return std::fprintf(stderr, "programa_probe: unknown mode %s\n", mode.c_str()), 2;
}

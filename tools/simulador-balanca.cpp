// A scale that streams weight telegrams over a pseudo-terminal or TCP on loopback, for tests,
// demos and users without a scale at hand.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage =
    "usage: simulador-balanca (--serial PATH | --tcp PORT) [--weights W1,W2,...]\n"
    "                         [--format TEXT] [--interval-ms N] [--count N]\n"
    "  --serial PATH     make PATH a link to a new pseudo-terminal and send there\n"
    "  --tcp PORT        listen on 127.0.0.1:PORT (0: any free port) and send to every client\n"
    "  --weights LIST    weights sent in turn, repeating (default 0)\n"
    "  --format TEXT     telegram; {peso} is the weight in six digits; escapes \\r \\n \\t \\\\ \\xHH\n"
    "                    (default \"  {peso} kg\\r\\n\")\n"
    "  --interval-ms N   pause between telegrams (default 100)\n"
    "  --count N         stop sending after N telegrams received by someone, stay connected\n"
    "Prints the device path or the port once ready; ends on SIGINT or SIGTERM.\n";

struct Options {
    std::string SerialPath;
    int TcpPort = -1;
    std::vector<long long> Weights{0};
    std::string Format = "  {peso} kg\r\n";
    int IntervalMs = 100;
    long long Count = -1;  // -1: without end
};

[[noreturn]] void Usage(const std::string& problem)
{
    std::fprintf(stderr, "simulador-balanca: %s\n%s", problem.c_str(), kUsage);
    std::exit(2);
}

[[noreturn]] void Fatal(const std::string& what)
{
    std::fprintf(stderr, "simulador-balanca: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

long long ParseNumber(const std::string& text, const char* option, long long low, long long high)
{
    if (text.empty())
        Usage(std::string(option) + " needs a number");
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        Usage(std::string(option) + ": bad number \"" + text + "\"");
    return value;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                Usage("--format: \\x needs two hexadecimal digits");
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default: Usage(std::string("--format: unknown escape \\") + c);
        }
    }
    return out;
}

Options Parse(int argc, char** argv)
{
    Options options;
    bool formatGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc)
            Usage(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--serial") {
            if (value.empty())
                Usage("--serial needs a path");
            options.SerialPath = value;
        } else if (arg == "--tcp") {
            options.TcpPort = static_cast<int>(ParseNumber(value, "--tcp", 0, 65535));
        } else if (arg == "--weights") {
            options.Weights.clear();
            std::size_t start = 0;
            for (;;) {
                const std::size_t comma = value.find(',', start);
                options.Weights.push_back(ParseNumber(value.substr(start, comma - start), "--weights", 0,
                                                      999999999999LL));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        } else if (arg == "--format") {
            options.Format = value;
            formatGiven = true;
        } else if (arg == "--interval-ms") {
            options.IntervalMs = static_cast<int>(ParseNumber(value, "--interval-ms", 1, 86400000));
        } else if (arg == "--count") {
            options.Count = ParseNumber(value, "--count", 0, 1LL << 62);
        } else {
            Usage("unknown option " + arg);
        }
    }
    if (options.SerialPath.empty() == (options.TcpPort < 0))
        Usage("give exactly one of --serial and --tcp");
    if (formatGiven)
        options.Format = Unescape(options.Format);
    return options;
}

std::string Telegram(const std::string& format, long long weight)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%06lld", weight);
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = format.find("{peso}", from)) != std::string::npos; from = at + 6)
        out.append(format, from, at - from).append(digits);
    return out.append(format, from, std::string::npos);
}

// Where telegrams go: a pseudo-terminal or the clients of a listening socket.
class Sink {
public:
    virtual ~Sink() = default;
    // Descriptors to watch besides the signals, and what to do when they stir.
    virtual void AddWaits(std::vector<pollfd>& waits) = 0;
    virtual void Handle(const std::vector<pollfd>& waits) = 0;
    // True when someone received the telegram.
    virtual bool Send(const std::string& telegram) = 0;
    virtual void CleanUp() {}
};

class SerialSink : public Sink {
public:
    explicit SerialSink(std::string linkPath) : FLink(std::move(linkPath))
    {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            Fatal("pseudo-terminal");
        const char* device = ::ptsname(FMaster);
        if (!device)
            Fatal("ptsname");
        FDevice = device;
        // Raw before anything is written, or the line discipline would translate the telegrams.
        const int slave = ::open(device, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0)
            Fatal(FDevice);
        termios tio {};
        if (::tcgetattr(slave, &tio) != 0)
            Fatal("tcgetattr");
        ::cfmakeraw(&tio);
        if (::tcsetattr(slave, TCSANOW, &tio) != 0)
            Fatal("tcsetattr");
        ::close(slave);
        struct stat st {};
        if (::lstat(FLink.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                errno = EEXIST;
                Fatal(FLink + " exists and is not a link");
            }
            ::unlink(FLink.c_str());  // left by a simulator that was killed
        }
        if (::symlink(device, FLink.c_str()) != 0)
            Fatal("link " + FLink);
        FLinked = true;
    }
    ~SerialSink() override { CleanUp(); }

    void AddWaits(std::vector<pollfd>& waits) override { waits.push_back({FMaster, POLLIN, 0}); }

    void Handle(const std::vector<pollfd>&) override { Drain(); }

    bool Send(const std::string& telegram) override
    {
        Drain();
        // Hung up: nobody has the device open. Writing now would hand stale telegrams to the
        // next program that opens it.
        pollfd wait{FMaster, POLLOUT, 0};
        if (::poll(&wait, 1, 0) < 0 || (wait.revents & POLLHUP) || !(wait.revents & POLLOUT))
            return false;
        const ssize_t sent = ::write(FMaster, telegram.data(), telegram.size());
        return sent > 0;  // EIO: closed meanwhile; EAGAIN: buffer full, telegram dropped
    }

    void CleanUp() override
    {
        if (FLinked) {
            ::unlink(FLink.c_str());
            FLinked = false;
        }
    }

    const std::string& Device() const { return FDevice; }

private:
    // What the other side writes is read and dropped, so it never blocks on us.
    void Drain()
    {
        char buffer[4096];
        while (::read(FMaster, buffer, sizeof buffer) > 0) {
        }
    }

    std::string FLink;
    std::string FDevice;
    int FMaster = -1;
    bool FLinked = false;
};

class TcpSink : public Sink {
public:
    explicit TcpSink(int port)
    {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (FListen < 0)
            Fatal("socket");
        const int on = 1;
        ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            Fatal("bind 127.0.0.1:" + std::to_string(port));
        if (::listen(FListen, 16) != 0)
            Fatal("listen");
        socklen_t size = sizeof address;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &size);
        FPort = ntohs(address.sin_port);
    }

    void AddWaits(std::vector<pollfd>& waits) override
    {
        waits.push_back({FListen, POLLIN, 0});
        for (int client : FClients)
            waits.push_back({client, POLLIN, 0});
    }

    void Handle(const std::vector<pollfd>& waits) override
    {
        for (const pollfd& wait : waits) {
            if (wait.revents == 0)
                continue;
            if (wait.fd == FListen) {
                for (int client; (client = ::accept4(FListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;)
                    FClients.push_back(client);
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(wait.fd, buffer, sizeof buffer, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                Drop(wait.fd);
        }
    }

    bool Send(const std::string& telegram) override
    {
        bool received = false;
        for (const int client : std::vector<int>(FClients)) {
            const ssize_t sent = ::send(client, telegram.data(), telegram.size(), MSG_NOSIGNAL);
            if (sent > 0)
                received = true;
            else if (errno != EAGAIN && errno != EINTR)
                Drop(client);  // gone; a slow one just misses the telegram
        }
        return received;
    }

    int Port() const { return FPort; }

private:
    void Drop(int client)
    {
        ::close(client);
        std::erase(FClients, client);
    }

    int FListen = -1;
    int FPort = 0;
    std::vector<int> FClients;
};

}  // namespace

int main(int argc, char** argv)
{
    const Options options = Parse(argc, argv);

    // Signals arrive as a descriptor, so the link is removed in ordinary code, not in a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        Fatal("sigprocmask");
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd < 0)
        Fatal("signalfd");
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<Sink> sink;
    if (!options.SerialPath.empty()) {
        auto serial = std::make_unique<SerialSink>(options.SerialPath);
        std::printf("%s\n", options.SerialPath.c_str());
        sink = std::move(serial);
    } else {
        auto tcp = std::make_unique<TcpSink>(options.TcpPort);
        std::printf("%d\n", tcp->Port());
        sink = std::move(tcp);
    }
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(options.IntervalMs);
    auto next = Clock::now() + interval;
    long long sent = 0;
    std::size_t weight = 0;
    for (;;) {
        std::vector<pollfd> waits{{signalFd, POLLIN, 0}};
        sink->AddWaits(waits);
        const bool sending = options.Count < 0 || sent < options.Count;
        int timeout = -1;
        if (sending) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(0, left));
        }
        if (::poll(waits.data(), waits.size(), timeout) < 0 && errno != EINTR)
            Fatal("poll");
        if (waits[0].revents != 0)
            break;
        sink->Handle(waits);
        if (sending && Clock::now() >= next) {
            if (sink->Send(Telegram(options.Format, options.Weights[weight]))) {
                ++sent;
                weight = (weight + 1) % options.Weights.size();
            }
            next += interval;
            if (next < Clock::now())
                next = Clock::now() + interval;  // fell behind: no burst to catch up
        }
    }
    sink->CleanUp();
    return 0;
}

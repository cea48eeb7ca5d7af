// Load tool for the weight server: N persistent connections on 127.0.0.1, each sending one
// request, waiting for the whole reply, and sending again, for a fixed time. Prints requests
// per second and latency percentiles. Optionally holds M idle connections open meanwhile and
// checks at the end that the server kept them all.
//
//   server_load --port 9191 [--connections 100] [--seconds 5] [--request PSB1]
//               [--expect TEXT | --expect-length N] [--idle 10000] [--label NAME]
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int port = 9191;
    int connections = 100;
    double seconds = 5;
    std::string request = "PSB1";
    std::string expect;  // learned from the first reply when empty
    long expectLength = -1;
    int idle = 0;
    std::string label = "server";
};

[[noreturn]] void Die(const char* what)
{
    std::fprintf(stderr, "server_load: %s: %s\n", what, std::strerror(errno));
    std::exit(2);
}

void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

sockaddr_in Loopback(int port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

// Opens `count` connections without blocking; a few hundred in flight at a time, so the
// server's backlog never overflows (a dropped SYN costs a one-second retry).
std::vector<int> ConnectMany(int port, int count)
{
    std::vector<int> fds;
    fds.reserve(size_t(count));
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    const sockaddr_in addr = Loopback(port);
    int inFlight = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    while (int(fds.size()) < count || inFlight > 0) {
        while (int(fds.size()) < count && inFlight < 256) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0)
                Die("socket");
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) < 0) {
                if (errno != EINPROGRESS)
                    Die("connect");
                epoll_event ev{};
                ev.events = EPOLLOUT;
                ev.data.fd = fd;
                ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
                ++inFlight;
            }
            fds.push_back(fd);
        }
        if (inFlight == 0)
            continue;
        epoll_event events[256];
        const int n = ::epoll_wait(ep, events, 256, 1000);
        for (int i = 0; i < n; ++i) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(events[i].data.fd, SOL_SOCKET, SO_ERROR, &error, &len);
            if (error != 0) {
                errno = error;
                Die("connect");
            }
            ::epoll_ctl(ep, EPOLL_CTL_DEL, events[i].data.fd, nullptr);
            --inFlight;
        }
        if (Clock::now() > deadline) {
            errno = ETIMEDOUT;
            Die("connect");
        }
    }
    ::close(ep);
    return fds;
}

// Sends the request once and gathers the reply until the line goes quiet.
std::string LearnReply(int port, const std::string& request)
{
    std::vector<int> one = ConnectMany(port, 1);
    const int fd = one[0];
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0)
        Die("send");
    std::string reply;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    auto quietSince = Clock::now();
    char buffer[4096];
    while (Clock::now() < deadline) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            reply.append(buffer, size_t(n));
            quietSince = Clock::now();
        } else if (n == 0) {
            break;
        } else if (!reply.empty() && Clock::now() - quietSince > std::chrono::milliseconds(200)) {
            break;
        } else {
            ::usleep(1000);
        }
    }
    ::close(fd);
    return reply;
}

long Percentile(const std::vector<long>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t index = std::min(sorted.size() - 1, size_t(p * double(sorted.size())));
    return sorted[index];
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--port")
            o.port = std::atoi(value);
        else if (key == "--connections")
            o.connections = std::atoi(value);
        else if (key == "--seconds")
            o.seconds = std::atof(value);
        else if (key == "--request")
            o.request = value;
        else if (key == "--expect")
            o.expect = value;
        else if (key == "--expect-length")
            o.expectLength = std::atol(value);
        else if (key == "--idle")
            o.idle = std::atoi(value);
        else if (key == "--label")
            o.label = value;
        else {
            std::fprintf(stderr, "server_load: unknown option %s\n", key.c_str());
            return 2;
        }
    }
    RaiseDescriptorLimit();

    size_t replyLength;
    if (o.expectLength > 0) {
        replyLength = size_t(o.expectLength);
    } else {
        if (o.expect.empty())
            o.expect = LearnReply(o.port, o.request);
        if (o.expect.empty()) {
            std::fprintf(stderr, "server_load: no reply to %s\n", o.request.c_str());
            return 2;
        }
        replyLength = o.expect.size();
    }

    const std::vector<int> idle = ConnectMany(o.port, o.idle);
    const std::vector<int> active = ConnectMany(o.port, o.connections);

    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    struct Conn {
        int fd;
        size_t got = 0;
        Clock::time_point sent;
    };
    std::vector<Conn> conns;
    conns.reserve(active.size());
    for (int fd : active)
        conns.push_back(Conn{fd, 0, Clock::now()});
    for (size_t i = 0; i < conns.size(); ++i) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = i;
        ::epoll_ctl(ep, EPOLL_CTL_ADD, conns[i].fd, &ev);
    }

    std::vector<long> latencies;  // microseconds
    latencies.reserve(1 << 22);
    long wrong = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.seconds));
    for (auto& c : conns) {
        c.sent = Clock::now();
        if (::send(c.fd, o.request.data(), o.request.size(), MSG_NOSIGNAL) < 0)
            Die("send");
    }
    char buffer[65536];
    bool running = true;
    while (running) {
        epoll_event events[512];
        const int n = ::epoll_wait(ep, events, 512, 1000);
        const auto now = Clock::now();
        if (now >= end)
            running = false;
        for (int i = 0; i < n; ++i) {
            Conn& c = conns[events[i].data.u64];
            const ssize_t r = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (r <= 0) {
                if (r < 0 && errno == EAGAIN)
                    continue;
                std::fprintf(stderr, "server_load: the server closed a connection\n");
                return 1;
            }
            if (!o.expect.empty() && o.expect.compare(c.got, size_t(r), buffer, size_t(r)) != 0)
                ++wrong;
            c.got += size_t(r);
            if (c.got < replyLength)
                continue;
            if (c.got > replyLength)
                ++wrong;
            latencies.push_back(long(std::chrono::duration_cast<std::chrono::microseconds>(now - c.sent).count()));
            c.got = 0;
            if (running) {
                c.sent = Clock::now();
                if (::send(c.fd, o.request.data(), o.request.size(), MSG_NOSIGNAL) < 0)
                    Die("send");
            }
        }
        if (n == 0 && !running)
            break;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    // Idle connections must all still be open: a closed one reads 0 or an error.
    int idleLost = 0;
    for (int fd : idle) {
        const ssize_t r = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno != EAGAIN))
            ++idleLost;
    }

    std::sort(latencies.begin(), latencies.end());
    const double rps = double(latencies.size()) / std::min(elapsed, o.seconds);
    std::printf("%-10s N=%-5d idle=%-5d requests=%-8zu req/s=%-9.0f p50=%ldus p99=%ldus p999=%ldus wrong=%ld idle_lost=%d\n",
                o.label.c_str(), o.connections, o.idle, latencies.size(), rps, Percentile(latencies, 0.50),
                Percentile(latencies, 0.99), Percentile(latencies, 0.999), wrong, idleLost);
    for (int fd : idle)
        ::close(fd);
    for (auto& c : conns)
        ::close(c.fd);
    return (wrong == 0 && idleLost == 0) ? 0 : 1;
}

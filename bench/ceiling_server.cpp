// The ceiling for one thread on this machine: a bare epoll server on 127.0.0.1 that answers a
// request of exactly "PSB1" with a fixed reply and ignores anything else. No framework, no
// allocation per request.
//
//   ceiling_server --port 9292 [--reply TEXT]   (default reply: S followed by the zero text)
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
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

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }
}  // namespace

int main(int argc, char** argv)
{
    int port = 9292;
    std::string reply = "S000000000\r000000000\r000000000\r000000000\r000000000";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0)
            port = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--reply") == 0)
            reply = argv[i + 1];
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(listener, 8192) < 0) {
        std::perror("ceiling_server: listen");
        return 2;
    }
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = listener;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, listener, &ev);
    std::printf("ceiling_server listening on 127.0.0.1:%d\n", port);
    std::fflush(stdout);

    char buffer[65536];
    long connections = 0;
    while (!stopRequested) {
        epoll_event events[256];
        const int n = ::epoll_wait(ep, events, 256, 500);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == listener) {
                for (int k = 0; k < 64; ++k) {
                    const int c = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (c < 0)
                        break;
                    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    epoll_event cev{};
                    cev.events = EPOLLIN | EPOLLRDHUP;
                    cev.data.fd = c;
                    ::epoll_ctl(ep, EPOLL_CTL_ADD, c, &cev);
                    ++connections;
                }
                continue;
            }
            const ssize_t r = ::recv(fd, buffer, sizeof buffer, 0);
            if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) {
                ::close(fd);
                --connections;
            } else if (r == 4 && std::memcmp(buffer, "PSB1", 4) == 0) {
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
    }
    std::printf("ceiling_server: %ld connections open at the end\n", connections);
    return 0;
}

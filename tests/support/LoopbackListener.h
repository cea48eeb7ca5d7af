#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A listening socket on 127.0.0.1; the port is chosen by the kernel unless given.
class TListener {
public:
    explicit TListener(int backlog = 16, int port = 0)
    {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(FFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address = Loopback(port);
        EXPECT_EQ(::bind(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(FFd, backlog), 0);
        socklen_t size = sizeof address;
        ::getsockname(FFd, reinterpret_cast<sockaddr*>(&address), &size);
        FPort = ntohs(address.sin_port);
    }
    ~TListener()
    {
        for (int fd : FAccepted)
            ::close(fd);
        ::close(FFd);
    }
    TListener(const TListener&) = delete;
    TListener& operator=(const TListener&) = delete;

    int Port() const { return FPort; }
    // Blocks until a client connects; the connection is closed with the listener.
    int Accept()
    {
        const int fd = ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC);
        FAccepted.push_back(fd);
        return fd;
    }

    // A connection waiting in the queue, or -1 at once when there is none.
    int TryAccept()
    {
        pollfd ready{FFd, POLLIN, 0};
        return ::poll(&ready, 1, 0) == 1 ? Accept() : -1;
    }

    static sockaddr_in Loopback(int port)
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

private:
    int FFd = -1;
    int FPort = 0;
    std::vector<int> FAccepted;
};

// A port with nobody listening: bound, then closed.
inline int FreeLoopbackPort()
{
    TListener listener;
    return listener.Port();
}

// A listener whose queue is full: the kernel drops further handshakes, so a connect to it
// waits as for an address that never answers.
struct TSilentPeer {
    TListener Listener{0};
    std::vector<int> Fillers;
    TSilentPeer()
    {
        const sockaddr_in address = TListener::Loopback(Listener.Port());
        for (int i = 0; i < 3; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            Fillers.push_back(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~TSilentPeer()
    {
        for (int fd : Fillers)
            ::close(fd);
    }
    int Port() const { return Listener.Port(); }
};

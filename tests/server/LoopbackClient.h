#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

// A plain client on 127.0.0.1 for server tests. It runs on the test's thread: every wait pumps
// the Qt loop, so the server under test keeps working while the client waits.
class TLoopbackClient {
public:
    explicit TLoopbackClient(int port, int receiveBuffer = 0)
    {
        FHandle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FHandle < 0)
            throw std::runtime_error("socket failed");
        if (receiveBuffer > 0)
            ::setsockopt(FHandle, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(quint16(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Completes from the backlog; the server accepts on its next loop turn.
        if (::connect(FHandle, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
            ::close(FHandle);
            throw std::runtime_error("connect failed");
        }
        const int one = 1;
        ::setsockopt(FHandle, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~TLoopbackClient() { Close(); }
    TLoopbackClient(const TLoopbackClient&) = delete;
    TLoopbackClient& operator=(const TLoopbackClient&) = delete;

    void Send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        QDeadlineTimer deadline(10000);
        while (done < bytes.size() && !deadline.hasExpired()) {
            const ssize_t n = ::send(FHandle, bytes.constData() + done, size_t(bytes.size() - done),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                throw std::runtime_error("send failed");
            else
                Pump();
        }
    }

    // Reads until `count` bytes have arrived or the deadline passes.
    QByteArray Read(qsizetype count, int timeoutMs = 10000)
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (got.size() < count && !deadline.hasExpired()) {
            if (!TakeAvailable(got))
                break;
            if (got.size() < count)
                Pump();
        }
        return got;
    }

    // Everything that arrives within `ms`: for asserting that nothing (more) came.
    QByteArray ReadFor(int ms)
    {
        QByteArray got;
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (!TakeAvailable(got))
                break;
            Pump();
        }
        return got;
    }

    // True once the server has closed its end (within the deadline).
    bool WaitClosedByPeer(int timeoutMs = 10000)
    {
        QByteArray ignored;
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (!TakeAvailable(ignored))
                return true;
            Pump();
        }
        return false;
    }

    void ShutdownWrite() { ::shutdown(FHandle, SHUT_WR); }
    // Closes with a reset instead of an orderly close.
    void Reset()
    {
        linger hard{1, 0};
        ::setsockopt(FHandle, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }
    void Close()
    {
        if (FHandle >= 0)
            ::close(FHandle);
        FHandle = -1;
    }
    int LocalPort() const
    {
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        ::getsockname(FHandle, reinterpret_cast<sockaddr*>(&addr), &len);
        return ntohs(addr.sin_port);
    }

private:
    static void Pump()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    // Appends what is there now; false when the connection has ended.
    bool TakeAvailable(QByteArray& into)
    {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(FHandle, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                into.append(buffer, n);
                continue;
            }
            if (n == 0)
                return false;
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
    }

    int FHandle = -1;
};

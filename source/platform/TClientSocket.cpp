#include "platform/TClientSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString SocketErrorText(const QString& what, int code, const char* api)
{
    return QStringLiteral("Windows socket error: %1 (%2), on API '%3'")
        .arg(what)
        .arg(code)
        .arg(QString::fromLatin1(api));
}

QString ErrnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

TClientSocket::TClientSocket()
{
    FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FWakeFd < 0)
        throw ESocketError(SocketErrorText(ErrnoText(errno), errno, "eventfd"));
}

TClientSocket::~TClientSocket()
{
    Close();
    std::lock_guard lock(FLock);
    if (FFd >= 0)
        ::close(FFd);
    ::close(FWakeFd);
}

void TClientSocket::CheckInactive() const
{
    if (Active())
        throw ESocketError(QStringLiteral("Can't change value while socket is active"));
}

void TClientSocket::SetHost(const QString& host)
{
    CheckInactive();
    FHost = host;
}

void TClientSocket::SetAddress(const QString& address)
{
    CheckInactive();
    FAddress = address;
}

void TClientSocket::SetPort(int port)
{
    CheckInactive();
    FPort = port;
}

bool TClientSocket::Active() const
{
    std::lock_guard lock(FLock);
    return FActive;
}

void TClientSocket::Fail(const char* api, int error)
{
    throw ESocketError(SocketErrorText(ErrnoText(error), error, api));
}

void TClientSocket::Open(const std::function<bool()>& keepGoing)
{
    if (Active())
        return;
    const QString target = FAddress.isEmpty() ? FHost : FAddress;
    if (FPort < 1 || FPort > 65535)
        throw ESocketError(SocketErrorText(QStringLiteral("Invalid port %1").arg(FPort), EINVAL, "connect"));

    sockaddr_in peer {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(FPort));
    if (::inet_pton(AF_INET, target.toLatin1().constData(), &peer.sin_addr) != 1) {
        addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int rc = ::getaddrinfo(target.toUtf8().constData(), nullptr, &hints, &found);
        if (rc != 0 || !found)
            throw ESocketError(SocketErrorText(QString::fromLocal8Bit(::gai_strerror(rc)), rc, "getaddrinfo"));
        peer.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }

    int fd = -1;
    {
        std::lock_guard lock(FLock);
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            Fail("socket", errno);
        FFd = fd;
        FCloseRequested = false;
        FBusy = 1;
        std::uint64_t stale = 0;
        (void)!::read(FWakeFd, &stale, sizeof stale);  // a wake-up left by an earlier close
    }
    try {
        // From here a Close wakes the attempt; a close that came before is seen here.
        if (keepGoing && !keepGoing())
            throw ESocketError(SocketErrorText(ErrnoText(ECANCELED), ECANCELED, "connect"));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
            if (errno != EINPROGRESS)
                Fail("connect", errno);
            if (!WaitFor(fd, POLLOUT))
                throw ESocketError(SocketErrorText(ErrnoText(ECANCELED), ECANCELED, "connect"));
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                Fail("getsockopt", errno);
            if (error != 0)
                Fail("connect", error);
        }
    } catch (...) {
        std::lock_guard lock(FLock);
        ::close(FFd);
        FFd = -1;
        FBusy = 0;
        throw;
    }
    std::lock_guard lock(FLock);
    FBusy = 0;
    if (FCloseRequested) {
        ::close(FFd);
        FFd = -1;
        throw ESocketError(SocketErrorText(ErrnoText(ECANCELED), ECANCELED, "connect"));
    }
    FActive = true;
}

bool TClientSocket::WaitFor(int fd, short events)
{
    pollfd waits[2] = {{fd, events, 0}, {FWakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            Fail("poll", errno);
        }
        if (waits[1].revents != 0)
            return false;
        if (waits[0].revents != 0)
            return true;
    }
}

void TClientSocket::Close()
{
    std::lock_guard lock(FLock);
    FActive = false;
    if (FFd < 0)
        return;
    if (FBusy > 0) {
        // The waiting thread closes the descriptor when it wakes.
        FCloseRequested = true;
        ::shutdown(FFd, SHUT_RDWR);
        const std::uint64_t one = 1;
        (void)!::write(FWakeFd, &one, sizeof one);
        return;
    }
    ::close(FFd);
    FFd = -1;
}

void TClientSocket::EndOperation()
{
    std::lock_guard lock(FLock);
    --FBusy;
    if (FCloseRequested && FBusy == 0 && FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
}

QByteArray TClientSocket::ReceiveBuf(int maxCount)
{
    int fd = -1;
    {
        std::lock_guard lock(FLock);
        if (!FActive || FFd < 0)
            throw ESocketError(SocketErrorText(ErrnoText(ENOTCONN), ENOTCONN, "recv"));
        fd = FFd;
        ++FBusy;
    }
    QByteArray data(std::max(maxCount, 0), Qt::Uninitialized);
    ssize_t got = 0;
    int error = 0;
    for (;;) {
        pollfd waits[2] = {{fd, POLLIN, 0}, {FWakeFd, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (waits[1].revents != 0) {
            got = 0;  // woken by Close
            break;
        }
        got = ::recv(fd, data.data(), data.size(), MSG_DONTWAIT);
        if (got >= 0)
            break;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            error = errno;
            break;
        }
    }
    EndOperation();
    if (error != 0) {
        Close();
        Fail("recv", error);
    }
    data.truncate(got);
    return data;
}

#include "platform/TServerSocket.h"

#include <QSocketNotifier>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/ApplicationErrors.h"
#include "platform/TClientSocket.h"

namespace {

constexpr quint64 kListenerTag = 0;
constexpr int kAcceptsPerPass = 64;  // others wait for the next pass, so clients are served meanwhile
constexpr int kEventsPerPass = 256;
constexpr qsizetype kReadChunk = 64 * 1024;

ESocketError ApiError(int code, const char* api)
{
    return ESocketError(QStringLiteral("Windows socket error: %1 (%2), on API '%3'")
                            .arg(QString::fromLocal8Bit(std::strerror(code)))
                            .arg(code)
                            .arg(QLatin1String(api)));
}

bool OutOfDescriptors(int code)
{
    return code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM || code == ENOSPC;
}

}  // namespace

TServerSocket::TServerSocket(int port, QObject* parent) : QObject(parent), FPort(port)
{
    FEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (FEpoll < 0)
        throw ApiError(errno, "epoll_create1");
    FNotifier = new QSocketNotifier(FEpoll, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Guarded([this] { EventsReady(); }); });
    FAcceptRetry.setSingleShot(true);
    connect(&FAcceptRetry, &QTimer::timeout, this, [this] { Guarded([this] { ResumeAccept(); }); });
    FScratch.resize(kReadChunk);
}

TServerSocket::~TServerSocket()
{
    // No events now: the handlers' owner may already be half gone.
    for (auto& [id, conn] : FConnections) {
        ::close(conn->FHandle);
        conn->FHandle = -1;
        conn->FState = TServerSocketConnection::State::Gone;
        conn->FServer = nullptr;
    }
    FConnections.clear();
    for (auto& conn : FToClose)
        conn->FServer = nullptr;
    FToClose.clear();
    if (FListen >= 0)
        ::close(FListen);
    delete FNotifier;
    ::close(FEpoll);
}

void TServerSocket::CheckInactive() const
{
    if (Active())
        throw ESocketError(QStringLiteral("Can't change value while socket is active"));
}

void TServerSocket::SetPort(int port)
{
    CheckInactive();
    FPort = port;
}

void TServerSocket::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active) {
        Open();
        if (OnListen)
            OnListen(*this, nullptr);
    } else {
        CloseAll();
    }
}

void TServerSocket::Open()
{
    if (FPort < 0 || FPort > 65535)
        throw ESocketError(QStringLiteral("Invalid port %1").arg(FPort));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ApiError(errno, "socket");
    // A stop closes connections from our side and leaves them in TIME_WAIT.
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(quint16(FPort));
    const char* failed = nullptr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)
        failed = "bind";
    else if (::listen(fd, kListenBacklog) < 0)
        failed = "listen";
    socklen_t len = sizeof addr;
    if (!failed && ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0)
        failed = "getsockname";
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kListenerTag;
    if (!failed && ::epoll_ctl(FEpoll, EPOLL_CTL_ADD, fd, &ev) < 0)
        failed = "epoll_ctl";
    if (failed) {
        const int error = errno;
        ::close(fd);
        throw ApiError(error, failed);
    }
    FListen = fd;
    FLocalPort = ntohs(addr.sin_port);
    FAcceptPaused = false;
}

void TServerSocket::CloseAll()
{
    FAcceptRetry.stop();
    ::close(FListen);  // also leaves the epoll set
    FListen = -1;
    FLocalPort = 0;
    FAcceptPaused = false;

    std::vector<TConnectionRef> all;
    all.reserve(FConnections.size());
    for (auto& [id, conn] : FConnections)
        all.push_back(conn);
    // In the order of their accept, as a user reading the log expects.
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->FId < b->FId; });
    std::exception_ptr first;
    for (auto& conn : all) {
        try {
            CloseNow(conn);
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    FToClose.clear();
    if (first)
        std::rethrow_exception(first);
}

void TServerSocket::EventsReady()
{
    epoll_event events[kEventsPerPass];
    const int n = ::epoll_wait(FEpoll, events, kEventsPerPass, 0);
    for (int i = 0; i < n; ++i) {
        const quint64 tag = events[i].data.u64;
        if (tag == kListenerTag) {
            if (FListen >= 0 && !FAcceptPaused)
                Guarded([this] { AcceptPending(); });
            continue;
        }
        const auto found = FConnections.find(tag);
        if (found == FConnections.end())
            continue;  // closed by an earlier event of this pass
        const TConnectionRef conn = found->second;  // keeps it alive through its handlers
        Guarded([&] { ConnectionReady(conn, events[i].events); });
    }
    CloseScheduled();
}

void TServerSocket::AcceptPending()
{
    for (int i = 0; i < kAcceptsPerPass && FListen >= 0; ++i) {
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        const int fd = ::accept4(FListen, reinterpret_cast<sockaddr*>(&addr), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
                continue;
            // Out of descriptors: the listener rests (the connection waits in the backlog)
            // instead of waking the loop again at once; connected clients are still served.
            if (OutOfDescriptors(errno))
                PauseAccept();
            return;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const quint64 id = FNextId++;
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.u64 = id;
        if (::epoll_ctl(FEpoll, EPOLL_CTL_ADD, fd, &ev) < 0) {
            const int error = errno;
            ::close(fd);
            if (OutOfDescriptors(error))
                PauseAccept();
            return;
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
        auto conn = std::make_shared<TServerSocketConnection>(this, fd, id, QString::fromLatin1(text),
                                                              int(ntohs(addr.sin_port)));
        FConnections.emplace(id, conn);
        if (OnClientConnect)
            OnClientConnect(*this, conn.get());
    }
}

void TServerSocket::PauseAccept()
{
    epoll_event ev{};
    ev.events = 0;
    ev.data.u64 = kListenerTag;
    ::epoll_ctl(FEpoll, EPOLL_CTL_MOD, FListen, &ev);
    FAcceptPaused = true;
    FAcceptRetry.start(kAcceptRetryMs);
}

void TServerSocket::ResumeAccept()
{
    if (!FAcceptPaused || FListen < 0)
        return;
    FAcceptRetry.stop();
    FAcceptPaused = false;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kListenerTag;
    ::epoll_ctl(FEpoll, EPOLL_CTL_MOD, FListen, &ev);
}

void TServerSocket::ConnectionReady(const TConnectionRef& conn, unsigned events)
{
    if (conn->FState != TServerSocketConnection::State::Open)
        return;
    if ((events & EPOLLOUT) && !conn->Flush())
        return;
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))
        ReadFrom(conn);
}

void TServerSocket::ReadFrom(const TConnectionRef& conn)
{
    ssize_t n;
    do {
        n = ::recv(conn->FHandle, FScratch.data(), size_t(FScratch.size()), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        const int error = errno;
        ScheduleClose(*conn);
        ReportError(conn.get(), TSocketErrorKind::Receive, error);
        return;
    }
    if (n == 0) {
        // Closed or half-closed by the peer: the connection ends.
        ScheduleClose(*conn);
        return;
    }
    QByteArray input(FScratch.constData(), n);
    if (n == FScratch.size()) {
        // More may be queued: take what is there now, no more, so a flood holds only what it sent.
        int more = 0;
        if (::ioctl(conn->FHandle, FIONREAD, &more) == 0 && more > 0) {
            const qsizetype had = input.size();
            input.resize(had + more);
            const ssize_t m = ::recv(conn->FHandle, input.data() + had, size_t(more), MSG_DONTWAIT);
            input.resize(had + std::max<ssize_t>(m, 0));
        }
    }
    conn->FInput = std::move(input);
    struct DropUnread {
        TServerSocketConnection& conn;
        ~DropUnread() { conn.FInput.clear(); }
    } dropUnread{*conn};
    if (OnClientRead)
        OnClientRead(*this, conn.get());
}

void TServerSocket::WatchWrite(TServerSocketConnection& conn, bool on)
{
    if (conn.FWantWrite == on || conn.FState == TServerSocketConnection::State::Gone)
        return;
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | (on ? EPOLLOUT : 0u);
    ev.data.u64 = conn.FId;
    if (::epoll_ctl(FEpoll, EPOLL_CTL_MOD, conn.FHandle, &ev) == 0)
        conn.FWantWrite = on;
}

void TServerSocket::ScheduleClose(TServerSocketConnection& conn)
{
    if (conn.FState != TServerSocketConnection::State::Open)
        return;
    conn.FState = TServerSocketConnection::State::Closing;
    FToClose.push_back(conn.shared_from_this());
    // Sends may fail outside an epoll pass too; the close then follows on the next loop turn.
    if (!FCloseQueued) {
        FCloseQueued = true;
        QMetaObject::invokeMethod(this, [this] { CloseScheduled(); }, Qt::QueuedConnection);
    }
}

void TServerSocket::CloseScheduled()
{
    FCloseQueued = false;
    while (!FToClose.empty()) {
        std::vector<TConnectionRef> batch;
        batch.swap(FToClose);
        for (auto& conn : batch)
            Guarded([&] { CloseNow(conn); });
    }
}

void TServerSocket::CloseNow(const TConnectionRef& conn)
{
    using State = TServerSocketConnection::State;
    if (conn->FState == State::Gone)
        return;
    FConnections.erase(conn->FId);
    conn->FState = State::Closing;
    if (!conn->FOutput.isEmpty())  // a last try for replies still queued; errors no longer matter
        ::send(conn->FHandle, conn->FOutput.constData(), size_t(conn->FOutput.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    struct Release {
        TServerSocket& server;
        TServerSocketConnection& conn;
        ~Release()
        {
            ::close(conn.FHandle);
            conn.FHandle = -1;
            conn.FState = State::Gone;
            conn.FOutput.clear();
            conn.FInput.clear();
            conn.FServer = nullptr;
            server.ResumeAccept();  // a descriptor is free again
        }
    } release{*this, *conn};
    if (OnClientDisconnect)
        OnClientDisconnect(*this, conn.get());
}

void TServerSocket::ReportError(TServerSocketConnection* conn, TSocketErrorKind kind, int code)
{
    if (OnClientError)
        OnClientError(*this, conn, kind, code);
    if (code != 0)
        throw ESocketError(QStringLiteral("Asynchronous socket error %1").arg(code));
}

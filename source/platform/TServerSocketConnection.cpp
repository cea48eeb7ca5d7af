#include "platform/TServerSocketConnection.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/AnsiText.h"
#include "platform/TServerSocket.h"

TServerSocketConnection::TServerSocketConnection(TServerSocket* server, int handle, quint64 id,
                                                 QString address, int port)
    : FServer(server), FHandle(handle), FId(id), FAddress(std::move(address)), FPort(port)
{
}

TServerSocketConnection::~TServerSocketConnection()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

QString TServerSocketConnection::RemoteAddress() const
{
    return FState == State::Gone ? QString() : FAddress;
}

int TServerSocketConnection::RemotePort() const
{
    return FState == State::Gone ? 0 : FPort;
}

QByteArray TServerSocketConnection::ReceiveBuf()
{
    return std::exchange(FInput, QByteArray());
}

QString TServerSocketConnection::ReceiveText()
{
    return AnsiToString(ReceiveBuf());
}

int TServerSocketConnection::SendText(const QString& text)
{
    return SendBuf(StringToAnsi(text));
}

int TServerSocketConnection::SendBuf(QByteArrayView bytes)
{
    if (FState != State::Open || bytes.isEmpty())
        return 0;
    qsizetype taken = 0;
    if (FOutput.isEmpty()) {
        for (;;) {
            const ssize_t n = ::send(FHandle, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n >= 0) {
                taken = n;
                break;
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            const int error = errno;
            FServer->ScheduleClose(*this);
            FServer->ReportError(this, TSocketErrorKind::Send, error);
            return 0;
        }
    }
    const qsizetype rest = bytes.size() - taken;
    // A reply that does not fit behind what the client has not read yet is dropped whole,
    // so the stream never carries half a reply.
    if (rest > 0 && FOutput.size() + rest <= kMaxPendingOutput) {
        FOutput.append(bytes.sliced(taken));
        taken += rest;
        FServer->WatchWrite(*this, true);
    }
    return int(taken);
}

bool TServerSocketConnection::Flush()
{
    while (!FOutput.isEmpty()) {
        const ssize_t n = ::send(FHandle, FOutput.constData(), size_t(FOutput.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            const int error = errno;
            FOutput.clear();
            FServer->ScheduleClose(*this);
            FServer->ReportError(this, TSocketErrorKind::Send, error);
            return false;
        }
        FOutput.remove(0, n);
    }
    FServer->WatchWrite(*this, !FOutput.isEmpty());
    return true;
}

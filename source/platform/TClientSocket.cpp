#include "platform/TClientSocket.h"

// The connection itself is still to come; until then every open fails cleanly.
TClientSocket::TClientSocket() = default;
TClientSocket::~TClientSocket() = default;

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

void TClientSocket::Open()
{
    throw ESocketError(QStringLiteral("Unable to connect to %1:%2").arg(FAddress).arg(FPort));
}

void TClientSocket::Close() {}

bool TClientSocket::Active() const { return false; }

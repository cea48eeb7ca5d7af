#include "platform/TComPort.h"

// Device access is still to come; until then every open fails cleanly.
TComPort::TComPort() = default;
TComPort::~TComPort() = default;

void TComPort::Open()
{
    throw EComPort(QStringLiteral("Unable to open com port %1").arg(FPort));
}

bool TComPort::Connected() const { return false; }

void TComPort::Close() {}

void TComPort::ClearBuffer(bool, bool) {}

int TComPort::InputCount()
{
    throw EComPort(QStringLiteral("Com port %1 is not open").arg(FPort));
}

#pragma once

#include <QString>

#include "platform/Exception.h"

class ESocketError : public Exception {
public:
    using Exception::Exception;
};

enum class TClientType { ctNonBlocking, ctBlocking };

// A TCP client to a scale. Only the blocking mode is used: open connects before it returns.
class TClientSocket {
public:
    TClientSocket();
    virtual ~TClientSocket();
    TClientSocket(const TClientSocket&) = delete;
    TClientSocket& operator=(const TClientSocket&) = delete;

    TClientType ClientType() const { return FClientType; }
    void SetClientType(TClientType type) { FClientType = type; }
    const QString& Host() const { return FHost; }
    void SetHost(const QString& host);
    const QString& Address() const { return FAddress; }
    void SetAddress(const QString& address);
    int Port() const { return FPort; }
    void SetPort(int port);

    void Open();
    void Close();
    bool Active() const;

private:
    void CheckInactive() const;

    TClientType FClientType = TClientType::ctNonBlocking;
    QString FHost;
    QString FAddress;
    int FPort = 0;
};

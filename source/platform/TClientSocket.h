#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <mutex>

#include "platform/Exception.h"

class ESocketError : public Exception {
public:
    using Exception::Exception;
};

enum class TClientType { ctNonBlocking, ctBlocking };

// A TCP client to a scale. Only the blocking mode is used: open connects before it returns.
// One thread (the reader) opens and receives; any thread may close, which wakes a connect or a
// receive that is waiting.
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

    // Connects to Address (Host when Address is empty) before it returns; raises ESocketError
    // when no connection can be made or when Close cancels it. `keepGoing`, when given, is asked
    // once the attempt can be woken by Close: false cancels it, so a close made just before the
    // open is not lost. Does nothing when already active.
    void Open(const std::function<bool()>& keepGoing = {});
    // Closes the connection; a connect or receive waiting on it in another thread returns.
    void Close();
    bool Active() const;
    // The connection's connected flag: true from the connect until close.
    bool Connected() const { return Active(); }

    // Waits until data is available, then takes at most maxCount bytes and at most what is
    // available. Empty when the peer ended the connection or Close woke the wait. On failure
    // closes the connection and raises ESocketError.
    QByteArray ReceiveBuf(int maxCount);

private:
    void CheckInactive() const;
    // Waits for the descriptor or the wake-up; true when the descriptor is ready.
    bool WaitFor(int fd, short events);
    // Ends an operation begun with the lock; closes the descriptor if Close came meanwhile.
    void EndOperation();
    [[noreturn]] void Fail(const char* api, int error);

    TClientType FClientType = TClientType::ctNonBlocking;
    QString FHost;
    QString FAddress;
    int FPort = 0;

    // The descriptor, its state and the wake-up are guarded together, so a close from another
    // thread never touches a number the kernel has already handed to someone else.
    mutable std::mutex FLock;
    int FFd = -1;
    int FWakeFd = -1;
    bool FActive = false;
    bool FCloseRequested = false;
    int FBusy = 0;  // operations waiting on FFd
};

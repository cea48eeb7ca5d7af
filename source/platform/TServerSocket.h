#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/TServerSocketConnection.h"

class QSocketNotifier;

// A non-blocking TCP server on the main thread. The listening socket and every connection sit
// on one epoll set of our own, which a single QSocketNotifier hands to the Qt loop: the loop's
// own poll then stays cheap however many idle connections are open. All events arrive on the
// main thread, one at a time.
class TServerSocket : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TServerSocket& Sender, TServerSocketConnection* Socket)>;
    using TErrorEvent = std::function<void(TServerSocket& Sender, TServerSocketConnection* Socket,
                                           TSocketErrorKind ErrorEvent, int& ErrorCode)>;

    static constexpr int kListenBacklog = 8192;  // the kernel caps it at somaxconn
    // How long the listener rests after running out of descriptors before it tries again;
    // any connection that closes wakes it earlier.
    static constexpr int kAcceptRetryMs = 100;

    explicit TServerSocket(QObject* parent = nullptr) : TServerSocket(0, parent) {}
    explicit TServerSocket(int port, QObject* parent = nullptr);
    ~TServerSocket() override;

    int Port() const { return FPort; }
    void SetPort(int port);
    // The port actually bound (differs from Port when Port is 0); 0 while inactive.
    int LocalPort() const { return FLocalPort; }
    bool Active() const { return FListen >= 0; }
    // On: listen on every local IPv4 address and fire the listen event.
    // Off: stop listening and close every connection, each with its disconnect event.
    void SetActive(bool active);

    std::size_t ActiveConnections() const { return FConnections.size(); }
    // True while the listener waits for free descriptors.
    bool AcceptPaused() const { return FAcceptPaused; }

    // Listen passes no connection; the others pass the connection they concern.
    TNotifyEvent OnListen;
    TNotifyEvent OnClientConnect;
    TNotifyEvent OnClientDisconnect;
    TNotifyEvent OnClientRead;
    TErrorEvent OnClientError;

private:
    friend class TServerSocketConnection;
    using TConnectionRef = std::shared_ptr<TServerSocketConnection>;

    void CheckInactive() const;
    void Open();
    void CloseAll();
    void EventsReady();
    void AcceptPending();
    void PauseAccept();
    void ResumeAccept();
    void ConnectionReady(const TConnectionRef& conn, unsigned events);
    void ReadFrom(const TConnectionRef& conn);
    void WatchWrite(TServerSocketConnection& conn, bool on);
    // Marks the connection for closing once the current event is over.
    void ScheduleClose(TServerSocketConnection& conn);
    void CloseScheduled();
    void CloseNow(const TConnectionRef& conn);
    // Fires the error event; raises when the handler leaves a code other than 0.
    void ReportError(TServerSocketConnection* conn, TSocketErrorKind kind, int code);

    int FPort = 0;
    int FLocalPort = 0;
    int FEpoll = -1;
    int FListen = -1;
    bool FAcceptPaused = false;
    quint64 FNextId = 1;  // 0 is the listener's tag in the epoll set
    QSocketNotifier* FNotifier = nullptr;
    QTimer FAcceptRetry;
    std::unordered_map<quint64, TConnectionRef> FConnections;
    std::vector<TConnectionRef> FToClose;
    bool FCloseQueued = false;
    QByteArray FScratch;
};

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <memory>

class TServerSocket;

// What went wrong on a connection, as the client error event reports it.
enum class TSocketErrorKind { General, Send, Receive, Disconnect, Accept };

// One accepted client connection of a TServerSocket. The same object stands for the
// connection in all of its events; holders keep a weak reference, so a connection that is
// gone is never touched after its release.
class TServerSocketConnection : public std::enable_shared_from_this<TServerSocketConnection> {
public:
    // Replies a client has not taken yet are held up to this size; beyond it they are dropped,
    // so a client that never reads cannot make the server buffer without limit.
    static constexpr qsizetype kMaxPendingOutput = 64 * 1024;

    TServerSocketConnection(TServerSocket* server, int handle, quint64 id, QString address, int port);
    ~TServerSocketConnection();
    TServerSocketConnection(const TServerSocketConnection&) = delete;
    TServerSocketConnection& operator=(const TServerSocketConnection&) = delete;

    // Dotted IPv4 of the peer, kept from the accept (a reset peer has no address to ask for);
    // empty once the connection is gone.
    QString RemoteAddress() const;
    int RemotePort() const;
    bool Connected() const { return FState == State::Open; }

    // All bytes received for the current read event, as Windows-1252 text. Does not wait.
    QString ReceiveText();
    QByteArray ReceiveBuf();
    // Sends once without waiting; returns the count taken (sent now or queued within the bound).
    // A failed send reports through the client error event and then closes the connection.
    int SendText(const QString& text);
    int SendBuf(QByteArrayView bytes);

    qsizetype PendingOutput() const { return FOutput.size(); }

private:
    friend class TServerSocket;
    enum class State { Open, Closing, Gone };

    // Writes what is queued; false when the connection failed (the error is already reported).
    bool Flush();

    TServerSocket* FServer;
    int FHandle;
    quint64 FId;
    QString FAddress;
    int FPort;
    State FState = State::Open;
    QByteArray FInput;  // what the current read event brought
    QByteArray FOutput;  // replies the kernel has not taken yet
    bool FWantWrite = false;
};

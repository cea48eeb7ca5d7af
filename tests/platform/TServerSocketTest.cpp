#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>
#include <fcntl.h>
#include <sys/resource.h>

#include "platform/TClientSocket.h"
#include "platform/TServerSocket.h"
#include "server/LoopbackClient.h"
#include "support/RecordingUserInterface.h"
#include "support/Wait.h"

namespace {

// Records every event as a line; reads are answered by `Reply` when set.
class ServerSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Server.OnListen = [this](TServerSocket&, TServerSocketConnection* s) {
            Events << QStringLiteral("listen %1").arg(s ? "conn" : "none");
        };
        Server.OnClientConnect = [this](TServerSocket&, TServerSocketConnection* s) {
            Events << "connect " + s->RemoteAddress();
            Seen.push_back(s->weak_from_this());
        };
        Server.OnClientDisconnect = [this](TServerSocket&, TServerSocketConnection* s) {
            Events << "disconnect " + s->RemoteAddress();
            SameObject = SameObject && !Seen.empty() && Seen.back().lock().get() == s;
        };
        Server.OnClientRead = [this](TServerSocket&, TServerSocketConnection* s) {
            const QString text = s->ReceiveText();
            Received += text;
            ++Reads;
            if (Reply)
                Reply(*s, text);
        };
        Server.OnClientError = [this](TServerSocket&, TServerSocketConnection*, TSocketErrorKind kind, int& code) {
            Events << QStringLiteral("error %1").arg(int(kind));
            ++Errors;
            if (ClearErrorCode)
                code = 0;
        };
    }

    int Start()
    {
        Server.SetPort(0);
        Server.SetActive(true);
        return Server.LocalPort();
    }
    int Count(const QString& prefix) const { return int(Events.filter(QRegularExpression("^" + prefix)).size()); }

    TRecordingUserInterface Ui;
    TServerSocket Server;
    QStringList Events;
    QString Received;
    int Reads = 0;
    int Errors = 0;
    bool ClearErrorCode = true;
    bool SameObject = true;
    std::vector<std::weak_ptr<TServerSocketConnection>> Seen;
    std::function<void(TServerSocketConnection&, const QString&)> Reply;
};

}  // namespace

TEST_F(ServerSocketTest, PortIsFixedWhileActiveAndActivationListens)
{
    const int port = Start();
    EXPECT_GT(port, 0);
    EXPECT_TRUE(Server.Active());
    EXPECT_EQ(Events, QStringList{"listen none"});
    try {
        Server.SetPort(9191);
        FAIL() << "no error";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "Can't change value while socket is active");
    }
    Server.SetActive(false);
    EXPECT_FALSE(Server.Active());
    Server.SetPort(9191);
    EXPECT_EQ(Server.Port(), 9191);
    EXPECT_THROW(TLoopbackClient{port}, std::runtime_error);  // nobody listens any more
}

TEST_F(ServerSocketTest, PortInUseFailsTheActivation)
{
    const int port = Start();
    TServerSocket other;
    other.SetPort(port);
    try {
        other.SetActive(true);
        FAIL() << "no error";
    } catch (const ESocketError& e) {
        EXPECT_TRUE(e.Message().contains("on API 'bind'")) << e.Message().toStdString();
    }
    EXPECT_FALSE(other.Active());
}

TEST_F(ServerSocketTest, OneConnectionIsOneObjectFromConnectToDisconnect)
{
    Reply = [](TServerSocketConnection& s, const QString& text) { EXPECT_EQ(s.SendText("<" + text + ">"), int(text.size()) + 2); };
    const int port = Start();
    {
        TLoopbackClient client(port);
        ASSERT_TRUE(WaitUntil([&] { return Count("connect") == 1; }));
        EXPECT_EQ(Events.last(), "connect 127.0.0.1");
        // Bytes are Windows-1252 both ways.
        client.Send("Atenci\xF3n");
        EXPECT_EQ(client.Read(10), QByteArray("<Atenci\xF3n>"));
        EXPECT_EQ(Received, QString::fromUtf8("Atención"));
        client.Send("PSB1");
        EXPECT_EQ(client.Read(6), QByteArray("<PSB1>"));
    }
    ASSERT_TRUE(WaitUntil([&] { return Count("disconnect") == 1; }));
    EXPECT_EQ(Events.last(), "disconnect 127.0.0.1");  // the address is still readable while closing
    EXPECT_TRUE(SameObject);
    EXPECT_TRUE(Seen.at(0).expired());  // released once gone
    EXPECT_EQ(Server.ActiveConnections(), 0u);
    RunEventsFor(100);
    EXPECT_EQ(Count("disconnect"), 1);
    EXPECT_EQ(Errors, 0);
}

TEST_F(ServerSocketTest, DeactivationClosesEveryConnectionInOrder)
{
    std::vector<int> closed;
    Server.OnClientDisconnect = [&](TServerSocket&, TServerSocketConnection* s) { closed.push_back(s->RemotePort()); };
    const int port = Start();
    TLoopbackClient a(port);
    ASSERT_TRUE(WaitUntil([&] { return Server.ActiveConnections() == 1; }));
    TLoopbackClient b(port);
    ASSERT_TRUE(WaitUntil([&] { return Server.ActiveConnections() == 2; }));
    TLoopbackClient c(port);
    ASSERT_TRUE(WaitUntil([&] { return Server.ActiveConnections() == 3; }));
    std::vector<std::shared_ptr<TServerSocketConnection>> kept;
    for (auto& w : Seen)
        kept.push_back(w.lock());
    Server.SetActive(false);
    EXPECT_EQ(closed, (std::vector<int>{a.LocalPort(), b.LocalPort(), c.LocalPort()}));
    EXPECT_EQ(Server.ActiveConnections(), 0u);
    for (auto* client : {&a, &b, &c})
        EXPECT_TRUE(client->WaitClosedByPeer());
    // An object someone still holds answers as a gone connection.
    for (auto& conn : kept) {
        EXPECT_FALSE(conn->Connected());
        EXPECT_EQ(conn->RemoteAddress(), QString());
        EXPECT_EQ(conn->SendText("x"), 0);
    }
}

TEST_F(ServerSocketTest, HalfClosedPeerStillGetsTheReplyToItsLastRequest)
{
    Reply = [](TServerSocketConnection& s, const QString&) { s.SendText("S1520"); };
    const int port = Start();
    TLoopbackClient client(port);
    client.Send("PSB1");
    client.ShutdownWrite();
    EXPECT_EQ(client.Read(5), QByteArray("S1520"));
    EXPECT_TRUE(client.WaitClosedByPeer());
    ASSERT_TRUE(WaitUntil([&] { return Count("disconnect") == 1; }));
    RunEventsFor(100);
    EXPECT_EQ(Count("disconnect"), 1);
}

// A reset at any moment ends the connection with exactly one disconnect; the error handler
// decides whether the component raises "Asynchronous socket error %d".
TEST_F(ServerSocketTest, ResetPeerDisconnectsOnceAndRaisesOnlyWhenTheCodeIsLeft)
{
    struct Case {
        bool requestFirst;
        bool clearCode;
    };
    for (const Case c : {Case{false, true}, Case{false, false}, Case{true, true}, Case{true, false}}) {
        SCOPED_TRACE(::testing::Message() << "request first " << c.requestFirst << ", clear " << c.clearCode);
        Events.clear();
        Errors = 0;
        Ui.Boxes.clear();
        ClearErrorCode = c.clearCode;
        Reply = [](TServerSocketConnection& s, const QString&) { s.SendText("S1520"); };
        const int port = Start();
        {
            TLoopbackClient client(port);
            ASSERT_TRUE(WaitUntil([&] { return Count("connect") == 1; }));
            if (c.requestFirst)
                client.Send("PSB1");
            client.Reset();
        }
        ASSERT_TRUE(WaitUntil([&] { return Count("disconnect") == 1; }));
        RunEventsFor(100);
        EXPECT_EQ(Count("disconnect"), 1);
        EXPECT_LE(Errors, 1);
        if (Errors == 1 && !c.clearCode) {
            ASSERT_EQ(Ui.Boxes.size(), 1u);
            EXPECT_TRUE(Ui.Boxes[0].Text.startsWith("Asynchronous socket error ")) << Ui.Boxes[0].Text.toStdString();
        } else {
            EXPECT_TRUE(Ui.Boxes.empty());
        }
        Server.SetActive(false);
    }
}

TEST_F(ServerSocketTest, ResetPeerIsReportedAsAnErrorWithItsCode)
{
    int code = -1;
    Server.OnClientError = [&](TServerSocket&, TServerSocketConnection* s, TSocketErrorKind, int& errorCode) {
        code = errorCode;
        EXPECT_EQ(s->RemoteAddress(), "127.0.0.1");
        errorCode = 0;
    };
    const int port = Start();
    TLoopbackClient client(port);
    ASSERT_TRUE(WaitUntil([&] { return Server.ActiveConnections() == 1; }));
    client.Reset();
    ASSERT_TRUE(WaitUntil([&] { return Count("disconnect") == 1; }));
    EXPECT_EQ(code, ECONNRESET);
}

TEST_F(ServerSocketTest, RepliesToAClientThatNeverReadsAreBounded)
{
    const QByteArray chunk(1000, 'x');
    int taken = 0, refused = 0;
    std::weak_ptr<TServerSocketConnection> conn;
    Reply = [&](TServerSocketConnection& s, const QString&) {
        conn = s.weak_from_this();
        for (int i = 0; i < 4000; ++i)
            (s.SendBuf(chunk) == chunk.size() ? taken : refused)++;
        EXPECT_LE(s.PendingOutput(), TServerSocketConnection::kMaxPendingOutput);
    };
    const int port = Start();
    TLoopbackClient client(port, 4096);
    client.Send("go");
    ASSERT_TRUE(WaitUntil([&] { return Reads == 1; }));
    EXPECT_GT(refused, 0);
    EXPECT_LT(taken, 4000);
    // What was taken arrives whole: every reply in full, none cut.
    const QByteArray got = client.Read(qsizetype(taken) * chunk.size());
    EXPECT_EQ(got.size(), qsizetype(taken) * chunk.size());
    EXPECT_EQ(got.count('x'), got.size());
    ASSERT_TRUE(WaitUntil([&] { return conn.lock() && conn.lock()->PendingOutput() == 0; }));
    EXPECT_EQ(client.ReadFor(100), QByteArray());
}

TEST_F(ServerSocketTest, AFloodIsReadAsItComesAndTheServerStaysUsable)
{
    qsizetype total = 0;
    Reply = [&](TServerSocketConnection& s, const QString& text) {
        total += text.size();
        if (text == "PSB1")
            s.SendText("S0");
    };
    const int port = Start();
    TLoopbackClient flood(port), other(port);
    flood.Send(QByteArray(4 * 1024 * 1024, 'P'));
    ASSERT_TRUE(WaitUntil([&] { return total == 4 * 1024 * 1024; }));
    other.Send("PSB1");
    EXPECT_EQ(other.Read(2), QByteArray("S0"));
}

TEST_F(ServerSocketTest, RunningOutOfDescriptorsPausesTheListenerUntilOneIsFree)
{
    Reply = [](TServerSocketConnection& s, const QString&) { s.SendText("S0"); };
    const int port = Start();
    std::vector<std::unique_ptr<TLoopbackClient>> clients;
    for (int i = 0; i < 12; ++i)
        clients.push_back(std::make_unique<TLoopbackClient>(port));
    ASSERT_TRUE(WaitUntil([&] { return Server.ActiveConnections() == 12; }));

    // Leave room for only a few more descriptors, then let more clients wait in the backlog.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    std::vector<std::unique_ptr<TLoopbackClient>> waiting;
    for (int i = 0; i < 6; ++i)
        waiting.push_back(std::make_unique<TLoopbackClient>(port));
    // New descriptors take the lowest free number: allow the server two more at most.
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree + 2);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    struct Restore {
        rlimit limit;
        ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{saved};

    ASSERT_TRUE(WaitUntil([&] { return Server.AcceptPaused(); }));
    EXPECT_GE(Server.ActiveConnections(), 12u);
    EXPECT_LT(Server.ActiveConnections(), 18u);  // some wait
    RunEventsFor(300);  // the listener keeps resting (retrying now and then), never spinning
    EXPECT_TRUE(Server.Active());
    clients[0]->Send("PSB1");
    EXPECT_EQ(clients[0]->Read(2), QByteArray("S0"));

    // Free descriptors: the waiting clients are taken in and served.
    ::setrlimit(RLIMIT_NOFILE, &saved);
    for (int i = 1; i < 6; ++i)
        clients[i].reset();
    ASSERT_TRUE(WaitUntil([&] { return Server.ActiveConnections() == 12 - 5 + 6; }));
    EXPECT_FALSE(Server.AcceptPaused());
    waiting.back()->Send("PSB1");
    EXPECT_EQ(waiting.back()->Read(2), QByteArray("S0"));
}

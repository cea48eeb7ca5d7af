#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <unistd.h>

#include "platform/TClientSocket.h"
#include "support/LoopbackListener.h"

namespace {

using namespace std::chrono_literals;

void Configure(TClientSocket& client, int port)
{
    client.SetClientType(TClientType::ctBlocking);
    client.SetHost(QStringLiteral("127.0.0.1"));
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(port);
}

TEST(TClientSocketTest, ConnectsReceivesAtMostWhatIsAskedAndWaitsForData)
{
    TListener listener;
    TClientSocket client;
    Configure(client, listener.Port());
    EXPECT_FALSE(client.Active());
    client.Open();
    EXPECT_TRUE(client.Active());
    EXPECT_TRUE(client.Connected());
    const int peer = listener.Accept();

    const std::string big(1000, 'x');
    ASSERT_EQ(::send(peer, big.data(), big.size(), 0), 1000);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.ReceiveBuf(500).size(), 500);
    EXPECT_EQ(client.ReceiveBuf(500).size(), 500);

    ASSERT_EQ(::send(peer, "12", 2, 0), 2);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.ReceiveBuf(500), QByteArray("12"));  // no more than is waiting

    // Nothing waiting: the receive waits for the bytes.
    auto sender = std::async(std::launch::async, [peer] {
        std::this_thread::sleep_for(200ms);
        return ::send(peer, "\x01\xff", 2, 0);
    });
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReceiveBuf(500), QByteArray("\x01\xff"));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 150ms);
    EXPECT_EQ(sender.get(), 2);

    client.Close();
    EXPECT_FALSE(client.Active());
    client.Close();
}

TEST(TClientSocketTest, SettingsCannotChangeWhileActive)
{
    TListener listener;
    TClientSocket client;
    Configure(client, listener.Port());
    client.Open();
    const QString expected = QStringLiteral("Can't change value while socket is active");
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { client.SetHost("10.0.0.1"); }, [&] { client.SetAddress("10.0.0.1"); },
             [&] { client.SetPort(1); }}) {
        try {
            change();
            ADD_FAILURE() << "changed";
        } catch (const ESocketError& e) {
            EXPECT_EQ(e.Message(), expected);
        }
    }
    EXPECT_EQ(client.Port(), listener.Port());
    client.Close();
    EXPECT_NO_THROW(client.SetPort(2));
}

TEST(TClientSocketTest, RefusedConnectionRaisesWithTheSystemError)
{
    TClientSocket client;
    Configure(client, FreeLoopbackPort());
    try {
        client.Open();
        FAIL() << "connected";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Windows socket error: %1 (%2), on API 'connect'")
                                   .arg(QString::fromLocal8Bit(std::strerror(ECONNREFUSED)))
                                   .arg(ECONNREFUSED));
    }
    EXPECT_FALSE(client.Active());
}

TEST(TClientSocketTest, PeerCloseGivesAnEmptyReceiveAndResetRaisesAndCloses)
{
    TListener listener;
    TClientSocket client;
    Configure(client, listener.Port());
    client.Open();
    ::close(listener.Accept());
    EXPECT_EQ(client.ReceiveBuf(500), QByteArray());

    TClientSocket second;
    Configure(second, listener.Port());
    second.Open();
    const int peer = listener.Accept();
    const linger abort{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(peer);  // sends a reset
    std::this_thread::sleep_for(50ms);
    try {
        second.ReceiveBuf(500);
        ADD_FAILURE() << "received";
    } catch (const ESocketError& e) {
        EXPECT_TRUE(e.Message().endsWith(QStringLiteral("(%1), on API 'recv'").arg(ECONNRESET)))
            << e.Message().toStdString();
    }
    EXPECT_FALSE(second.Active());
    EXPECT_THROW(second.ReceiveBuf(500), ESocketError);
}

// Close from another thread wakes a waiting receive or a connect in progress promptly.
TEST(TClientSocketTest, CloseFromAnotherThreadWakesTheWait)
{
    TListener listener;
    TSilentPeer silent;
    struct Case {
        const char* Name;
        int Port;
        bool Connect;
    };
    for (const Case& c : {Case{"receive", listener.Port(), false}, Case{"connect", silent.Port(), true}}) {
        SCOPED_TRACE(c.Name);
        TClientSocket client;
        Configure(client, c.Port);
        if (!c.Connect)
            client.Open();
        std::atomic<bool> started{false};
        auto waiting = std::async(std::launch::async, [&] {
            started = true;
            try {
                if (c.Connect)
                    client.Open();
                return client.ReceiveBuf(500).isEmpty() ? 0 : 1;
            } catch (const ESocketError&) {
                return 2;
            }
        });
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(300ms);  // well inside the wait
        ASSERT_EQ(waiting.wait_for(0ms), std::future_status::timeout) << "did not wait";
        const auto begin = std::chrono::steady_clock::now();
        client.Close();
        ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
        EXPECT_EQ(waiting.get(), c.Connect ? 2 : 0);
        EXPECT_FALSE(client.Active());
    }
}

TEST(TClientSocketTest, ACloseJustBeforeTheOpenIsNotLost)
{
    TSilentPeer silent;
    TClientSocket client;
    Configure(client, silent.Port());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_THROW(client.Open([] { return false; }), ESocketError);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_FALSE(client.Active());
}

}  // namespace

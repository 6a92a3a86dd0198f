// The TCP transport against a peer on a real loopback socket.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "OwnedText.h"
#include "PosixPeer.h"
#include "ScriptedTransport.h"
#include "TestClock.h"
#include "korvocomm.h"
#include "platform/wait.h"
#include "protocol/CommandSession.h"
#include "transport/CTcpNetwLayer.h"
#include "transport/HostAddress.h"
#include "transport/SocketsStarted.h"

namespace korvo {
namespace {

using test::LoopbackListener;

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}
uint32_t Size(const std::string& s) {
    return static_cast<uint32_t>(s.size());
}

// Waits (really) until the transport reports at least n bytes.
bool WaitAvailable(INetworkLayer& t, uint32_t n) {
    for (int i = 0; i < 5000; ++i) {
        if (t.BytesAvailable() >= n) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class TcpTest : public ::testing::Test {
protected:
    void SetUp() override {
        wasStarted = socketsStarted.exchange(true);
        ASSERT_TRUE(listener.ok());
    }
    void TearDown() override {
        if (peer >= 0) close(peer);
        socketsStarted.store(wasStarted);
    }

    // Opens tcp to the listener and accepts the connection as peer.
    void Connect(CTcpNetwLayer& tcp) {
        ASSERT_EQ(tcp.Open(), 0);
        peer = listener.Accept();
        ASSERT_GE(peer, 0);
    }

    // Connects tcp to a peer with small buffers on both ends, so that a
    // 2500-byte request does not fit in one send while the peer lags behind.
    void ConnectSmall(std::unique_ptr<CTcpNetwLayer>& tcp) {
        small.reset(new LoopbackListener("127.0.0.1", 0, 2048));
        ASSERT_TRUE(small->ok());
        tcp.reset(new CTcpNetwLayer(test::OwnedText("127.0.0.1"), small->Port()));
        ASSERT_EQ(tcp->Open(), 0);
        peer = small->Accept();
        ASSERT_GE(peer, 0);
        int client = test::FindClientSocketOf(peer);
        ASSERT_GE(client, 0);
        int sendBuffer = 2048;
        ASSERT_EQ(setsockopt(client, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer), 0);
    }

    bool wasStarted = false;
    LoopbackListener listener;
    std::unique_ptr<LoopbackListener> small;
    int peer = -1;
};

TEST_F(TcpTest, CommandExchangeThroughASession) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
    CommandSession session(&tcp);
    std::vector<std::string> requests;
    std::thread printer([&] {
        peer = listener.Accept();
        if (peer < 0) return;
        test::LinePeer lines(peer, 2, [](const std::string& request) {
            return request.rfind("gDT\t", 0) == 0 ? test::ResponseTo(request, 0, "0\t24.12.2024")
                                                  : test::ResponseTo(request, 0);
        });
        lines.Join();
        requests = lines.requests;
    });
    EXPECT_EQ(session.Connect(), 0);
    bool drop = true;
    EXPECT_EQ(session.Execute("getDate", "0", drop), 0);
    EXPECT_FALSE(drop);
    printer.join();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "CONNECT\tREQ\n");
    EXPECT_EQ(requests[1], "gDT\tREQ\t0\n");
    ASSERT_NE(session.ResponseValues(), nullptr);
    EXPECT_STREQ(session.ResponseValues(), "0\t24.12.2024");
}

TEST_F(TcpTest, ReceiveHandsOverWhatArrivedAndNeverWaits) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
    Connect(tcp);
    uint8_t buffer[64];
    EXPECT_EQ(tcp.BytesAvailable(), 0u);
    EXPECT_EQ(tcp.Receive(buffer, sizeof buffer), 0);

    ASSERT_TRUE(test::WriteAll(peer, "abc\n"));
    ASSERT_TRUE(WaitAvailable(tcp, 4));
    EXPECT_EQ(tcp.Receive(buffer, 2), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "ab");
    EXPECT_EQ(tcp.BytesAvailable(), 2u);
    // A full buffer takes nothing, and is not a closed connection.
    EXPECT_EQ(tcp.Receive(buffer, 0), 0);
    EXPECT_EQ(tcp.Receive(buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "c\n");
    EXPECT_EQ(tcp.Receive(buffer, sizeof buffer), 0);
}

// What the session's wait watches: bytes and the peer's close end a wait of a
// minute at once; a closed transport watches nothing.
TEST_F(TcpTest, InputEndsAWaitWhenBytesArriveOrThePeerCloses) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
    const Waitable* items[] = {tcp.Input()};
    EXPECT_EQ(tcp.Input()->Handle(), Waitable::kNone);
    Connect(tcp);
    EXPECT_FALSE(WaitForInput(items, 1, 0));
    ASSERT_TRUE(test::WriteAll(peer, "abc\n"));
    EXPECT_TRUE(WaitForInput(items, 1, 60000));
    uint8_t buffer[8];
    EXPECT_EQ(tcp.Receive(buffer, sizeof buffer), 4);
    close(peer);
    peer = -1;
    EXPECT_TRUE(WaitForInput(items, 1, 60000));
    EXPECT_EQ(tcp.BytesAvailable(), 0u);
    EXPECT_TRUE(tcp.HasFailed());
    tcp.Close();
    EXPECT_EQ(tcp.Input()->Handle(), Waitable::kNone);
}

TEST_F(TcpTest, PurgeDiscardsEverythingAndPeekIsCapped) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
    Connect(tcp);
    ASSERT_TRUE(test::WriteAll(peer, std::string(5000, 'j')));
    // Everything has reached our side once the peer's send queue is empty.
    for (int i = 0; i < 5000; ++i) {
        int queued = 0;
        ioctl(peer, TIOCOUTQ, &queued);
        if (queued == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(WaitAvailable(tcp, 2047));
    EXPECT_EQ(tcp.BytesAvailable(), 2047u);

    tcp.PurgeReceive();
    EXPECT_EQ(tcp.BytesAvailable(), 0u);
    ASSERT_TRUE(test::WriteAll(peer, "fresh\n"));
    ASSERT_TRUE(WaitAvailable(tcp, 6));
    uint8_t buffer[64];
    ASSERT_EQ(tcp.Receive(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), "fresh\n");
}

TEST_F(TcpTest, LongRequestArrivesWholeWhenThePeerReadsSlowly) {
    std::unique_ptr<CTcpNetwLayer> tcp;
    ConnectSmall(tcp);
    if (HasFatalFailure()) return;

    constexpr int kMessages = 20;
    std::string all;
    for (int m = 0; m < kMessages; ++m) {
        std::string message(2499, ' ');
        for (size_t i = 0; i < message.size(); ++i)
            message[i] = static_cast<char>('!' + (m * 31 + i) % 90);
        all += message + "\n";
    }

    std::string received;
    std::thread reader([&] {
        // Starts late and then takes little at a time.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        char chunk[300];
        while (received.size() < all.size()) {
            if (!test::Readable(peer, 3000)) break;
            ssize_t n = read(peer, chunk, sizeof chunk);
            if (n <= 0) break;
            received.append(chunk, static_cast<size_t>(n));
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    for (int m = 0; m < kMessages; ++m)
        EXPECT_EQ(tcp->Send(Bytes(all) + m * 2500, 2500), 0) << "message " << m;
    reader.join();
    ASSERT_EQ(received.size(), all.size());
    EXPECT_TRUE(received == all);
}

TEST_F(TcpTest, SendGivesUpOnAPeerThatNeverReads) {
    std::unique_ptr<CTcpNetwLayer> tcp;
    ConnectSmall(tcp);
    if (HasFatalFailure()) return;

    test::TestClock clock;
    const std::string message(2500, 'z');
    int32_t result = 0;
    uint32_t waited = 0;
    for (int m = 0; m < 1000 && result == 0; ++m) {
        uint32_t before = clock.SleptMs();
        result = tcp->Send(Bytes(message), Size(message));
        waited = clock.SleptMs() - before;
    }
    EXPECT_EQ(result, APP_CAN_NOT_SEND_DATA);
    EXPECT_GE(waited, CTcpNetwLayer::kSendTimeLimit - 1);
    EXPECT_LE(waited, CTcpNetwLayer::kSendTimeLimit + 1);
}

// A printer that hangs up is a failure of the transport, seen at once: the
// waiting command and every later one (the disconnect request included) end
// with its code instead of waiting their limits.
TEST_F(TcpTest, PeerThatHangsUpFailsTheConnectionAtOnce) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
    Connect(tcp);
    CommandSession session(&tcp);
    test::LinePeer printer(peer, 1, [](const std::string& r) { return test::ResponseTo(r, 0); });
    bool drop = false;
    ASSERT_EQ(session.Execute("getDate", "0", drop), 0);
    printer.Join();
    int client = test::FindClientSocketOf(peer);
    close(peer);
    peer = -1;
    ASSERT_TRUE(test::Readable(client, 5000));
    EXPECT_EQ(session.Execute("getDate", "0", drop), APP_TCP_CONNECTION_CLOSED);
    EXPECT_TRUE(tcp.HasFailed());
    EXPECT_EQ(tcp.GetFailureCode(), APP_TCP_CONNECTION_CLOSED);
    EXPECT_EQ(session.Execute("\tDISCONNECT", nullptr, drop), APP_TCP_CONNECTION_CLOSED);
    EXPECT_EQ(tcp.Close(), 0);
    EXPECT_FALSE(tcp.HasFailed());

    // A reset carries the socket error's code.
    Connect(tcp);
    client = test::FindClientSocketOf(peer);
    linger hard{1, 0};
    ASSERT_EQ(setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    close(peer);
    peer = -1;
    ASSERT_TRUE(test::Readable(client, 5000));
    EXPECT_EQ(session.Execute("getDate", "0", drop), APP_TCP_CONNECTION_RESET);
}

TEST_F(TcpTest, CloseEndsTheConnectionAndOpenConnectsAgain) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
    Connect(tcp);
    EXPECT_EQ(tcp.Close(), 0);
    EXPECT_FALSE(tcp.IsOpen());
    char c;
    ASSERT_TRUE(test::Readable(peer, 5000));
    EXPECT_EQ(read(peer, &c, 1), 0); // the peer sees the end of the stream
    EXPECT_EQ(tcp.Close(), 0);

    close(peer);
    Connect(tcp);
    const std::string line = "CONNECT\tREQ\n";
    EXPECT_EQ(tcp.Send(Bytes(line), Size(line)), 0);
    std::string got;
    ASSERT_TRUE(test::ReadLine(peer, got));
    EXPECT_EQ(got, line);
}

TEST_F(TcpTest, OpenFailures) {
    {
        CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), test::UnusedPort());
        EXPECT_EQ(tcp.Open(), APP_TCP_CONNECTION_REFUSED);
        EXPECT_FALSE(tcp.IsOpen());
    }
    {
        socketsStarted.store(false);
        CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), listener.Port());
        EXPECT_EQ(tcp.Open(), APP_TCP_SOCKET_INIT_ERROR);
        EXPECT_FALSE(listener.HasPendingConnection());
        socketsStarted.store(true);
    }
    {
        CTcpNetwLayer tcp(nullptr, listener.Port());
        EXPECT_EQ(tcp.Open(), APP_TCP_HOST_NOT_FOUND);
    }
}

TEST_F(TcpTest, BracketedIPv6AddressConnects) {
    LoopbackListener v6("::1");
    if (!v6.ok()) GTEST_SKIP() << "no IPv6 loopback on this machine";
    std::string address = "tcp://[::1]:" + std::to_string(v6.Port());
    std::unique_ptr<char[]> host(new char[address.size() + 1]);
    int32_t port = 0;
    ASSERT_TRUE(ParseHostAddress(address.c_str(), host.get(), Size(address) + 1, port));
    CTcpNetwLayer tcp(std::move(host), port);
    ASSERT_EQ(tcp.Open(), 0);
    peer = v6.Accept();
    ASSERT_GE(peer, 0);
    const std::string line = "CONNECT\tREQ\n";
    EXPECT_EQ(tcp.Send(Bytes(line), Size(line)), 0);
    std::string got;
    ASSERT_TRUE(test::ReadLine(peer, got));
    EXPECT_EQ(got, line);
}

} // namespace
} // namespace korvo

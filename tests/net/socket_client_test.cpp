// Client against a real peer on 127.0.0.1: connecting, moving bytes both
// ways, the peer going away, and the queue limits.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <ctime>
#include <memory>
#include <thread>

#include "net/client.h"
#include "socket_peer.h"

using namespace socket_test;

namespace {

const Ipv4Address kLoopback(127, 0, 0, 1);

}  // namespace

TEST(SocketClientConnect, ReachesAListeningPeerAndKnowsItsAddress) {
    Listener listener;
    Client client(kLoopback, listener.port());
    const int peer = listener.accept();
    EXPECT_TRUE(client.isConnected());
    EXPECT_EQ(client.remoteAddress().toString(), "127.0.0.1");
    EXPECT_GE(peer, 0);
    ::close(peer);
}

TEST(SocketClientConnect, RefusedConnectionLeavesTheClientUnconnected) {
    Listener notListening(false);
    Client client(kLoopback, notListening.port());
    EXPECT_FALSE(client.isConnected());
    Client second;
    EXPECT_FALSE(second.connect(kLoopback, notListening.port()));
    EXPECT_FALSE(second.isConnected());
}

TEST(SocketClientConnect, ConnectClearsLeaveOpen) {
    Listener listener;
    Client client(1);
    EXPECT_EQ(client.leaveOpen(), 1);
    EXPECT_TRUE(client.connect(kLoopback, listener.port()));
    EXPECT_EQ(client.leaveOpen(), 0);
}

TEST(SocketClientConnect, AdoptedSocketIsConnectedAndOwned) {
    Listener listener;
    const int raw = connectRaw(listener);
    const int peer = listener.accept();
    {
        Client client(raw, loopback(listener.port()), 0);
        EXPECT_TRUE(client.isConnected());
        EXPECT_EQ(client.remoteAddress().toString(), "127.0.0.1");
        client.send("adopted");
        client.poll(1.0);
    }
    bool ended = false;
    EXPECT_EQ(readUntilEnd(peer, kPatientSeconds, ended), "adopted");
    EXPECT_TRUE(ended);
    ::close(peer);
}

TEST(SocketClientBind, PortAlreadyInUseThrowsBindFailedWithTheSystemText) {
    Listener listener;
    Client client;
    try {
        client.bind(kLoopback, listener.port());
        FAIL() << "binding a port in use succeeded";
    } catch (const Socket_Exception& failure) {
        EXPECT_STREQ(failure.name(), "Socket_BindFailed");
        EXPECT_STREQ(failure.what(), "Address already in use");
    }
}

TEST(SocketClientBind, BoundClientStillConnects) {
    Listener listener;
    Client client;
    EXPECT_NO_THROW(client.bind(kLoopback, 0));
    EXPECT_TRUE(client.connect(kLoopback, listener.port()));
}

class SocketClientTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        client = std::make_unique<Client>(kLoopback, listener.port());
        peer = listener.accept();
        ASSERT_TRUE(client->isConnected());
        ASSERT_GE(peer, 0);
    }
    void TearDown() override {
        client.reset();
        ::close(peer);
    }

    // The client polls while the peer collects, until `size` bytes are in.
    std::string peerCollects(std::size_t size) {
        std::string got;
        pumpUntil([&] { return got.size() >= size; },
                  [&] {
                      client->poll(0.01);
                      got += readAvailable(peer);
                  });
        return got;
    }

    // Closes the peer with a reset instead of an orderly end.
    void resetPeer() {
        const linger abort{1, 0};
        setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(peer);
        peer = -1;
    }

    std::size_t waitingInTheClientSocket() const {
        int waiting = 0;
        ::ioctl(client->handle(), FIONREAD, &waiting);
        return static_cast<std::size_t>(waiting);
    }

    Listener listener;
    std::unique_ptr<Client> client;
    int peer = -1;
};

TEST_F(SocketClientTransfer, MessagesTravelBothWays) {
    client->send("hello");
    EXPECT_EQ(peerCollects(5), "hello");
    EXPECT_EQ(client->bytesToSend(), 0u);

    sendAll(peer, "world");
    pollUntil(*client, [&] { return client->bytesToRead() == 5; });
    EXPECT_EQ(client->read(5), "world");
    EXPECT_TRUE(client->isConnected());
}

TEST_F(SocketClientTransfer, ReadTakesFromTheFrontOfTheQueue) {
    sendAll(peer, "abcd");
    pollUntil(*client, [&] { return client->bytesToRead() == 4; });
    EXPECT_EQ(client->read(0), "");
    EXPECT_EQ(client->bytesToRead(), 4u);
    EXPECT_EQ(client->read(1), "a");
    EXPECT_EQ(client->read(10), "bcd");
    EXPECT_EQ(client->bytesToRead(), 0u);
}

TEST_F(SocketClientTransfer, LargeIncomingMessageArrivesOneReceivePerPoll) {
    const std::string message = patternedBytes(200000);
    std::thread writer([&] { sendAll(peer, message); });
    client->poll(5.0);
    EXPECT_GT(client->bytesToRead(), 0u);
    EXPECT_LE(client->bytesToRead(), 32767u);
    pollUntil(*client, [&] { return client->bytesToRead() >= message.size(); });
    writer.join();
    EXPECT_TRUE(client->read(message.size()) == message);
}

TEST_F(SocketClientTransfer, LargeOutgoingMessageArrivesWhole) {
    const std::string message = patternedBytes(1 << 20);
    client->send(message);
    EXPECT_TRUE(peerCollects(message.size()) == message);
    EXPECT_EQ(client->bytesToSend(), 0u);
}

TEST_F(SocketClientTransfer, PeerClosingClosesTheClientAndKeepsWhatArrived) {
    sendAll(peer, "bye");
    ::close(peer);
    peer = -1;
    const std::time_t before = std::time(nullptr);
    pollUntil(*client, [&] { return !client->isConnected(); });
    EXPECT_FALSE(client->isConnected());
    EXPECT_GE(client->disconnectTime(), before);
    EXPECT_LE(client->disconnectTime(), std::time(nullptr));
    EXPECT_EQ(client->read(10), "bye");
}

TEST_F(SocketClientTransfer, PeerResetClosesTheClientWithoutThrowing) {
    resetPeer();
    EXPECT_NO_THROW(pollUntil(*client, [&] { return !client->isConnected(); }));
    EXPECT_FALSE(client->isConnected());
}

TEST_F(SocketClientTransfer, ResetIsNoticedEvenWithNothingToReadOrWrite) {
    client->setRecvLimit(0);
    resetPeer();
    pollUntil(*client, [&] { return !client->isConnected(); });
    EXPECT_FALSE(client->isConnected());
}

TEST_F(SocketClientTransfer, BytesSentJustBeforeAResetAreReadBeforeTheClientCloses) {
    sendAll(peer, "kicked");
    resetPeer();
    pollUntil(*client, [&] { return !client->isConnected(); });
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->read(10), "kicked");
}

TEST_F(SocketClientTransfer, EverythingThatArrivedBeforeAResetIsReadEvenPastOneReceive) {
    const int roomy = 1 << 20;
    setsockopt(client->handle(), SOL_SOCKET, SO_RCVBUF, &roomy, sizeof roomy);
    const std::string message = patternedBytes(70000);  // three receives
    sendAll(peer, message);
    // All of it in the client's socket before the reset, which would drop
    // whatever the peer still held.
    pumpUntil([&] { return waitingInTheClientSocket() >= message.size(); },
              [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
    ASSERT_EQ(waitingInTheClientSocket(), message.size());
    resetPeer();
    pollUntil(*client, [&] { return !client->isConnected(); });
    EXPECT_FALSE(client->isConnected());
    EXPECT_TRUE(client->read(message.size()) == message);
}

TEST_F(SocketClientTransfer, BytesSentBeforeAHangUpAreReadBeforeTheClientCloses) {
    // Both ways shut: the client's own side, then the peer's.
    ::shutdown(client->handle(), SHUT_WR);
    sendAll(peer, "last orders");
    ::close(peer);
    peer = -1;
    pollUntil(*client, [&] { return !client->isConnected(); });
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->read(20), "last orders");
}

TEST_F(SocketClientTransfer, SendingOnAShutSocketClosesTheClientInsteadOfRaisingSigpipe) {
    // In a child with SIGPIPE's default action, which kills: a test runner
    // that ignores or blocks the signal must not hide a send that raises it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        sigprocmask(SIG_UNBLOCK, &pipeSignal, nullptr);
        ::shutdown(client->handle(), SHUT_WR);
        client->send("nobody hears this");
        pollUntil(*client, [&] { return !client->isConnected(); });
        ::_exit(!client->isConnected() && client->bytesToSend() == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_FALSE(WIFSIGNALED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the client stayed connected or kept its bytes";
}

TEST_F(SocketClientTransfer, IdlePollWaitsOutItsTimeout) {
    // Asking to write with nothing queued would wake the wait at once.
    const auto start = std::chrono::steady_clock::now();
    client->poll(0.3);
    const double waited = secondsSince(start);
    EXPECT_GE(waited, 0.25);
    EXPECT_LT(waited, 5.0);
    EXPECT_TRUE(client->isConnected());
}

TEST_F(SocketClientTransfer, ZeroTimeoutOnlyLooks) {
    const auto start = std::chrono::steady_clock::now();
    client->poll(0);
    client->poll(-1);
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_TRUE(client->isConnected());
}

TEST_F(SocketClientTransfer, FullReceiveQueueStopsReadingUntilItIsRead) {
    client->setRecvLimit(4);
    sendAll(peer, "abcd");
    pollUntil(*client, [&] { return client->bytesToRead() == 4; });
    sendAll(peer, "efgh");
    for (int i = 0; i < 5; ++i) {
        client->poll(0.02);
    }
    EXPECT_EQ(client->bytesToRead(), 4u);
    EXPECT_TRUE(client->isConnected());

    EXPECT_EQ(client->read(4), "abcd");
    pollUntil(*client, [&] { return client->bytesToRead() == 4; });
    EXPECT_EQ(client->read(4), "efgh");
    EXPECT_TRUE(client->isConnected());
}

TEST_F(SocketClientTransfer, ReceivingPastTheLimitClosesTheClientAndKeepsTheBytes) {
    client->setRecvLimit(4);
    sendAll(peer, "0123456789");
    pollUntil(*client, [&] { return !client->isConnected(); });
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->read(20), "0123456789");
}

TEST_F(SocketClientTransfer, OverfullSendQueueDisconnectsAtOnceAndKeepsTheBytes) {
    client->setSendLimit(4);
    client->send("abc");
    EXPECT_TRUE(client->isConnected());
    client->send("de");
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->bytesToSend(), 5u);
    EXPECT_GE(client->handle(), 0);

    client.reset();
    bool ended = false;
    EXPECT_EQ(readUntilEnd(peer, kPatientSeconds, ended), "");
    EXPECT_TRUE(ended) << "the destroyed client should release its socket";
}

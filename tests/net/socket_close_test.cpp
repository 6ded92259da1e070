// Closing a Client: the flush, its time limit, the remembered time, the
// destructor, clients without a connection, and clients told to leave their
// socket open.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <thread>

#include "net/client.h"
#include "socket_peer.h"

using namespace socket_test;

namespace {

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

}  // namespace

class SocketClientClose : public ::testing::Test {
protected:
    void connect(int receiveBuffer = 0) {
        listener = std::make_unique<Listener>(true, receiveBuffer);
        client = std::make_unique<Client>(Ipv4Address(127, 0, 0, 1), listener->port());
        peer = listener->accept();
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override {
        client.reset();
        ::close(peer);
    }

    std::unique_ptr<Listener> listener;
    std::unique_ptr<Client> client;
    int peer = -1;
};

TEST_F(SocketClientClose, CloseFlushesQueuedBytesAndRemembersTheTime) {
    connect();
    client->send("last words");
    const std::time_t before = std::time(nullptr);
    const auto start = std::chrono::steady_clock::now();
    client->close(false);
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_FALSE(client->isConnected());
    EXPECT_GE(client->disconnectTime(), before);
    EXPECT_LE(client->disconnectTime(), std::time(nullptr));
    EXPECT_EQ(client->handle(), -1);

    bool ended = false;
    EXPECT_EQ(readUntilEnd(peer, kPatientSeconds, ended), "last words");
    EXPECT_TRUE(ended);
}

TEST_F(SocketClientClose, CloseThatForgetsTheTimeLeavesItZero) {
    connect();
    client->close(true);
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->disconnectTime(), 0);
    bool ended = false;
    readUntilEnd(peer, kPatientSeconds, ended);
    EXPECT_TRUE(ended);
}

TEST_F(SocketClientClose, DestructorFlushesAndCloses) {
    connect();
    client->send("goodbye");
    client.reset();
    bool ended = false;
    EXPECT_EQ(readUntilEnd(peer, kPatientSeconds, ended), "goodbye");
    EXPECT_TRUE(ended);
}

TEST_F(SocketClientClose, PeerThatTakesNothingCannotHoldCloseForever) {
    connect(4096);
    const int smallBuffer = 16384;
    setsockopt(client->handle(), SOL_SOCKET, SO_SNDBUF, &smallBuffer, sizeof smallBuffer);
    client->send(std::string(8 << 20, 'x'));

    const auto start = std::chrono::steady_clock::now();
    client->close(false);
    const double took = secondsSince(start);
    EXPECT_GE(took, 4.0) << "close gave up before trying for its full time";
    EXPECT_LT(took, 30.0) << "close held on past its limit";
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->bytesToSend(), 0u);
    EXPECT_EQ(client->handle(), -1);
}

TEST_F(SocketClientClose, PeerThatOnlyStoppedSendingStillGetsEverything) {
    connect();
    ::shutdown(peer, SHUT_WR);
    const std::string message = patternedBytes(1 << 20);  // more than one send takes
    client->send(message);
    std::string got;
    bool ended = false;
    std::thread reader([&] { got = readUntilEnd(peer, kPatientSeconds, ended); });
    client->close(false);
    reader.join();
    EXPECT_EQ(got.size(), message.size());
    EXPECT_TRUE(got == message);
    EXPECT_TRUE(ended);
}

TEST(SocketClientUnconnected, CloseDoesNothing) {
    Client client;
    const int handle = client.handle();
    client.close(false);
    EXPECT_EQ(client.disconnectTime(), 0);
    EXPECT_EQ(client.handle(), handle);
    EXPECT_NE(fcntl(handle, F_GETFD), -1);
}

TEST(SocketClientUnconnected, ClientsThatNeverConnectedReleaseTheirSocketsWhenDestroyed) {
    const int before = openDescriptors();
    for (int i = 0; i < 10; ++i) {
        Client plain;
        Client toLeaveOpen(1);
        ASSERT_GE(toLeaveOpen.handle(), 0);
    }
    EXPECT_EQ(openDescriptors(), before);
}

// Never connected or closed, a client has nothing to move: poll waits out its
// time, moves nothing and throws nothing, just as it does on an idle connection.
TEST(SocketClientUnconnected, PollWaitsOutItsTimeoutWhetherNeverConnectedOrClosed) {
    Listener listener;
    Client closed(Ipv4Address(127, 0, 0, 1), listener.port());
    const int peer = listener.accept();
    ASSERT_TRUE(closed.isConnected());
    closed.close(false);
    Client neverConnected;
    Client refused(Ipv4Address(127, 0, 0, 1), Listener(false).port());
    ASSERT_FALSE(refused.isConnected());

    for (Client* client : {&neverConnected, &refused, &closed}) {
        client->send("queued");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NO_THROW(client->poll(0.3));
        const double waited = secondsSince(start);
        EXPECT_GE(waited, 0.25);
        EXPECT_LT(waited, 5.0);
        EXPECT_NO_THROW(client->poll(0));
        EXPECT_LT(secondsSince(start) - waited, 1.0) << "poll(0) only looks";
        EXPECT_FALSE(client->isConnected());
        EXPECT_EQ(client->bytesToSend(), 6u);
    }
    EXPECT_EQ(readAvailable(peer), "");
    ::close(peer);
}

TEST(SocketClientLeaveOpen, CloseKeepsTheSocketAndTheQueuedOutput) {
    Listener listener;
    const int raw = connectRaw(listener);
    const int peer = listener.accept();
    {
        Client client(raw, loopback(listener.port()), 1);
        client.send("kept");
        client.close(false);
        EXPECT_FALSE(client.isConnected());
        EXPECT_NE(client.disconnectTime(), 0);
        EXPECT_EQ(client.bytesToSend(), 4u);
        EXPECT_EQ(client.handle(), raw);
    }
    EXPECT_NE(fcntl(raw, F_GETFD), -1) << "the socket should outlive the client";
    EXPECT_EQ(readAvailable(peer), "");

    sendAll(raw, "still open");
    bool ended = false;
    ::close(raw);
    EXPECT_EQ(readUntilEnd(peer, kPatientSeconds, ended), "still open");
    ::close(peer);
}

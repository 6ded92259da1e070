// The wait inside Client::poll: signals do not break it, and descriptors
// numbered beyond a select set work.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <thread>

#include "net/client.h"
#include "socket_peer.h"

using namespace socket_test;

namespace {

void ignoreSignal(int) {}

}  // namespace

TEST(SocketClientWait, SignalsDuringTheWaitNeitherThrowNorCutItShort) {
    struct sigaction handler {};
    handler.sa_handler = ignoreSignal;  // no SA_RESTART: the wait sees EINTR
    struct sigaction previous {};
    sigaction(SIGUSR1, &handler, &previous);

    Listener listener;
    Client client(Ipv4Address(127, 0, 0, 1), listener.port());
    const int peer = listener.accept();
    const pthread_t poller = pthread_self();
    std::atomic<bool> polling{true};
    std::thread interrupter([&] {
        for (int i = 0; i < 5 && polling; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            pthread_kill(poller, SIGUSR1);
        }
    });

    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(client.poll(0.6));
    const double waited = secondsSince(start);
    polling = false;
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GE(waited, 0.5);
    EXPECT_TRUE(client.isConnected());
    ::close(peer);
}

TEST(SocketClientWait, DescriptorAboveTheSelectSetSizeWorks) {
    constexpr int kHighDescriptor = FD_SETSIZE + 500;
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur <= kHighDescriptor) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, kHighDescriptor + 100);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    Listener listener;
    const int raw = connectRaw(listener);
    const int high = fcntl(raw, F_DUPFD, kHighDescriptor);
    ::close(raw);
    if (high < 0) {
        GTEST_SKIP() << "cannot open a descriptor that high here";
    }
    const int peer = listener.accept();

    Client client(high, loopback(listener.port()), 0);
    client.send("far up");
    std::string got;
    pumpUntil([&] { return got.size() >= 6; },
              [&] {
                  client.poll(0.01);
                  got += readAvailable(peer);
              });
    EXPECT_EQ(got, "far up");

    sendAll(peer, "and back");
    pollUntil(client, [&] { return client.bytesToRead() == 8; });
    EXPECT_EQ(client.read(8), "and back");
    EXPECT_TRUE(client.isConnected());
    ::close(peer);
}

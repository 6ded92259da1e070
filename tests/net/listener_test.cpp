// The listener and the one wait over many connections, with real sockets on
// 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "net/listener.h"
#include "net/poll_set.h"
#include "socket_peer.h"

namespace {

const Ipv4Address kLoopback(127, 0, 0, 1);

}  // namespace

TEST(SocketListener, PortZeroPicksAFreePortAndAcceptNeverWaits) {
    ::Listener listener(kLoopback, 0);
    ASSERT_NE(listener.port(), 0);
    EXPECT_EQ(listener.accept(), nullptr);  // nobody has connected
    try {
        ::Listener second(kLoopback, listener.port());
        FAIL() << "two listeners on one port";
    } catch (const Socket_BindFailed& failure) {
        EXPECT_STREQ(failure.what(), "Address already in use");
    }
}

TEST(SocketPollSet, OneWaitServesTheListenerAndEveryConnection) {
    ::Listener listener(kLoopback, 0);
    std::vector<std::unique_ptr<Client>> players, accepted;
    for (int i = 0; i < 5; ++i)
        players.push_back(std::make_unique<Client>(kLoopback, listener.port()));
    PollSet waiting;
    auto tick = [&] {
        waiting.clear();
        waiting.add(listener);
        for (auto& client : accepted) waiting.add(*client);
        waiting.wait(20);
        if (waiting.listenerReady())
            while (auto client = listener.accept()) accepted.push_back(std::move(client));
        for (auto& player : players) player->poll(0);
    };
    ASSERT_TRUE(pumpUntil([&] { return accepted.size() == 5; }, tick));

    // Each player says its number; the server side hears all of them, and
    // answers, through the same waits.
    for (std::size_t i = 0; i < players.size(); ++i) players[i]->send(std::string(1, '0' + i));
    auto heard = [&] {
        for (auto& client : accepted)
            if (client->bytesToRead() == 0) return false;
        return true;
    };
    ASSERT_TRUE(pumpUntil(heard, tick));
    std::string digits;
    for (auto& client : accepted) {
        digits += client->read(1);
        client->send("ok");
    }
    std::sort(digits.begin(), digits.end());
    EXPECT_EQ(digits, "01234");
    EXPECT_TRUE(pumpUntil([&] { return players[4]->bytesToRead() == 2; }, tick));

    // A player that goes away is closed by the wait that sees it go.
    players.erase(players.begin());
    auto closedOnes = [&] {
        int closed = 0;
        for (auto& client : accepted) closed += !client->isConnected();
        return closed == 1;
    };
    EXPECT_TRUE(pumpUntil(closedOnes, tick));
}

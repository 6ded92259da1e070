// Connections over real sockets on 127.0.0.1: a server's listener and one
// wait over all its connections, players joining through the first exchange,
// and a player that stops reading.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "net/listener.h"
#include "net/poll_set.h"
#include "protocol/codec.h"
#include "protocol/connection.h"
#include "support/waiting.h"

namespace {

const Ipv4Address kLoopback(127, 0, 0, 1);

// A server's side as the dedicated server will hold it: one listener, its
// connections, one wait per tick.
struct Host {
    Listener listener{kLoopback, 0};
    std::vector<std::unique_ptr<Connection>> connections;
    PollSet waiting;
    std::uint32_t nextBits = 12345;

    void tick() {
        waiting.clear();
        waiting.add(listener);
        for (auto& c : connections) waiting.add(c->client());
        waiting.wait(10);
        if (waiting.listenerReady()) {
            while (auto client = listener.accept()) {
                nextBits = nextBits * 1103515245u + 12345u;
                connections.push_back(
                    std::make_unique<Connection>(std::move(client), handshakeKeysFrom(nextBits)));
            }
        }
    }
};

}  // namespace

TEST(ProtocolConnection, PlayersJoinThroughOneWaitAndHearEachOther) {
    Host host;
    ASSERT_NE(host.listener.port(), 0);
    std::vector<std::unique_ptr<Connection>> players;
    for (const char* name : {"ann", "bo", "cy"}) {
        players.push_back(std::make_unique<Connection>(kLoopback, host.listener.port()));
        ASSERT_TRUE(players.back()->isOpen());
        ASSERT_TRUE(players.back()->send(Login{name, "", ""}));  // waits for the first exchange
    }
    std::vector<std::string> logins;
    auto step = [&] {
        host.tick();
        for (auto& c : host.connections) {
            while (auto message = c->receive()) logins.push_back(std::get<Login>(*message).name);
        }
        for (auto& p : players) {
            p->client().poll(0);
            p->receive();
        }
    };
    ASSERT_TRUE(pumpUntil([&] { return logins.size() == 3; }, step));
    EXPECT_EQ(host.connections.size(), 3u);

    for (auto& c : host.connections) ASSERT_TRUE(c->send(Announcement{"welcome, all"}));
    int heard = 0;
    auto listen = [&] {
        host.tick();
        for (auto& p : players) {
            p->client().poll(0);
            while (auto message = p->receive())
                heard += std::get<Announcement>(*message).text == "welcome, all";
        }
    };
    EXPECT_TRUE(pumpUntil([&] { return heard == 3; }, listen));
    for (auto& c : host.connections) EXPECT_TRUE(c->isOpen()) << c->endText();
}

TEST(ProtocolConnection, APlayerThatStopsReadingIsCutOffAtTheCap) {
    Host host;
    Connection player(kLoopback, host.listener.port());
    ASSERT_TRUE(pumpUntil([&] { return !host.connections.empty(); }, [&] { host.tick(); }));
    Connection& server = *host.connections.front();
    ASSERT_TRUE(pumpUntil([&] { return server.ready(); },
                          [&] {
                              player.client().poll(0);
                              player.receive();
                              host.tick();
                              server.receive();
                          }));
    // The player never polls again. Each tick sends a piece that cannot be
    // compressed much, until the kernel's buffers and then the cap fill.
    Piece piece;
    std::mt19937 random(3);
    for (auto& cell : piece.cells) cell = static_cast<std::uint8_t>(random() % kBlockTypes);
    const std::size_t pieceBytes = encodePacket(piece).size();
    std::size_t sentBytes = 0;
    ASSERT_TRUE(pumpUntil([&] { return !server.isOpen(); },
                          [&] {
                              if (server.send(piece)) sentBytes += pieceBytes;
                              host.tick();
                          }));
    EXPECT_EQ(server.endText().rfind("stopped reading (", 0), 0u) << server.endText();
    EXPECT_LE(server.client().bytesToSend(), kServerSendLimit + pieceBytes);
    EXPECT_FALSE(server.send(Ping{1}));  // nothing more piles up
    server.client().abort(false);
    EXPECT_EQ(server.client().handle(), -1);
    EXPECT_GT(sentBytes, kServerSendLimit);
}

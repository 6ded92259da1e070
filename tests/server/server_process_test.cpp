// The real tessaria-server with headless players on 127.0.0.1: joining,
// building together, corrections, chat, a hostile connection, the save at
// SIGTERM and the record given back on the next join.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "game/world_file.h"
#include "protocol/codec.h"
#include "rules/input.h"
#include "server_process.h"

namespace {

namespace fs = std::filesystem;

bool hasWelcome(Player& p) {
    return p.receives<Welcome>([](const Welcome&) { return true; });
}

}  // namespace

TEST(Server, TwoPlayersBuildTogetherAndTheWorldOutlivesTheServer) {
    TempWorld folder;
    const int placedCount = 100 - 1;
    std::string bobKey;
    int bobX = 0, bobY = 0;
    {
        ServerProcess server(folder.world());
        ASSERT_NE(server.port(), 0) << server.log();
        Player alice(server.port(), "alice");
        ASSERT_TRUE(hasWelcome(alice)) << server.log();
        ASSERT_TRUE(alice.receives<Piece>(
            [](const Piece& p) { return p.cells[pieceIndex(5, 4, 9)] == Cobblestone; }));
        Player bob(server.port(), "bob");
        ASSERT_TRUE(hasWelcome(bob));
        ASSERT_TRUE(bob.receives<PlayerList>([](const PlayerList& l) {
            return l.players.size() == 1 && l.players[0].name == "alice";
        }));
        ASSERT_TRUE(alice.receives<PlayerJoined>(
            [](const PlayerJoined& j) { return j.player.name == "bob"; }));
        EXPECT_TRUE(server.sawLine("bob joined"));
        const Welcome& bobWelcome = *bob.find<Welcome>([](const Welcome&) { return true; });
        const std::uint8_t bobId = bobWelcome.self.id;
        bobKey = bobWelcome.key;
        bobX = bobWelcome.self.x;
        bobY = bobWelcome.self.y;
        EXPECT_FALSE(bobX == 5 && bobY == 5) << "alice stands there";

        // Bob faces down, ground at 10: the place goes to the cell south of
        // him, level 9. Cobblestone (slot 2), which snow leaves as it is.
        bob.send(Use{1, 2, 1});
        EXPECT_TRUE(alice.receives<Update>([&](const Update& u) {
            for (const CellChange& c : u.cells)
                if (c.x == bobX && c.y == bobY + 1 && c.level == 9 && c.block == Cobblestone)
                    return true;
            return false;
        })) << server.log();

        // Without auto-jump the pillar blocks the step north: alice is set back.
        const std::uint8_t aliceId =
            alice.find<Welcome>([](const Welcome&) { return true; })->self.id;
        alice.send(JumpMode{0});
        alice.send(Step{0});
        EXPECT_TRUE(alice.receives<Update>([&](const Update& u) {
            for (const PlayerMove& m : u.moves)
                if (m.id == aliceId && m.kind == MoveKind::Place && m.x == 5 && m.y == 5)
                    return true;
            return false;
        }));
        // A step that the rules allow reaches the other as a step.
        bob.send(Step{1});
        EXPECT_TRUE(alice.receives<Update>([&](const Update& u) {
            for (const PlayerMove& m : u.moves)
                if (m.id == bobId && m.kind == MoveKind::Step && m.x == bobX && m.y == bobY + 1)
                    return true;
            return false;
        }));

        alice.send(Say{"hello"});
        EXPECT_TRUE(bob.receives<ChatLine>(
            [](const ChatLine& c) { return c.sender == "alice" && c.text == "hello"; }));
        EXPECT_TRUE(server.sawLine("<alice> hello"));

        // Bytes that are no packet: that connection goes, the server stays.
        std::string bytes = encodePacket(Hello{});
        bytes[2] = 99;  // a family nobody speaks
        Client hostile(Ipv4Address(127, 0, 0, 1), server.port());
        hostile.send(bytes);
        hostile.poll(0);
        EXPECT_TRUE(server.sawLine("dropped 127.0.0.1")) << server.log();
        Player carol(server.port(), "carol");
        EXPECT_TRUE(hasWelcome(carol));

        bob.link().leave(Reason::Leaving);
        bob.link().client().poll(0);
        EXPECT_TRUE(alice.receives<PlayerLeft>([&](const PlayerLeft& l) { return l.id == bobId; }));
        EXPECT_TRUE(server.sawLine("bob left: quit"));
        EXPECT_EQ(server.stop(SIGTERM), 0) << server.log();
    }

    auto grid = std::make_unique<WorldGrid>();
    std::int32_t x = 0, y = 0;
    PlayerRecord record;
    std::ifstream in(folder.world() + "/world.ini");
    readWorldInto(in, *grid, x, y, record);
    EXPECT_EQ(cellOf(*grid, bobX, bobY + 1, 9), Cobblestone);

    // Bob comes back where he stood, with the block he spent.
    ServerProcess again(folder.world());
    ASSERT_NE(again.port(), 0);
    Player bob(again.port(), "bob", "", bobKey);
    ASSERT_TRUE(hasWelcome(bob)) << again.log();
    const Welcome& welcome = *bob.find<Welcome>([](const Welcome&) { return true; });
    EXPECT_EQ(welcome.self.y, bobY + 1);
    EXPECT_EQ(welcome.stock[Cobblestone], static_cast<std::uint32_t>(placedCount));
}

// Run steps sent all at once wait their turn on the server as a held key's
// would: they come back as runs, one column each, nine ticks apart. The
// server's ticks never run ahead of the clock, though after a stall they may
// catch up on a second's worth.
TEST(Server, HoldsABurstOfRunStepsToTheRunsPace) {
    TempWorld folder;
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player cleo(server.port(), "cleo");
    ASSERT_TRUE(hasWelcome(cleo)) << server.log();
    const PlayerInfo self = cleo.find<Welcome>([](const Welcome&) { return true; })->self;
    const bool east = self.x < kBandEdge / 2;
    constexpr int kSteps = 10;
    const int lastX = self.x + (east ? kSteps : -kSteps);
    const auto sent = std::chrono::steady_clock::now();
    for (int i = 0; i < kSteps; ++i) cleo.send(Step{static_cast<std::uint8_t>(east ? 3 : 2), 1});
    ASSERT_TRUE(cleo.receives<Update>([&](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.id == self.id && m.kind == MoveKind::Run && m.x == lastX) return true;
        return false;
    })) << server.log();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - sent);
    EXPECT_GE(took.count(), (kSteps - 1) * kRunTicks * 25 - 1000);
    EXPECT_EQ(cleo.find<Update>([&](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.id == self.id && m.kind == MoveKind::Step) return true;
        return false;
    }),
              nullptr)
        << "every step came as a run";
}

TEST(Server, RefusesASecondServerASecondPlayerOfTheSameNameAndOneOverTheLimit) {
    TempWorld folder;
    ServerProcess server(folder.world(), {"--max-players", "1"});
    ASSERT_NE(server.port(), 0);
    Player first(server.port(), "dana");
    ASSERT_TRUE(hasWelcome(first));
    ServerProcess rival(folder.world());
    EXPECT_EQ(rival.port(), 0);
    EXPECT_NE(rival.log().find("cannot host"), std::string::npos) << rival.log();
    Player twin(server.port(), "DANA");
    EXPECT_TRUE(twin.receives<Leave>([](const Leave& l) { return l.reason == Reason::NameOwned; }));
    Player late(server.port(), "erin");
    EXPECT_TRUE(
        late.receives<Leave>([](const Leave& l) { return l.reason == Reason::ServerFull; }));
    server.console("kick dana");
    EXPECT_TRUE(first.receives<Leave>([](const Leave& l) { return l.reason == Reason::Kicked; }));
    EXPECT_TRUE(server.sawLine("dana left: kicked"));
}

TEST(Server, HoldsTheLimitsOfItsServerIni) {
    TempWorld folder;
    std::ofstream(folder.world() + "/server.ini") << "# a private world\n"
                                                     "password = secret\n"
                                                     "login_seconds = 1\n"
                                                     "chat_per_second = 2\n";
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0);

    Client silent(Ipv4Address(127, 0, 0, 1), server.port());
    EXPECT_TRUE(server.sawLine("no login within 1 s")) << server.log();

    Player stranger(server.port(), "gus", "guess");
    EXPECT_TRUE(
        stranger.receives<Leave>([](const Leave& l) { return l.reason == Reason::WrongPassword; }));

    server.console("ban hal");
    EXPECT_TRUE(server.sawLine("banned hal"));
    Player banned(server.port(), "hal", "secret");
    EXPECT_TRUE(banned.receives<Leave>([](const Leave& l) { return l.reason == Reason::Banned; }));

    Player chatty(server.port(), "ivy", "secret");
    ASSERT_TRUE(hasWelcome(chatty));
    for (int n = 0; n < 5; ++n) chatty.send(Say{"spam"});
    EXPECT_TRUE(chatty.receives<Leave>([](const Leave& l) { return l.reason == Reason::TooFast; }));
    EXPECT_TRUE(server.sawLine("ivy left: too fast"));
    EXPECT_EQ(server.log().find("<ivy> spam\n<ivy> spam\n<ivy> spam"), std::string::npos);
}

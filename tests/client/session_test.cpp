// A session against a peer on 127.0.0.1 that speaks as a server would: the
// join, what the server sends applied to the local records, the player's
// requests, a refused step put back, and the reasons a session ends.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "client/session.h"
#include "net/listener.h"
#include "protocol/connection.h"
#include "rules/input.h"
#include "support/waiting.h"

namespace {

const Ipv4Address kLoopback(127, 0, 0, 1);

struct Peer {
    Listener listener{kLoopback, 0};
    std::unique_ptr<Connection> connection;
    std::vector<Message> heard;

    void pump() {
        if (!connection) {
            if (auto client = listener.accept())
                connection = std::make_unique<Connection>(std::move(client), handshakeKeysFrom(7));
            return;
        }
        connection->client().poll(0.001);
        while (auto m = connection->receive()) heard.push_back(*m);
    }
    template <class T>
    const T* last() const {
        for (auto it = heard.rbegin(); it != heard.rend(); ++it)
            if (const auto* m = std::get_if<T>(&*it)) return m;
        return nullptr;
    }
};

struct Game {
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    WeatherState weather;
    WorldClock clock;
    PlayerState self;
    Camera view;
    World world() { return World{*grid, weather, clock}; }
    Game() { grid->maxX = grid->maxY = kBandEdge; }
};

PlayerInfo info(std::uint8_t id, const char* name, std::uint8_t x, std::uint8_t y) {
    PlayerInfo p;
    p.id = id;
    p.name = name;
    p.x = x;
    p.y = y;
    p.level = 10;
    return p;
}

// Joins "ann" (id 3, at 5,5 on a floor of stone at level 10) with "bo" (id 4) there.
void join(Peer& peer, Session& session, Game& game) {
    auto step = [&] {
        peer.pump();
        session.pump(game.world(), game.self, game.view);
    };
    ASSERT_TRUE(pumpUntil([&] { return peer.last<Login>() != nullptr; }, step));
    EXPECT_EQ(peer.last<Login>()->name, "ann");
    Welcome welcome;
    welcome.self = info(3, "ann", 5, 5);
    welcome.stock[Cobblestone] = 40;
    welcome.hotbar[0] = Cobblestone;
    welcome.clocks.dayTick = 1234;
    Piece piece;
    for (int y = 0; y < kBandColumns; ++y)
        for (int x = 0; x < kBandColumns; ++x) piece.cells[pieceIndex(x, y, 10)] = Cobblestone;
    ASSERT_TRUE(peer.connection->send(welcome));
    ASSERT_TRUE(peer.connection->send(piece));
    ASSERT_TRUE(peer.connection->send(PlayerList{{welcome.self, info(4, "bo", 8, 5)}}));
    // bo stands in the one piece ann holds: the server says so.
    Update sight;
    sight.moves.push_back(PlayerMove{4, MoveKind::Place, 8, 5, 10, 0});
    ASSERT_TRUE(peer.connection->send(sight));
    ASSERT_TRUE(pumpUntil([&] { return session.phase() == SessionPhase::Playing; }, step));
}

}  // namespace

TEST(ClientSession, JoinsAppliesTheServersWorldAndSendsThePlayersRequests) {
    Peer peer;
    Game game;
    setCellOf(*game.grid, 4, 4, -1, Brick);  // the single player's, above the band
    setCellOf(*game.grid, kBandEdge, 3, 10, Brick);
    Session session("127.0.0.1", peer.listener.port(), "ann");
    join(peer, session, game);
    EXPECT_EQ(cellOf(*game.grid, 4, 4, -1), Empty);
    EXPECT_EQ(cellOf(*game.grid, kBandEdge, 3, 10), Empty);
    EXPECT_EQ(game.self.x, 5);
    EXPECT_EQ(game.self.blockCounts[Cobblestone], 40);
    EXPECT_EQ(game.clock.dayTick, 1234);
    EXPECT_TRUE(game.self.autoJump);  // the server's rules for the steps, not the game's last
    EXPECT_EQ(cellOf(*game.grid, 3, 3, 10), Cobblestone);
    ASSERT_EQ(session.others().size(), 1u);  // not oneself
    EXPECT_EQ(session.others()[0].name, "bo");

    Update update;
    update.cells.push_back(CellChange{2, 2, 9, Sand});
    update.moves.push_back(PlayerMove{4, MoveKind::Step, 9, 5, 10, 3});
    ASSERT_TRUE(peer.connection->send(update));
    ASSERT_TRUE(peer.connection->send(ChatLine{"bo", "hi ann"}));
    ASSERT_TRUE(peer.connection->send(PlayerJoined{info(5, "cy", 1, 1)}));
    auto step = [&] {
        peer.pump();
        session.pump(game.world(), game.self, game.view);
    };
    ASSERT_TRUE(pumpUntil([&] { return session.chat().size() == 2; }, step));
    EXPECT_EQ(cellOf(*game.grid, 2, 2, 9), Sand);
    const RemotePlayer& bo = session.others()[0];
    EXPECT_EQ(bo.figure.x, 9);
    EXPECT_EQ(bo.fromX, 8);  // walks over from its old column
    EXPECT_TRUE(bo.figure.busy);
    EXPECT_EQ(session.chat()[0].text, "bo: hi ann");
    EXPECT_EQ(session.chat()[1].text, "cy joined");

    // Walking starts here at once; the server hears a step right.
    PlayerIntent right;
    right.walkRight = true;
    for (int n = 0; n <= kHoldThreshold; ++n)
        session.play(right, game.world(), game.self, game.view);
    EXPECT_EQ(game.self.x, 6);
    session.say("hello");
    ASSERT_TRUE(pumpUntil([&] { return peer.last<Say>() != nullptr; }, step));
    ASSERT_NE(peer.last<Step>(), nullptr);
    EXPECT_EQ(peer.last<Step>()->facing, 3);
    EXPECT_EQ(peer.last<Say>()->text, "hello");

    // The ground the step landed on is the server's to find.
    Update landed;
    landed.moves.push_back(PlayerMove{3, MoveKind::Step, 6, 5, 11, 3});
    ASSERT_TRUE(peer.connection->send(landed));
    ASSERT_TRUE(pumpUntil([&] { return game.self.level == 11; }, step));

    // The server refuses it: the figure goes back.
    Update refusal;
    refusal.moves.push_back(PlayerMove{3, MoveKind::Place, 5, 5, 10, 3});
    ASSERT_TRUE(peer.connection->send(refusal));
    ASSERT_TRUE(pumpUntil([&] { return game.self.x == 5; }, step));
    EXPECT_FALSE(game.self.busy);
}

// A player going out of sight is no longer drawn, but kept where it was;
// forgotten pieces are told apart from pieces never sent; and a piece
// outside the world the Welcome named ends the session.
TEST(ClientSession, OthersLeaveSightPiecesAreForgottenAndAPieceOutsideTheWorldEndsIt) {
    Peer peer;
    Game game;
    Session session("127.0.0.1", peer.listener.port(), "ann");
    join(peer, session, game);
    auto step = [&] {
        peer.pump();
        session.pump(game.world(), game.self, game.view);
    };
    ASSERT_TRUE(pumpUntil([&] { return session.others()[0].inSight; }, step));
    EXPECT_EQ(session.columns(), 20);
    EXPECT_EQ(game.grid->maxX, 19);  // the world's last column
    EXPECT_EQ(session.pieceHeld(19, 19), PieceHeld::Held);
    EXPECT_EQ(session.pieceHeld(20, 0), PieceHeld::Never);

    Update gone;
    gone.moves.push_back(PlayerMove{4, MoveKind::OutOfSight, 19, 5, 10, 3});
    ASSERT_TRUE(peer.connection->send(gone));
    ASSERT_TRUE(peer.connection->send(Forget{{{0, 0}}}));
    ASSERT_TRUE(pumpUntil([&] { return !session.others()[0].inSight; }, step));
    EXPECT_EQ(session.others()[0].figure.x, 8);  // where it was last told
    ASSERT_TRUE(pumpUntil([&] { return session.pieceHeld(3, 3) == PieceHeld::Forgotten; }, step));

    Piece outside;
    outside.px = 1;  // a 20 x 20 world has the one piece
    ASSERT_TRUE(peer.connection->send(outside));
    ASSERT_TRUE(pumpUntil([&] { return session.phase() == SessionPhase::Ended; }, step));
    EXPECT_NE(session.endText().find("broke the protocol"), std::string::npos);
}

// On a slow frame the server's end of an action (here its refusal) comes
// before the action ends on screen; the cell the server told stands.
TEST(ClientSession, AnActionTheServerEndedFirstKeepsTheServersCell) {
    Peer peer;
    Game game;
    Session session("127.0.0.1", peer.listener.port(), "ann");
    join(peer, session, game);
    auto step = [&] {
        peer.pump();
        session.pump(game.world(), game.self, game.view);
    };
    PlayerIntent place, none;
    place.place = true;
    ASSERT_EQ(game.self.targetRaised, 1);                     // as Welcome said
    session.play(place, game.world(), game.self, game.view);  // into the air above (5, 4)
    ASSERT_TRUE(game.self.acting);
    ASSERT_TRUE(pumpUntil([&] { return peer.last<Use>() != nullptr; }, step));
    Update refusal;
    refusal.cells.push_back(CellChange{5, 4, 9, Empty});
    refusal.stock.push_back(StockCount{Cobblestone, 40});  // the count as it stands there
    ASSERT_TRUE(peer.connection->send(refusal));
    ASSERT_TRUE(peer.connection->send(ChatLine{"bo", "told"}));
    ASSERT_TRUE(pumpUntil([&] { return !session.chat().empty(); }, step));
    for (int n = 0; n < kAnimTicks && game.self.acting; ++n)
        session.play(none, game.world(), game.self, game.view);
    EXPECT_FALSE(game.self.acting);
    EXPECT_EQ(cellOf(*game.grid, 5, 4, 9), Empty);
    EXPECT_EQ(game.self.blockCounts[Cobblestone], 40);

    // Told nothing during it, the action's end stands a while for the server's word.
    session.play(place, game.world(), game.self, game.view);
    for (int n = 0; n <= kAnimTicks && game.self.acting; ++n)
        session.play(none, game.world(), game.self, game.view);
    EXPECT_EQ(cellOf(*game.grid, 5, 4, 9), Cobblestone);
    EXPECT_EQ(game.self.blockCounts[Cobblestone], 39);
    // No word at all: the server acted elsewhere, and the cell goes back.
    for (int n = 0; n <= Session::kDrawnTicks; ++n)
        session.pump(game.world(), game.self, game.view);
    EXPECT_EQ(cellOf(*game.grid, 5, 4, 9), Empty);
}

TEST(ClientSession, EndsWithTheReasonThePlayerIsToldAndCanJoinAgain) {
    Peer peer;
    Game game;
    {
        Session refused("127.0.0.1", peer.listener.port(), "ann");
        auto step = [&] {
            peer.pump();
            refused.pump(game.world(), game.self, game.view);
        };
        ASSERT_TRUE(pumpUntil([&] { return peer.last<Login>() != nullptr; }, step));
        peer.connection->leave(Reason::NameTaken);
        ASSERT_TRUE(pumpUntil([&] { return refused.phase() == SessionPhase::Ended; }, step));
        EXPECT_EQ(refused.endText(), "name taken");
    }
    peer.connection.reset();
    peer.heard.clear();

    Session session("127.0.0.1", peer.listener.port(), "ann");
    join(peer, session, game);
    peer.connection.reset();  // the server goes without a word
    ASSERT_TRUE(pumpUntil([&] { return session.phase() == SessionPhase::Ended; },
                          [&] { session.pump(game.world(), game.self, game.view); }));
    EXPECT_EQ(session.endText(), "server stopped");

    std::uint16_t nobody = 0;
    {
        Listener briefly{kLoopback, 0};
        nobody = briefly.port();
    }
    Session unanswered("127.0.0.1", nobody, "ann");
    ASSERT_TRUE(pumpUntil([&] { return unanswered.phase() == SessionPhase::Ended; },
                          [&] { unanswered.pump(game.world(), game.self, game.view); }));
    EXPECT_EQ(unanswered.endText(), "no server at 127.0.0.1:" + std::to_string(nobody));
}

// A server that sends more than a frame can take: each pump takes a bounded
// share and keeps what the screen shows, and the flood gets through in the end.
TEST(ClientSession, AFloodingServerNeverHoldsUpAFrame) {
    Peer peer;
    Game game;
    Session session("127.0.0.1", peer.listener.port(), "ann");
    join(peer, session, game);
    peer.connection->client().setSendLimit(Client::kNoLimit);
    constexpr int kLines = 60000;  // far past every cap, yet quick under the sanitizers
    for (int n = 0; n < kLines; ++n) {
        peer.connection->send(ChatLine{"bo", "line " + std::to_string(n)});
        if (n % 100 == 0) {
            const auto id = static_cast<std::uint8_t>(n / 100 % 250);
            peer.connection->send(PlayerJoined{info(id == 3 ? 4 : id, "cy", 1, 1)});
        }
    }
    // The lines one pump took: those the log kept, and those it only counted.
    std::size_t mostTaken = 0, mostChat = 0, mostOthers = 0;
    bool last = false;
    // A generous limit: under the sanitizers on a loaded machine the flood
    // takes seconds to get through, bounded pump by pump.
    ASSERT_TRUE(pumpUntil([&] { return last; },
                          [&] {
                              peer.pump();
                              session.pump(game.world(), game.self, game.view);
                              auto notes = session.takeFreshNotes();
                              std::size_t taken = notes.size();
                              if (!notes.empty() && notes.front()[0] == '(') {
                                  taken += std::stoul(notes.front().substr(1)) - 1;
                                  notes.erase(notes.begin());
                              }
                              mostTaken = std::max(mostTaken, taken);
                              mostChat = std::max(mostChat, session.chat().size());
                              mostOthers = std::max(mostOthers, session.others().size());
                              last = !notes.empty() &&
                                     notes.back() == "bo: line " + std::to_string(kLines - 1);
                          },
                          90, 0))
        << session.endText();
    EXPECT_EQ(session.phase(), SessionPhase::Playing);
    EXPECT_EQ(mostChat, Session::kChatShown);
    EXPECT_LE(mostTaken, std::size_t{Session::kWorkPerPump / 32});
    EXPECT_GE(mostTaken, Session::kFreshKept);  // the log's bound was met, and counted
    EXPECT_EQ(mostOthers, 249u);                // one for each id but one's own
}

// A world larger than the band, hosted: each player is sent the pieces
// around it and kept up with those alone, and sees only the players on them.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <set>
#include <utility>

#include "game/world_store.h"
#include "rules/projection.h"
#include "server_process.h"

namespace {

using PieceSet = std::set<std::pair<int, int>>;

// Grass at level 10 over size x size columns, kept as world.bin beside the
// band's world.ini (which the server then passes over), and a record for
// each player naming where it stands and which way it faces: the files a
// server kept before its database, taken into one at its start.
struct LargeWorld {
    TempWorld folder;
    explicit LargeWorld(int size) {
        StoredWorld stored;
        stored.columns = stored.rows = size;
        stored.cells.assign(static_cast<std::size_t>(size) * size * kStoredLevels, Empty);
        for (std::size_t column = 0; column < stored.cells.size() / kStoredLevels; ++column)
            stored.cells[column * kStoredLevels + 10] = Grass;
        EXPECT_EQ(writeStoredWorld(folder.world(), stored, false), 0);
        std::filesystem::create_directories(folder.path / "world" / "players");
    }
    void place(const std::string& name, int x, int y, int facing) const {
        std::ofstream record(folder.path / "world" / "players" / name);
        record << "player.x = " << x << "\nplayer.y = " << y << "\nplayer.level = 10\n"
               << "player.facing = " << facing << "\n";
    }
    std::string world() const { return folder.world(); }
};

PieceSet piecesOf(const Player& p) {
    PieceSet held;
    for (const Message& m : p.received) {
        if (const auto* piece = std::get_if<Piece>(&m)) held.insert({piece->px, piece->py});
        if (const auto* forget = std::get_if<Forget>(&m))
            for (const PiecePlace& place : forget->pieces) held.erase({place.px, place.py});
    }
    return held;
}

bool joined(Player& p) {
    return p.receives<PlayerList>([](const PlayerList&) { return true; });
}

bool toldCell(const Player& p, int x, int y, int level) {
    return p.find<Update>([&](const Update& u) {
        for (const CellChange& c : u.cells)
            if (c.x == x && c.y == y && c.level == level) return true;
        return false;
    }) != nullptr;
}

// The last cell a player was told at (x, y, level), from the pieces and the
// updates in the order they came.
int cellSeen(const Player& p, int x, int y, int level) {
    int block = -1;
    for (const Message& m : p.received) {
        if (const auto* piece = std::get_if<Piece>(&m)) {
            if (piece->px == x / kPieceEdge && piece->py == y / kPieceEdge)
                block = piece->cells[pieceIndex(x % kPieceEdge, y % kPieceEdge, level)];
        } else if (const auto* u = std::get_if<Update>(&m)) {
            for (const CellChange& c : u->cells)
                if (c.x == x && c.y == y && c.level == level) block = c.block;
        }
    }
    return block;
}

}  // namespace

TEST(ServerPieces, APlayerAtACornerIsSentThePiecesInReachAndTheEdgePieceOnlyHoldsTheWorld) {
    LargeWorld world(64);  // 4 x 4 pieces, the last ones 4 columns wide
    world.place("alice", 0, 0, 1);
    world.place("bob", 63, 63, 0);
    ServerProcess server(world.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice");
    ASSERT_TRUE(joined(alice)) << server.log();
    const Welcome* welcome = alice.find<Welcome>([](const Welcome&) { return true; });
    ASSERT_NE(welcome, nullptr);
    EXPECT_EQ(welcome->columns, 64);
    EXPECT_EQ(welcome->rows, 64);
    EXPECT_EQ(welcome->self.x, 0);
    // Within 32 columns of (0, 0): the pieces starting at 0 and 20 each way.
    EXPECT_EQ(piecesOf(alice), (PieceSet{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));

    Player bob(server.port(), "bob");
    ASSERT_TRUE(joined(bob));
    PieceSet corner;
    for (int px = 1; px <= 3; ++px)
        for (int py = 1; py <= 3; ++py) corner.insert({px, py});
    EXPECT_EQ(piecesOf(bob), corner);
    const Piece* last = bob.find<Piece>([](const Piece& p) { return p.px == 3 && p.py == 3; });
    ASSERT_NE(last, nullptr);
    // Column 63, the world's last: its grass, or snow on it when the server's
    // weather, which the test does not choose, began with snow.
    const int edgeGround = last->cells[pieceIndex(3, 3, 10)];
    EXPECT_TRUE(edgeGround == Grass || edgeGround == SnowCovered) << edgeGround;
    EXPECT_EQ(last->cells[pieceIndex(4, 3, 10)], Empty);  // past the edge
    EXPECT_EQ(last->cells[pieceIndex(3, 4, 10)], Empty);
    // bob walks off the world's edge: refused, and set back where he stands.
    bob.send(Step{1});
    ASSERT_TRUE(bob.receives<Update>([](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.kind == MoveKind::Place && m.x == 63 && m.y == 63) return true;
        return false;
    }));
}

TEST(ServerPieces, AnEditAtAPiecesBorderReachesPlayersOnBothSidesAndNoPlayerFarAway) {
    LargeWorld world(300);
    world.place("alice", 19, 150, 3);  // last column of piece 0, facing piece 1
    world.place("bob", 60, 150, 2);    // holds piece 1, not piece 0
    world.place("carol", 250, 150, 3);
    ServerProcess server(world.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice"), bob(server.port(), "bob"), carol(server.port(), "carol");
    ASSERT_TRUE(joined(alice) && joined(bob) && joined(carol)) << server.log();
    EXPECT_EQ(piecesOf(bob).count({0, 7}), 0u);
    EXPECT_EQ(piecesOf(bob).count({1, 7}), 1u);

    alice.send(Use{1, 2, 1});  // cobblestone into the air over column 20
    carol.send(Use{1, 2, 1});  // and over 251, far from both
    ASSERT_TRUE(alice.receives<Update>([](const Update& u) {
        for (const CellChange& c : u.cells)
            if (c.x == 20 && c.y == 150 && c.level == 9 && c.block == Cobblestone) return true;
        return false;
    })) << server.log();
    ASSERT_TRUE(bob.receives<Update>([](const Update& u) {
        for (const CellChange& c : u.cells)
            if (c.x == 20 && c.y == 150 && c.level == 9 && c.block == Cobblestone) return true;
        return false;
    }));
    ASSERT_TRUE(carol.receives<Update>([](const Update& u) {
        for (const CellChange& c : u.cells)
            if (c.x == 251 && c.level == 9 && c.block == Cobblestone) return true;
        return false;
    }));
    Player::pumpAll();
    EXPECT_FALSE(toldCell(carol, 20, 150, 9));
    EXPECT_FALSE(toldCell(alice, 251, 150, 9));
    EXPECT_FALSE(toldCell(bob, 251, 150, 9));
    // Nor do the far ones see each other move: carol's moves never reach alice.
    EXPECT_EQ(alice.find<Update>([](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.x >= 200) return true;
        return false;
    }),
              nullptr);
    // The world goes into its database, edits and all.
    EXPECT_EQ(server.stop(SIGTERM), 0);
    const auto saved = readServerWorld(world.world());
    ASSERT_TRUE(saved);
    EXPECT_EQ(cellOf(*saved, 20, 150, 9), Cobblestone);
    EXPECT_EQ(cellOf(*saved, 251, 150, 9), Cobblestone);
}

TEST(ServerPieces, AWalkIntoTheNextPiecesGetsThemBeforeTheyComeIntoViewAsTheyStandNow) {
    LargeWorld world(300);
    world.place("alice", 180, 150, 3);
    world.place("bob", 230, 150, 3);  // in piece 11, which alice lacks
    ServerProcess server(world.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice"), bob(server.port(), "bob");
    ASSERT_TRUE(joined(alice) && joined(bob)) << server.log();
    EXPECT_EQ(piecesOf(alice).count({11, 7}), 0u);
    bob.send(Use{1, 2, 1});  // a block over 231 while alice is far
    ASSERT_TRUE(bob.receives<Update>([](const Update& u) {
        for (const CellChange& c : u.cells)
            if (c.x == 231 && c.level == 9) return true;
        return false;
    }));
    Player::pumpAll();
    EXPECT_FALSE(toldCell(alice, 231, 150, 9));
    EXPECT_EQ(alice.find<Update>([](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.x >= 220) return true;
        return false;
    }),
              nullptr);

    // Twelve steps right, each waited for: at every column every piece the
    // view can reach is there already, a tower at its far edge included.
    for (int x = 181; x <= 192; ++x) {
        alice.send(Step{3});
        ASSERT_TRUE(alice.receives<Update>([&](const Update& u) {
            for (const PlayerMove& m : u.moves)
                if (m.kind == MoveKind::Step && m.x == x) return true;
            return false;
        })) << "step to "
            << x << "\n"
            << server.log();
        const PieceSet held = piecesOf(alice);
        const int seen = viewReach(kViewWidth, kViewHeight, 0, kBandEdge);
        for (int cx = x - seen; cx <= x + seen; cx += 5)
            for (int cy = 150 - seen; cy <= 150 + seen; cy += 5)
                EXPECT_EQ(held.count({cx / kPieceEdge, cy / kPieceEdge}), 1u)
                    << "at " << x << ": column " << cx << "," << cy << " not sent";
    }
    // Piece 11 came as it stands, bob's block in it, and bob came into sight.
    EXPECT_EQ(cellSeen(alice, 231, 150, 9), Cobblestone);
    EXPECT_NE(alice.find<Update>([](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.kind == MoveKind::Place && m.x == 230) return true;
        return false;
    }),
              nullptr);
}

TEST(ServerPieces, APieceRequestOutsideTheWorldEndsThatConnectionAloneAndOneInsideIsAnswered) {
    LargeWorld world(64);
    world.place("alice", 5, 5, 1);
    world.place("bob", 10, 5, 1);
    ServerProcess server(world.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice"), bob(server.port(), "bob");
    ASSERT_TRUE(joined(alice) && joined(bob)) << server.log();
    alice.send(PieceRequest{{14, 14}});  // the wire's largest, past this world's 4 x 4
    ASSERT_TRUE(alice.receives<Leave>([](const Leave& l) {
        return l.reason == Reason::BrokeProtocol;
    })) << server.log();
    bob.send(PieceRequest{{3, 3}});  // not one bob holds: sent, then forgotten at once
    ASSERT_TRUE(bob.receives<Forget>([](const Forget& f) {
        return f.pieces.size() == 1 && f.pieces[0] == PiecePlace{3, 3};
    })) << server.log();
    EXPECT_NE(bob.find<Piece>([](const Piece& p) { return p.px == 3 && p.py == 3; }), nullptr);
    EXPECT_TRUE(bob.link().isOpen());
    EXPECT_TRUE(bob.receives<PlayerLeft>([](const PlayerLeft&) { return true; }));
}

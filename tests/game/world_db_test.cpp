#include "game/world_db.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "support/temp_folder.h"

namespace {

constexpr int kSide = 64;  // four pieces a side, the last one partly past the edge

class WorldDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        meta.columns = meta.rows = kSide;
        meta.kind = WorldKind::Flat;
        meta.seed = 77;
        meta.startX = 63;
        meta.startY = 1;
        meta.startLevel = -10;
        grid = std::make_unique<WorldGrid>();
        clearGrid(*grid);
        setCellOf(*grid, 0, 0, kHighestLevel, Brick);
        setCellOf(*grid, 63, 63, kLowestLevel, Lava);
        setCellOf(*grid, 21, 40, 7, Water);
        std::filesystem::create_directory("w");
        std::string problem;
        ASSERT_TRUE(openWorldDb(db, worldDbFile("w"), DbMode::Create, problem, meta)) << problem;
        WorldDbChanges first;
        takeAllPieces(*grid, kSide, kSide, first.pieces);
        first.records.emplace_back(kSinglePlayer, "player.x = 5\n");
        first.records.emplace_back("ann", "player.x = 6\n");
        ASSERT_TRUE(commitWorldDb(db, first, problem)) << problem;
    }

    // The world as a fresh reader finds it.
    std::unique_ptr<WorldGrid> readBack(std::string& problem) {
        WorldDb reader;
        WorldDbMeta read;
        auto back = std::make_unique<WorldGrid>();
        clearGrid(*back);
        if (!openWorldDb(reader, worldDbFile("w"), DbMode::ReadOnly, problem) ||
            !readMeta(reader, read, problem) || !readWorldCells(reader, read, *back, problem))
            return nullptr;
        EXPECT_EQ(read, meta);
        return back;
    }

    std::string record(const std::string& name) {
        WorldDb reader;
        std::string problem, text;
        bool found = false;
        EXPECT_TRUE(openWorldDb(reader, worldDbFile("w"), DbMode::ReadOnly, problem) &&
                    readRecord(reader, name, text, found, problem))
            << problem;
        return found ? text : "(none)";
    }

    static bool sameCells(const WorldGrid& a, const WorldGrid& b) {
        return std::equal(std::begin(a.cells), std::end(a.cells), std::begin(b.cells));
    }

    TempFolder folder;
    WorldDbMeta meta;
    std::unique_ptr<WorldGrid> grid;
    WorldDb db;
};

TEST_F(WorldDatabase, AWorldComesBackWithEveryLevelItsStartAndItsRecordsWhileItIsOpen) {
    std::string problem;
    auto back = readBack(problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_TRUE(sameCells(*grid, *back));
    EXPECT_EQ(record(kSinglePlayer), "player.x = 5\n");
    EXPECT_EQ(record("ann"), "player.x = 6\n");

    WorldDbChanges moved;  // a save in which only the player moved
    moved.records.emplace_back(kSinglePlayer, "player.x = 9\n");
    moved.records.emplace_back("ann", std::nullopt);
    ASSERT_TRUE(commitWorldDb(db, moved, problem)) << problem;
    EXPECT_EQ(record(kSinglePlayer), "player.x = 9\n");
    EXPECT_EQ(record("ann"), "(none)");
}

TEST_F(WorldDatabase, ASaveThatMeetsAFullDiskLeavesTheLastSaveWhole) {
    // Every piece full of noise that does not compress: far more than the disk takes.
    std::mt19937 noise(1);
    WorldDbChanges big;
    for (int px = 0; px < piecesAlong(kSide); ++px)
        for (int py = 0; py < piecesAlong(kSide); ++py) {
            big.pieces.push_back({px, py, std::vector<std::uint8_t>(kPieceBytes)});
            for (std::uint8_t& cell : big.pieces.back().cells) cell = noise() % kBlockTypes;
        }
    big.records.emplace_back(kSinglePlayer, "player.x = 1\n");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string problem;
    const bool saved = commitWorldDb(db, big, problem);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(saved);
    EXPECT_NE(problem.find("w/world.sqlite: "), std::string::npos) << problem;

    auto back = readBack(problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_TRUE(sameCells(*grid, *back));
    EXPECT_EQ(record(kSinglePlayer), "player.x = 5\n");
}

TEST_F(WorldDatabase, AFlippedBitIsFoundNeverReadAsAnotherWorld) {
    std::string problem;
    ASSERT_TRUE(closeWorldDb(db, problem)) << problem;
    // Another value in the same piece's blob, written behind the store's
    // back, as a flipped bit on the disk would be.
    std::string bytes;
    {
        std::ifstream in(worldDbFile("w"), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string text = "player.x = 5";
    const std::size_t at = bytes.find(text);
    ASSERT_NE(at, std::string::npos);
    bytes[at + text.size() - 1] ^= 1;  // "5" becomes "4"
    std::ofstream(worldDbFile("w"), std::ios::binary | std::ios::trunc) << bytes;
    std::string found;
    bool there = false;
    WorldDb reader;
    ASSERT_TRUE(openWorldDb(reader, worldDbFile("w"), DbMode::ReadOnly, problem)) << problem;
    EXPECT_FALSE(readRecord(reader, kSinglePlayer, found, there, problem));
    EXPECT_EQ(problem, "w/world.sqlite: the record of \"\" is damaged");
    EXPECT_FALSE(checkWorldDb(reader, problem));

    std::ofstream(worldDbFile("w"), std::ios::binary | std::ios::trunc) << "not a world at all";
    EXPECT_FALSE(openWorldDb(reader, worldDbFile("w"), DbMode::ReadWrite, problem));
    EXPECT_NE(problem.find("w/world.sqlite: "), std::string::npos) << problem;
}

TEST_F(WorldDatabase, ARestorePointBringsTheWorldBackAndOnlyTheNewestAreKept) {
    std::string problem;
    // Named after a later time than the rest, so that keeping the newest keeps it.
    ASSERT_TRUE(makeRestorePoint(db, "w", 9000, "start", 8, problem)) << problem;
    WorldDbChanges flood;
    setCellOf(*grid, 0, 0, kHighestLevel, Water);
    flood.pieces.emplace_back();
    takePiece(*grid, 0, 0, kSide, kSide, flood.pieces.back());
    flood.records.emplace_back(kSinglePlayer, "player.x = 0\n");
    ASSERT_TRUE(commitWorldDb(db, flood, problem)) << problem;
    for (int minute = 0; minute < 9; ++minute)
        ASSERT_TRUE(makeRestorePoint(db, "w", 1000 + 600 * minute, "play", 8, problem)) << problem;

    const std::vector<RestorePoint> points = listRestorePoints("w");
    ASSERT_EQ(points.size(), 8u);
    EXPECT_EQ(points.front().time, 9000);
    EXPECT_EQ(points.front().why, "start");
    EXPECT_EQ(points.back().time, 1000 + 600 * 2);
    EXPECT_EQ(points.back().why, "play");

    ASSERT_TRUE(restoreWorldDb(db, points.front().file, problem)) << problem;
    setCellOf(*grid, 0, 0, kHighestLevel, Brick);
    auto back = readBack(problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_TRUE(sameCells(*grid, *back));
    EXPECT_EQ(record(kSinglePlayer), "player.x = 5\n");
}

}  // namespace

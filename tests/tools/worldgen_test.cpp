// The world generator: the starter world that the play command offers, in the
// game's file format, with its house, pond, lava pool, trees and pit where the
// screenshots show them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/world_catalog.h"
#include "game/world_store.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

// Runs the generator in the current folder; its exit status.
int runWorldgen(const std::string& arguments) {
    const std::string command =
        std::string(TESSARIA_WORLDGEN_BINARY) + " " + arguments + " 2> errors.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The line of cell (x, y, level): levels outermost, x innermost.
std::size_t lineOf(int x, int y, int level) {
    return static_cast<std::size_t>((level * 20 + y) * 20 + x);
}

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

class Worldgen : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(Worldgen, TheStarterWorldIsAWholeWorldFileWithItsFeaturesInPlace) {
    ASSERT_EQ(runWorldgen("data/world/world.ini"), 0) << readText("errors.txt");
    const std::vector<std::string> lines = splitLines(readText("data/world/world.ini"));
    ASSERT_EQ(lines.size(), 8002u);
    EXPECT_EQ(lines.front(), "0.0[0] = 0");
    EXPECT_EQ(lines[8000], "p_x = 10");
    EXPECT_EQ(lines[8001], "p_y = 10");
    const struct {
        int x, y, level;
        const char* line;
    } features[] = {
        {3, 3, 12, "3.3[12] = 1"},       // grass
        {5, 10, 12, "5.10[12] = 9"},     // a gravel path
        {11, 10, 12, "11.10[12] = 8"},   // the vent by the player
        {14, 10, 12, "14.10[12] = 5"},   // the pond
        {12, 8, 12, "12.8[12] = 7"},     // its beach
        {6, 12, 12, "6.12[12] = 8"},     // the lava pool
        {5, 11, 12, "5.11[12] = 2"},     // its cobble ring
        {4, 4, 10, "4.4[10] = 13"},      // a brick wall of the house
        {5, 5, 10, "5.5[10] = 0"},       // the room inside
        {7, 5, 10, "7.5[10] = 14"},      // a window
        {6, 7, 10, "6.7[10] = 14"},      // the other window
        {7, 6, 11, "7.6[11] = 0"},       // the door
        {5, 5, 8, "5.5[8] = 4"},         // the plank roof
        {9, 4, 11, "9.4[11] = 11"},      // a tree trunk
        {10, 4, 7, "10.4[7] = 12"},      // the side of its crown's top
        {14, 14, 11, "14.14[11] = 18"},  // the marble in the terrace
        {8, 14, 11, "8.14[11] = 3"},     // an explosive crate
        {12, 6, 14, "12.6[14] = 0"},     // the open pit
        {12, 6, 16, "12.6[16] = 9"},     // its gravel floor
        {1, 1, 14, "1.1[14] = 6"},       // earth
        {9, 0, 15, "9.0[15] = 16"},      // iron in the deeper earth
        {0, 0, 17, "0.0[17] = 2"},       // stone
        {7, 0, 17, "7.0[17] = 15"},      // coal in it
        {6, 1, 19, "6.1[19] = 20"},      // gold
    };
    for (const auto& feature : features)
        EXPECT_EQ(lines[lineOf(feature.x, feature.y, feature.level)], feature.line);
}

// The parts of the starter world are shared with the tests' scenes: a change
// to one of them must be a choice, not a side effect. The figure is the
// 64-bit FNV-1a hash of the file that the first play command wrote.
TEST_F(Worldgen, TheStarterWorldKeepsItsBytes) {
    ASSERT_EQ(runWorldgen("starter.ini"), 0) << readText("errors.txt");
    EXPECT_EQ(fnv1a(readText("starter.ini")), 2546836180817740494ull);
}

TEST_F(Worldgen, WritesTheBenchmarkWorldsOnRequestAndRefusesUnknownOnes) {
    ASSERT_EQ(runWorldgen("--world=typical typical.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--world=worst worst.ini"), 0) << readText("errors.txt");
    EXPECT_EQ(splitLines(readText("typical.ini"))[lineOf(13, 14, 14)], "13.14[14] = 5");
    EXPECT_EQ(splitLines(readText("worst.ini"))[lineOf(0, 0, 0)], "0.0[0] = 8");
    EXPECT_EQ(runWorldgen("--world=moon moon.ini"), 2);
    EXPECT_EQ(runWorldgen(""), 2);
    EXPECT_FALSE(std::filesystem::exists("moon.ini"));
    EXPECT_NE(readText("errors.txt").find("usage"), std::string::npos);
}

TEST_F(Worldgen, WritesEveryKindTheGameOffersAndTheSameSeedTwiceAlike) {
    ASSERT_EQ(runWorldgen("--kind island --seed 31 a.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--seed=31 --kind=island b.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind island --seed -5 c.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind starter starter.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind flat flat.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind empty empty.ini"), 0) << readText("errors.txt");
    EXPECT_EQ(readText("a.ini"), readText("b.ini"));
    EXPECT_NE(readText("a.ini"), readText("c.ini"));
    EXPECT_EQ(fnv1a(readText("starter.ini")), 2546836180817740494ull);
    const std::vector<std::string> flat = splitLines(readText("flat.ini"));
    ASSERT_EQ(flat.size(), 8002u);
    EXPECT_EQ(flat[lineOf(4, 9, 12)], "4.9[12] = 1");
    EXPECT_EQ(flat[lineOf(4, 9, 19)], "4.9[19] = 17");
    EXPECT_EQ(splitLines(readText("empty.ini"))[lineOf(10, 10, 19)], "10.10[19] = 0");
    EXPECT_EQ(runWorldgen("--kind moon x.ini"), 2);
    EXPECT_EQ(runWorldgen("--kind island --seed twelve x.ini"), 2);
    EXPECT_EQ(runWorldgen("--kind island a.ini b.ini"), 2);
    EXPECT_FALSE(std::filesystem::exists("x.ini"));
}

TEST_F(Worldgen, TakesASizeAndPointsLargeWorldsToTheFolderForm) {
    ASSERT_EQ(runWorldgen("--kind island --seed 31 a.ini"), 0) << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind island --size 20 --seed 31 b.ini"), 0) << readText("errors.txt");
    EXPECT_EQ(readText("a.ini"), readText("b.ini"));
    EXPECT_EQ(runWorldgen("--kind island --size 300 --seed 31 c.ini"), 1);
    const std::vector<std::string> said = splitLines(readText("errors.txt"));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("300 x 300"), std::string::npos);
    EXPECT_NE(said[0].find("--world DIR"), std::string::npos);
    EXPECT_EQ(runWorldgen("--kind island --size 65 c.ini"), 2);
    EXPECT_EQ(runWorldgen("--kind island --size big c.ini"), 2);
    EXPECT_FALSE(std::filesystem::exists("c.ini"));
}

// A whole world folder the list shows, the same for the same seed and size,
// and never written over a world that is there.
TEST_F(Worldgen, MakesAWorldFolderOfAnySizeOnceAndTheSameSeedAlike) {
    ASSERT_EQ(runWorldgen("--kind island --size 64 --seed 31 --world worlds/a"), 0)
        << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--seed=31 --size=64 --kind=island --world=worlds/b"), 0)
        << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind island --size 64 --seed 32 --world worlds/c"), 0)
        << readText("errors.txt");
    ASSERT_EQ(runWorldgen("--kind flat --world worlds/small"), 0) << readText("errors.txt");
    const auto census = [](const std::string& folder) {
        return runWorldgen("--census --world " + folder + " > census.txt") == 0
                   ? readText("census.txt")
                   : "no census of " + folder;
    };
    EXPECT_EQ(census("worlds/a"), census("worlds/b"));
    EXPECT_NE(census("worlds/a"), census("worlds/c"));
    EXPECT_EQ(splitLines(readText("worlds/small/world.ini")).size(), 8002u);
    EXPECT_FALSE(std::filesystem::exists("worlds/small/world.sqlite"));
    for (const WorldEntry& entry : listWorlds("worlds")) {
        EXPECT_EQ(entry.meta.name, entry.folder);
        EXPECT_EQ(entry.meta.size, entry.folder == "small" ? 20 : 64) << entry.folder;
    }
    EXPECT_EQ(listWorlds("worlds").size(), 4u);
    const std::string before = readText("worlds/a/world.sqlite");
    EXPECT_EQ(runWorldgen("--kind flat --size 128 --world worlds/a"), 1);
    EXPECT_EQ(splitLines(readText("errors.txt")).size(), 1u);
    EXPECT_EQ(readText("worlds/a/world.sqlite"), before);
    EXPECT_EQ(runWorldgen("--kind starter --size 64 --world worlds/d"), 1);
    EXPECT_FALSE(std::filesystem::exists("worlds/d"));
}

}  // namespace

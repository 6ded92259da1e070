// The player's marks: kept with the world across runs, apart per server and
// name, and a hand-edited file read no further than it can be trusted.
#include "game/marks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "game/atomic_file.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "game/world_catalog.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"

namespace {

class Marks : public ::testing::Test {
protected:
    void SetUp() override {
        fresh::startGame();
        usePaths(GamePaths{});
        std::string folder;
        ASSERT_EQ(createWorld(worldsFolder(), "Isle", WorldKind::Island, 7, 1, folder), 0);
    }
    void TearDown() override {
        closeWorld();
        usePaths(GamePaths{});
    }
    TempFolder folder;
};

}  // namespace

TEST_F(Marks, HomeAndTheNamedMarksComeBackWithTheWorldAfterARestart) {
    ASSERT_EQ(playWorld("Isle"), PlayOutcome::Opened);
    const std::string file = "data/worlds/Isle/marks.ini";
    ASSERT_TRUE(marksInPlay.kept.home);
    const Mark home = *marksInPlay.kept.home;
    EXPECT_EQ(home.x, player.x);
    EXPECT_FALSE(std::filesystem::exists(file)) << "a run that only looks writes nothing";

    EXPECT_TRUE(setMark(3, 4, 12, "Lake house"));
    EXPECT_TRUE(setMark(5, 6, 20, ""));
    EXPECT_EQ(chosenMark()->name, "Mark 1");
    // Elsewhere next time: home stays where the world was first entered.
    placePlayer(player, camera, home.x + 2, home.y);
    ASSERT_TRUE(closeWorld());
    EXPECT_TRUE(marksInPlay.file.empty());

    ASSERT_EQ(playWorld("Isle"), PlayOutcome::Opened);
    EXPECT_EQ(player.x, home.x + 2);
    EXPECT_EQ(*marksInPlay.kept.home, home);
    ASSERT_EQ(marksInPlay.kept.marks.size(), 2u);
    EXPECT_EQ(marksInPlay.kept.marks[0], (Mark{3, 4, 12, "Lake house"}));
    EXPECT_EQ(marksInPlay.kept.marks[1].name, "Mark 1");

    // The first mark chosen through home, then dropped; home stays.
    marksInPlay.chosen = -1;
    chooseNextMark();
    removeChosenMark();
    chooseNextMark();
    EXPECT_EQ(chosenMark()->name, "Lake house");
    removeChosenMark();
    for (int n = 0; n < kMostMarks; ++n) setMark(n, n, 10, "");
    EXPECT_FALSE(setMark(9, 9, 10, "one too many"));
    closeWorld();
    std::string text;
    ASSERT_EQ(readWholeFile(file, text), 0);
    const PlayerMarks kept = marksFromText(text);
    EXPECT_EQ(*kept.home, home);
    ASSERT_EQ(kept.marks.size(), static_cast<std::size_t>(kMostMarks));
    EXPECT_EQ(kept.marks[0].name, "Mark 1");
    EXPECT_EQ(kept.marks[1].name, "Mark 2") << "the name of a dropped mark is free again";
}

TEST(MarksFile, KeepsEachServerAndNameApartAndPassesOverLinesItCannotTrust) {
    EXPECT_EQ(serverMarksFile("Play.Example:7000", "Ann"),
              serverMarksFile("play.example:7000", "ann"));
    EXPECT_NE(serverMarksFile("play.example:7000", "ann"),
              serverMarksFile("play.example:7001", "ann"));
    EXPECT_NE(serverMarksFile("play.example:7000", "ann"),
              serverMarksFile("play.example:7000", "bo"));
    const std::string hosted = serverMarksFile("hosted:../../etc", "..");
    EXPECT_EQ(hosted.find("/../"), std::string::npos) << hosted;

    const PlayerMarks read = marksFromText(
        "home = 150 148 12\n"
        "mark = 300 7 -10 far corner, top\n"
        "mark = 301 7 3 off the grid\n"
        "mark = 4 4 21 below the floor\n"
        "mark = 4 4 3\n"
        "mark = 4 4 3 a name much too long to keep\n"
        "home = 1 1 1 with a name\n");
    ASSERT_TRUE(read.home);
    EXPECT_EQ(*read.home, (Mark{150, 148, 12, "Home"}));
    ASSERT_EQ(read.marks.size(), 1u);
    EXPECT_EQ(read.marks[0], (Mark{300, 7, -10, "far corner, top"}));
    EXPECT_EQ(marksFromText(marksText(read)).marks, read.marks);
}

// The world being played: opening one lets go of the last, and neither opening
// nor deleting touches a world that another copy of the game holds.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "game/paths.h"
#include "game/played_world.h"
#include "game/world_catalog.h"
#include "game/world_lock.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"
#include "world/world_grid.h"

namespace fs = std::filesystem;

namespace {

class PlayedWorld : public ::testing::Test {
protected:
    void SetUp() override {
        fresh::startGame();
        usePaths(GamePaths{});
        std::string folder;
        ASSERT_EQ(createWorld(worldsFolder(), "Isle", WorldKind::Island, 7, 1, folder), 0);
        ASSERT_EQ(createWorld(worldsFolder(), "Plain", WorldKind::Flat, 0, 2, folder), 0);
    }
    void TearDown() override {
        closeWorld();
        usePaths(GamePaths{});
    }

    // What another copy of the game would find.
    static WorldLock::Outcome otherCopyTakes(const std::string& folder) {
        WorldLock other;
        return other.take(worldsFolder() + "/" + folder);
    }

    TempFolder folder;
};

TEST_F(PlayedWorld, PlayingAnotherWorldLetsGoOfTheFirstAndSavesIntoItsOwnFolder) {
    ASSERT_EQ(playWorld("Isle"), PlayOutcome::Opened);
    EXPECT_EQ(worldFile(), "data/worlds/Isle/world.ini");
    EXPECT_EQ(otherCopyTakes("Isle"), WorldLock::Outcome::HeldElsewhere);
    ASSERT_EQ(playWorld("Plain"), PlayOutcome::Opened);
    EXPECT_EQ(playedWorld(), "Plain");
    EXPECT_EQ(worldFile(), "data/worlds/Plain/world.ini");
    EXPECT_EQ(otherCopyTakes("Isle"), WorldLock::Outcome::Taken);
    EXPECT_EQ(otherCopyTakes("Plain"), WorldLock::Outcome::HeldElsewhere);
    EXPECT_EQ(playWorld("Nowhere"), PlayOutcome::Missing);
    EXPECT_EQ(playedWorld(), "Plain");
}

TEST_F(PlayedWorld, AWorldHeldByAnotherCopyNeitherOpensNorGoesToTheTrash) {
    ASSERT_EQ(playWorld("Isle"), PlayOutcome::Opened);
    WorldLock other;
    ASSERT_EQ(other.take(worldsFolder() + "/Plain"), WorldLock::Outcome::Taken);
    EXPECT_EQ(playWorld("Plain"), PlayOutcome::Locked);
    EXPECT_EQ(playedWorld(), "Isle") << "the open world stays open";
    EXPECT_EQ(deleteWorld("Plain"), PlayOutcome::Locked);
    EXPECT_TRUE(fs::exists("data/worlds/Plain/world.ini"));

    // The open world itself is closed, then moved.
    EXPECT_EQ(deleteWorld("Isle"), PlayOutcome::Opened);
    EXPECT_EQ(playedWorld(), "");
    EXPECT_TRUE(fs::exists("data/worlds/.trash/Isle/world.ini"));
    EXPECT_FALSE(fs::exists("data/worlds/Isle"));
}

TEST_F(PlayedWorld, AWorldThatCannotBeSavedStaysOpenAndOneThatCannotBeLockedStaysClosed) {
    ASSERT_EQ(playWorld("Isle"), PlayOutcome::Opened);
    setCell(3, 3, 0, 9);
    // A disk with no room for the world file.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit full = before;
    full.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    const PlayOutcome outcome = playWorld("Plain");
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(outcome, PlayOutcome::NotSaved);
    EXPECT_EQ(playedWorld(), "Isle");
    EXPECT_EQ(cell(3, 3, 0), 9) << "the change stays in play";
    EXPECT_EQ(otherCopyTakes("Isle"), WorldLock::Outcome::HeldElsewhere);
    EXPECT_EQ(otherCopyTakes("Plain"), WorldLock::Outcome::Taken);

    // Saved at last, it is let go; opened again, the change is there.
    ASSERT_EQ(playWorld("Plain"), PlayOutcome::Opened);
    ASSERT_EQ(playWorld("Isle"), PlayOutcome::Opened);
    EXPECT_EQ(cell(3, 3, 0), 9);

    // A lock file that cannot be opened: the world stays closed, never unlocked.
    fs::remove("data/worlds/Plain/world.lock");
    fs::create_directories("data/worlds/Plain/world.lock");
    EXPECT_EQ(playWorld("Plain"), PlayOutcome::Unlockable);
    EXPECT_NE(lockFailure().find("world.lock"), std::string::npos) << lockFailure();
    EXPECT_EQ(playedWorld(), "Isle");
}

TEST_F(PlayedWorld, AWorldIsFoundByItsFolderBeforeItsName) {
    std::string folder;
    ASSERT_EQ(createWorld(worldsFolder(), "Isle", WorldKind::Empty, 0, 3, folder), 0);
    ASSERT_EQ(folder, "Isle-2");
    std::string found;
    ASSERT_TRUE(findWorld("Isle", found));
    EXPECT_EQ(found, "Isle");
    ASSERT_TRUE(findWorld("Plain", found));
    EXPECT_EQ(found, "Plain");
    EXPECT_FALSE(findWorld("plain", found));
}

}  // namespace

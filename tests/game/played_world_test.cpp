// The world being played: opening one lets go of the last, and neither opening
// nor deleting touches a world that another copy of the game holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game/paths.h"
#include "game/played_world.h"
#include "game/world_catalog.h"
#include "game/world_lock.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"

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

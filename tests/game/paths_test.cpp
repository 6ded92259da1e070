// Where the game's files go: portable beside data/, installed with the
// player's files in the XDG folders, and the starter world for a new player.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "game/paths.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

bool installedDataFound(const std::string&) { return true; }
bool installedDataMissing(const std::string&) { return false; }

PathClues installedClues() {
    PathClues clues;
    clues.programFolder = "/opt/game/bin";
    clues.home = "/home/ann";
    return clues;
}

class PathsTest : public ::testing::Test {
protected:
    void TearDown() override { usePaths(GamePaths{}); }
};

TEST_F(PathsTest, ADataFolderBesideTheGameKeepsEverythingBelowIt) {
    PathClues clues = installedClues();
    clues.portableData = true;
    usePaths(pathsFor(clues, installedDataFound));
    EXPECT_EQ(gamePaths().mode, PathMode::Portable);
    EXPECT_EQ(dataFile("data/gfx/001.bmp"), "data/gfx/001.bmp");
    EXPECT_EQ(worldFile(), "data/world/world.ini");
    EXPECT_EQ(worldsFolder(), "data/worlds");
    EXPECT_EQ(settingsFile(), "data/settings.ini");
    EXPECT_EQ(screenshotFolder(), "screenshots");
}

TEST_F(PathsTest, TheInstalledGameReadsBesideItsProgramAndWritesIntoTheHomeFolder) {
    usePaths(pathsFor(installedClues(), installedDataFound));
    EXPECT_EQ(gamePaths().mode, PathMode::Installed);
    EXPECT_EQ(dataFile("data/gfx/001.bmp"), "/opt/game/bin/../share/tessaria/gfx/001.bmp");
    EXPECT_EQ(dataFile("data/sfx/sfx002.wav"), "/opt/game/bin/../share/tessaria/sfx/sfx002.wav");
    EXPECT_EQ(worldFile(), "/home/ann/.local/share/tessaria/world/world.ini");
    EXPECT_EQ(worldsFolder(), "/home/ann/.local/share/tessaria/worlds");
    EXPECT_EQ(settingsFile(), "/home/ann/.config/tessaria/settings.ini");
    EXPECT_EQ(screenshotFolder(), "/home/ann/.local/share/tessaria/screenshots");
}

TEST_F(PathsTest, XdgFoldersCountOnlyWhenAbsolute) {
    PathClues clues = installedClues();
    clues.dataHome = "/data/ann";
    clues.configHome = "relative/config";
    usePaths(pathsFor(clues, installedDataFound));
    EXPECT_EQ(worldFile(), "/data/ann/tessaria/world/world.ini");
    EXPECT_EQ(settingsFile(), "/home/ann/.config/tessaria/settings.ini");
}

// An unset, empty or relative HOME would put the player's files under /.local
// or wherever the game was started.
TEST_F(PathsTest, WithoutAnAbsoluteHomeTheUsersOwnIsTakenOrTheGameHasNone) {
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    for (const char* variable : {"", "relative/home"})
        EXPECT_EQ(homeFolder(variable), user->pw_dir) << variable;
    EXPECT_EQ(homeFolder("/home/ann"), "/home/ann");

    PathClues clues = installedClues();
    clues.home.clear();
    EXPECT_TRUE(pathsFor(clues, installedDataFound).homeless);
    clues.dataHome = "/data/ann";
    clues.configHome = "/config/ann";
    const GamePaths paths = pathsFor(clues, installedDataFound);
    EXPECT_FALSE(paths.homeless);
    EXPECT_EQ(paths.settingsFolder, "/config/ann/tessaria");
}

TEST_F(PathsTest, WithoutInstalledDataTheGameStaysPortable) {
    usePaths(pathsFor(installedClues(), installedDataMissing));
    EXPECT_EQ(gamePaths().mode, PathMode::Portable);
    EXPECT_EQ(dataFile("data/gfx/001.bmp"), "data/gfx/001.bmp");
    PathClues unknownProgram = installedClues();
    unknownProgram.programFolder.clear();
    EXPECT_EQ(pathsFor(unknownProgram, installedDataFound).mode, PathMode::Portable);
}

TEST_F(PathsTest, ANewPlayerGetsTheStarterWorldAndNoPlayerLosesTheirs) {
    TempFolder folder;
    const std::string here = std::filesystem::current_path().string();
    writeText(here + "/share/tessaria/starter-world.ini", "0.0[0] = 7\n");
    std::filesystem::create_directories(here + "/bin");
    PathClues clues;
    clues.programFolder = here + "/bin";
    clues.home = here + "/home";
    usePaths(pathsFor(clues, installedDataFound));

    ASSERT_TRUE(provideStarterWorld());
    EXPECT_EQ(readText(worldFile()), "0.0[0] = 7\n");

    writeText(worldFile(), "0.0[0] = 9\n");
    ASSERT_TRUE(provideStarterWorld());
    EXPECT_EQ(readText(worldFile()), "0.0[0] = 9\n");

    // Only a backup left: the player's world is there to restore, not replace.
    std::filesystem::rename(worldFile(), worldFile() + ".bak");
    ASSERT_TRUE(provideStarterWorld());
    EXPECT_FALSE(std::filesystem::exists(worldFile()));
}

TEST_F(PathsTest, ThePortableGameStartsAsItFindsItsFolder) {
    TempFolder folder;
    ASSERT_TRUE(provideStarterWorld());
    EXPECT_FALSE(std::filesystem::exists(worldFile()));
}

}  // namespace

// The world file through a whole run of the real game: a prepared world is
// loaded, played and written back unchanged when the window is closed, with
// the previous file kept as the backup; a save that fails shows in the exit
// status.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "app/e2e_harness.h"

namespace fs = std::filesystem;

namespace {

std::string gameLines(const std::string& errorOutput) {
    std::istringstream in(errorOutput);
    std::string lines;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Tessaria: ", 0) == 0) lines += line + "\n";
    return lines;
}

// Known blocks all over the band: a floor along the diagonal where the player
// starts, a scatter of every block type below it (liquids included: they only
// flow at the player's own level), the band's corners, and values the game has
// no picture for, some of them in view beside the player.
WorldFile preparedWorld() {
    WorldFile world;
    const int side = WorldFile::kSide;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if (std::abs(x - y) <= 2) world.at(x, y, 10) = 4;
            if (x - y == 3) world.at(x, y, 9) = 99;
            for (int level = 14; level < side; ++level)
                if ((7 * x + 3 * y + 5 * level) % 11 == 0)
                    world.at(x, y, level) = 1 + (x + y + level) % 22;
        }
    world.at(0, 0, 0) = 22;
    world.at(19, 0, 0) = 21;
    world.at(0, 19, 0) = 20;
    world.at(19, 19, 19) = 17;
    world.at(3, 17, 18) = 23;
    world.at(17, 3, 18) = -7;
    world.playerX = 3;  // the run's start spot replaces these
    world.playerY = 17;
    return world;
}

class WorldFileInAWindow : public ::testing::Test {
protected:
    XServer server;
    RunFolder folder;
};

// World ticks over the loaded world change none of its cells, so the run
// writes nothing: the file keeps its bytes and the backup stays as it was (the
// first save that changes the file makes the backup: world_save_test).
TEST_F(WorldFileInAWindow, APlayedWorldThatDidNotChangeIsLeftAsItWasWithItsBackup) {
    const WorldFile prepared = preparedWorld();
    writeWorldFile(folder.worldFile(), prepared);
    const std::string preparedText = readText(folder.worldFile());
    writeText(folder.path() / "data/world/world.ini.bak", "the good world");

    GameProcess game(server, folder, {"TESSARIA_SEED=11"});
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    ASSERT_TRUE(enterGame(server, folder, window, kStartSeconds))
        << saveScreenshot(server, "world-file-not-entered");
    sleepSeconds(0.5);  // a number of world ticks over the loaded world
    saveScreenshot(server, "world-file");
    requestClose(server, window);
    ASSERT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();

    EXPECT_EQ(readText(folder.worldFile()), preparedText);
    EXPECT_EQ(readText(folder.path() / "data/world/world.ini.bak"), "the good world");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path() / "data/world"))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"world.ini", "world.ini.bak", "world.lock"}))
        << "a temporary file was left behind";
}

// Writes beyond 16 kB fail, so no world fits: the quit save of a new world
// reports in one line, leaves no part of a world, and the exit status says so.
TEST_F(WorldFileInAWindow, AQuitSaveThatFailsPrintsOneLineAndExitsWithStatusOne) {
    GameProcess game(server, folder, {}, [] {
        rlimit limit{16 * 1024, 16 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
    });
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 1) << game.errorOutput();
    // The graphics libraries may complain about the limit too; the game's own
    // lines are those it signs.
    EXPECT_EQ(gameLines(game.errorOutput()),
              "Tessaria: cannot save data/world/world.ini: File too large\n");
    EXPECT_FALSE(fs::exists(folder.worldFile()));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path() / "data/world"),
                            fs::directory_iterator()),
              1)
        << "only the lock file";
}

}  // namespace

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

// A floor at level 10 of five blocks by turns along x: a step toward x + 1
// shows on the screen as the rows of blocks moving on, after the step as
// during it, and four steps never look like none.
WorldFile stripedFloor() {
    const int blocks[] = {4, 2, 13, 18, 19};  // planks, cobblestone, brick, marble, terracotta
    WorldFile floor;
    for (int y = 0; y < WorldFile::kSide; ++y)
        for (int x = 0; x < WorldFile::kSide; ++x) floor.at(x, y, 10) = blocks[x % 5];
    return floor;
}

// Holds Right until the world on the screen has moved the way a step toward
// x + 1 carries it: the first ticks turn the figure, the step follows once
// the key has been held long enough. Letting go within the step's 17 ticks
// makes it one step; a game starved of time may run more of its ticks
// before it sees the key let go, so it is at least one.
bool stepRight(const XServer& server, Window window) {
    const Image before = settledScreen(server, kStartSeconds);
    return holdKeyUntil(
        server, window, "Right", [&] { return worldShifted(before, grabScreen(server), -32, -16); },
        kStartSeconds);
}

// Holds Space until the placed block is on the disk: held longer, the next
// placing action finds the cell taken and does nothing. The autosave comes
// within seconds of the change.
bool placeUntilSaved(const XServer& server, Window window, const RunFolder& folder,
                     const WorldFile& before) {
    return holdKeyUntil(
        server, window, "space", [&] { return cellsChangedOnDisk(folder.worldFile(), before); },
        kStartSeconds);
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
    writeText(folder.worldFolder() / "world.ini.bak", "the good world");

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
    EXPECT_EQ(readText(folder.worldFolder() / "world.ini.bak"), "the good world");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.worldFolder()))
        names.insert(entry.path().filename().string());
    // The session's restore point is the one thing a run that looks adds.
    EXPECT_EQ(names, (std::set<std::string>{"restore", "world.ini", "world.ini.bak", "world.lock",
                                            "world.meta"}))
        << "a temporary file was left behind";
}

// The count of one block in the record's counts line.
std::string countOf(const WorldFile& world, int id) {
    std::istringstream counts(world.record.count("player.counts") ? world.record.at("player.counts")
                                                                  : "");
    std::string count;
    for (int n = 0; n <= id && counts >> count; ++n) {
    }
    return count;
}

// A run places a block from the third slot and steps toward x + 1 (once, or
// more on a machine too loaded to let go in time), goes to the menu and back,
// and quits; the next run starts in that column with that
// slot selected and the count one lower, and saves the same record again.
TEST_F(WorldFileInAWindow, TheNextRunStartsWhereThePlayerStoppedWithWhatItHad) {
    writeWorldFile(folder.worldFile(), stripedFloor());

    // The slot is asked for twice on the screen: on the way back from the
    // menu and when the next run is entered.
    auto play = [&](const std::string& name, bool act) {
        GameProcess game(server, folder, {"TESSARIA_SEED=11"});
        Window window = waitForWindow(server, kStartSeconds);
        ASSERT_NE(window, 0u) << game.errorOutput();
        ASSERT_TRUE(enterGame(server, folder, window, kStartSeconds, act ? 0 : 2))
            << saveScreenshot(server, name + "-not-entered");
        if (act) {
            WorldFile before;
            std::string problem;
            ASSERT_TRUE(readWorldFile(folder.worldFile(), &before, &problem)) << problem;
            holdKey(server, window, "3", 0.15);
            ASSERT_TRUE(placeUntilSaved(server, window, folder, before))
                << saveScreenshot(server, name + "-not-placed");
            ASSERT_TRUE(stepRight(server, window)) << saveScreenshot(server, name + "-no-step");
            ASSERT_TRUE(enterGame(server, folder, window, kStartSeconds, 2))
                << saveScreenshot(server, name + "-slot-lost");
        }
        requestClose(server, window);
        ASSERT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    };

    play("kept-first", true);
    WorldFile first, second;
    std::string problem;
    ASSERT_TRUE(readWorldFile(folder.worldFile(), &first, &problem)) << problem;
    EXPECT_GT(first.playerX, first.playerY) << "stepped off the diagonal";
    EXPECT_EQ(first.record["player.x"], std::to_string(first.playerX));
    EXPECT_EQ(first.record["player.y"], std::to_string(first.playerY));
    EXPECT_EQ(first.record["player.facing"], "3");
    EXPECT_EQ(first.record["player.selected_slot"], "2");
    EXPECT_EQ(first.record["player.hotbar"], "1 6 2 4 13 18 19 5 8");
    EXPECT_EQ(countOf(first, 2), "99");
    EXPECT_EQ(countOf(first, 1), "100");

    play("kept-second", false);
    ASSERT_TRUE(readWorldFile(folder.worldFile(), &second, &problem)) << problem;
    EXPECT_EQ(second.playerX, first.playerX);
    EXPECT_EQ(second.playerY, first.playerY);
    EXPECT_EQ(second.record, first.record);
    EXPECT_EQ(second.cells, first.cells);
}

// With classic = 1 the file is the plain 8,002 lines and every run starts on
// the diagonal, wherever the last one stopped: the first run steps off it
// toward x + 1 and places a block ahead (a change of blocks, so the column it
// was placed from is written; a walk alone is no change); the next places one
// where it starts, and that is on the diagonal again. How many steps one hold
// of the key makes depends on the ticks a loaded machine gives the game, so
// the first run is only asked to have left the diagonal.
TEST_F(WorldFileInAWindow, TheClassicGameKeepsNoRecordAndStartsOnTheDiagonal) {
    writeWorldFile(folder.worldFile(), stripedFloor());
    writeText((folder.path() / "data/settings.ini").string(), "classic = 1\n");
    for (const std::string name : {"classic-first", "classic-second"}) {
        const bool first = name == "classic-first";
        WorldFile before;
        std::string problem;
        ASSERT_TRUE(readWorldFile(folder.worldFile(), &before, &problem)) << problem;
        GameProcess game(server, folder, {"TESSARIA_SEED=11"});
        Window window = waitForWindow(server, kStartSeconds);
        ASSERT_NE(window, 0u) << game.errorOutput();
        ASSERT_TRUE(enterGame(server, folder, window, kStartSeconds, 0))
            << saveScreenshot(server, name + "-not-entered");
        if (first) {
            ASSERT_TRUE(stepRight(server, window)) << saveScreenshot(server, name + "-no-step");
        }
        ASSERT_TRUE(placeUntilSaved(server, window, folder, before))
            << saveScreenshot(server, name + "-not-placed");
        requestClose(server, window);
        ASSERT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
        WorldFile saved;
        ASSERT_TRUE(readWorldFile(folder.worldFile(), &saved, &problem)) << problem;
        if (first) {
            EXPECT_GT(saved.playerX, saved.playerY) << name << ": stepped off the diagonal";
        } else {
            EXPECT_EQ(saved.playerX, saved.playerY) << name << ": started on the diagonal";
        }
        EXPECT_TRUE(saved.record.empty()) << name;
        EXPECT_EQ(splitLines(readText(folder.worldFile())).size(), 8002u) << name;
    }
}

// Writes beyond 16 kB fail (and raise SIGXFSZ), so no world fits: the first autosave of a new
// world and the quit save each report in one line, no part of a world is
// left, and the exit status says so.
TEST_F(WorldFileInAWindow, AQuitSaveThatFailsPrintsOneLineAndExitsWithStatusOne) {
    GameProcess game(
        server, folder, {},
        [] {
            rlimit limit{16 * 1024, 16 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);  // the game itself ignores SIGXFSZ
        },
        kPlayTestWorld);
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    // The world is shown at once, and its first frame hands it to the autosave.
    ASSERT_TRUE(
        waitUntil([&] { return game.errorOutput().find("cannot autosave") != std::string::npos; },
                  kStartSeconds));
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 1) << game.errorOutput();
    // The graphics libraries may complain about the limit too; the game's own
    // lines are those it signs.
    EXPECT_EQ(gameLines(game.errorOutput()),
              "Tessaria: cannot autosave data/worlds/test/world.ini: File too large\n"
              "Tessaria: cannot save data/worlds/test/world.ini: File too large\n");
    EXPECT_FALSE(fs::exists(folder.worldFile()));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.worldFolder()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"world.lock", "world.meta"}))
        << "only the lock file and the note";
}

}  // namespace

// Autosave on a clock the test moves, with real files and the real saving
// thread; a disk made slow through the seam holds saves open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "game/paths.h"
#include "game/world_file.h"
#include "game/world_save.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"

namespace {

std::atomic<int> slowWritesBegun{0}, slowWritesEnded{0};
// Holds a slow write until the test lets go: what happens during it must not
// depend on how quickly a busy machine runs the test.
std::atomic<bool> diskHeld{false};

void slowWrite() {
    ++slowWritesBegun;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    while (diskHeld) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++slowWritesEnded;
}

class Autosave : public ::testing::Test {
protected:
    void SetUp() override {
        fresh::startGame();
        beginSavingRun();
        slowWritesBegun = slowWritesEnded = 0;
    }
    void TearDown() override {
        diskHeld = false;
        setDiskDelay(nullptr);
        beginSavingRun();
    }
    SaveClock::time_point at(double seconds) const {
        return start + std::chrono::duration_cast<SaveClock::duration>(
                           std::chrono::duration<double>(seconds));
    }
    // A game frame at that time, and the save it may start written.
    void frameAt(double seconds) {
        autosaveWorld(at(seconds));
        waitForAutosave();
    }
    // A slow save that has begun, with the disk fast again for what follows.
    void slowSaveRunning(double seconds) {
        setDiskDelay(slowWrite);
        autosaveWorld(at(seconds));
        while (slowWritesBegun == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        setDiskDelay(nullptr);
    }
    // Every save puts a new file in place.
    static ino_t fileIdentity() {
        struct stat status {};
        return ::stat(worldFile().c_str(), &status) == 0 ? status.st_ino : 0;
    }
    static std::string savedLine(int line) { return splitLines(readText(worldFile())).at(line); }

    TempFolder folder;
    const SaveClock::time_point start = SaveClock::now();
};

TEST_F(Autosave, AChangeReachesTheDiskWithinFiveSecondsAndNothingIsWrittenWhileNothingChanges) {
    frameAt(0);  // nothing written yet in this run
    const ino_t first = fileIdentity();
    setCell(3, 0, 0, 7);
    frameAt(1);
    frameAt(4.9);
    EXPECT_EQ(fileIdentity(), first);
    frameAt(5);
    const ino_t second = fileIdentity();
    EXPECT_NE(second, first);
    EXPECT_EQ(savedLine(3), "3.0[0] = 7");
    frameAt(10);
    frameAt(60);
    EXPECT_EQ(fileIdentity(), second);
    // A walk changes the kept record, so the next run starts there.
    player.x = 2;
    frameAt(61);
    EXPECT_NE(fileIdentity(), second);
    EXPECT_EQ(savedLine(8000), "p_x = 2");
    EXPECT_EQ(savedLine(8002), "player.x = 2");
    player.selectedSlot = 4;  // the record alone changes
    frameAt(70);
    EXPECT_EQ(savedLine(8010), "player.selected_slot = 4");
}

// After a mishap already autosaved, a run that only looks must not replace the
// good world in the backup, nor the world file itself.
TEST_F(Autosave, ARunThatChangesNothingWritesNothingAndKeepsTheBackup) {
    setCell(0, 0, 0, 1);
    ASSERT_TRUE(saveWorld());
    const std::string found = readText(worldFile());
    writeText(worldFile() + ".bak", "the good world");
    const ino_t identity = fileIdentity();
    beginSavingRun();
    worldLoaded(loadWorld());
    frameAt(0);
    setCell(0, 0, 0, 3);  // a change and its undo
    setCell(0, 0, 0, 1);
    frameAt(5);
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(fileIdentity(), identity);
    EXPECT_EQ(readText(worldFile() + ".bak"), "the good world");

    // Walking about to look keeps where the player went, never the backup.
    beginSavingRun();
    worldLoaded(loadWorld());
    player.x += 3;
    ASSERT_TRUE(saveWorld());
    EXPECT_NE(readText(worldFile()), found);
    EXPECT_EQ(readText(worldFile() + ".bak"), "the good world");

    const std::string walked = readText(worldFile());
    beginSavingRun();
    worldLoaded(loadWorld());
    setCell(0, 0, 0, 2);
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(readText(worldFile() + ".bak"), walked);
}

// As in play, and what the thread sanitizer build watches: frames change the
// world while the saving thread writes.
TEST_F(Autosave, FramesThatChangeTheWorldWhileSavesRunLeaveTheLastCopyOnDisk) {
    for (int frame = 0; frame <= 100; ++frame) {
        setCell(frame % 20, 0, 0, frame % 23);
        autosaveWorld(at(5.0 * frame));
    }
    waitForAutosave();
    EXPECT_EQ(savedLine(0), "0.0[0] = 8");  // frame 100
}

TEST_F(Autosave, SavesDueDuringASlowSaveWriteOnlyTheNewestCopy) {
    diskHeld = true;
    slowSaveRunning(0);
    setDiskDelay(slowWrite);
    setCell(1, 0, 0, 4);
    autosaveWorld(at(5));
    setCell(1, 0, 0, 6);
    autosaveWorld(at(10));
    diskHeld = false;
    waitForAutosave();
    EXPECT_EQ(slowWritesBegun, 2);
    EXPECT_EQ(savedLine(1), "1.0[0] = 6");
}

// World A found by the run; autosaves, then a quit during a slow one.
TEST_F(Autosave, TheQuitSaveWaitsForARunningAutosaveAndTheBackupKeepsTheWorldTheRunFound) {
    setCell(0, 0, 0, 1);
    ASSERT_TRUE(saveWorld());
    const std::string found = readText(worldFile());
    beginSavingRun();
    for (int n = 0; n < 3; ++n) {
        setCell(0, 0, 0, 2 + n);
        frameAt(5 * n);
    }
    setCell(0, 0, 0, 5);
    slowSaveRunning(15);
    setCell(0, 0, 0, 9);
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(slowWritesEnded, 1);
    EXPECT_EQ(savedLine(0), "0.0[0] = 9");
    EXPECT_EQ(readText(worldFile() + ".bak"), found);
}

// A run of failures, then the disk back: the unsaved world is tried again
// though nothing changed, and two lines are printed in all.
TEST_F(Autosave, AFailingAutosaveSaysSoOnceAndOnceMoreWhenSavingWorksAgain) {
    writeText("data", "a file where the world folder should be");
    testing::internal::CaptureStderr();
    frameAt(0);
    setCell(1, 0, 0, 4);
    frameAt(5);
    frameAt(10);
    std::filesystem::remove("data");
    frameAt(15);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tessaria: cannot autosave data/world/world.ini: Not a directory\n"
              "Tessaria: autosaving data/world/world.ini works again\n");
    EXPECT_EQ(savedLine(1), "1.0[0] = 4");
}

// A folder left with only its backup plays the backup and keeps it; a file
// cut short is played but never becomes the backup over a whole one.
TEST_F(Autosave, OnlyAWholeWorldFileEverReplacesTheBackup) {
    setCell(4, 4, 0, 7);
    ASSERT_TRUE(saveWorld());
    const std::string good = readText(worldFile());
    std::filesystem::rename(worldFile(), worldFile() + ".bak");
    setCell(4, 4, 0, 0);
    beginSavingRun();
    worldLoaded(loadWorld());
    EXPECT_TRUE(lastWorldRead().fromBackup);
    EXPECT_EQ(cell(4, 4, 0), 7) << "the backup is played";
    setCell(5, 5, 0, 2);
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(readText(worldFile() + ".bak"), good);

    writeText(worldFile(), "0.0[0] = 1\n");  // a world file cut short
    beginSavingRun();
    worldLoaded(loadWorld());
    EXPECT_FALSE(lastWorldRead().whole);
    setCell(6, 6, 0, 2);
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(readText(worldFile() + ".bak"), good);
    EXPECT_EQ(cellOf(world, 6, 6, 0), 2);
}

}  // namespace

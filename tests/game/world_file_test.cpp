// The world file: its literal format, the reader's rules, and saves that
// never lose the previous world.
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <set>
#include <sstream>

#include "game/paths.h"
#include "game/world_file.h"
#include "game/world_save.h"
#include "rules/actions.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"

namespace {

// The world's 8,002 lines, then the eleven of the player's record.
constexpr std::size_t kWholeFileLines = 8002 + 11;

BlockId pattern(int x, int y, int level, int seed = 0) {
    return (x * 7 + y * 3 + level * 11 + seed) % 23;
}

void fillBand(int seed = 0) {
    for (int level = 0; level < 20; ++level)
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) setCell(x, y, level, pattern(x, y, level, seed));
}

void clearBand() {
    for (int level = -10; level <= 20; ++level)
        for (int y = 0; y <= 21; ++y)
            for (int x = 0; x <= 21; ++x) setCell(x, y, level, Empty);
}

// The cells of the band that differ from the pattern.
int cellsOffPattern(int seed = 0) {
    int off = 0;
    for (int level = 0; level < 20; ++level)
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) off += cell(x, y, level) != pattern(x, y, level, seed);
    return off;
}

std::string fileOfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

void loadText(const std::string& text) {
    std::istringstream in(text);
    readWorld(in);
}

}  // namespace

class WorldFile : public ::testing::Test {
protected:
    void SetUp() override {
        fresh::startGame();
        beginSavingRun();
        player.x = 7;
        player.y = 12;
    }
    TempFolder folder;
};

TEST_F(WorldFile, SavingThenLoadingRestoresTheWholeBandAndNothingBeyond) {
    fillBand();
    setCell(20, 3, 3, 4);
    setCell(3, 20, 3, 4);
    setCell(3, 3, 20, 4);
    setCell(3, 3, -1, 4);
    ASSERT_TRUE(saveWorld());
    clearBand();
    player.x = player.y = 0;
    const auto revision = world.revision;
    loadWorld();
    EXPECT_NE(world.revision, revision) << "a picture of the old world must see it go";
    EXPECT_EQ(cellsOffPattern(), 0);
    EXPECT_EQ(cell(20, 3, 3), Empty);
    EXPECT_EQ(cell(3, 20, 3), Empty);
    EXPECT_EQ(cell(3, 3, 20), Empty);
    EXPECT_EQ(cell(3, 3, -1), Empty);
    EXPECT_EQ(player.x, 7);
    EXPECT_EQ(player.y, 12);
}

TEST_F(WorldFile, TheFileIsEightThousandCellLinesInLevelMajorOrderThenThePlayer) {
    setCell(0, 0, 0, 5);
    setCell(1, 0, 0, 13);
    setCell(0, 1, 0, 22);
    setCell(0, 0, 1, 8);
    setCell(19, 19, 19, 1);
    ASSERT_TRUE(saveWorld());
    std::vector<std::string> lines = splitLines(readText(worldFile()));
    ASSERT_EQ(lines.size(), kWholeFileLines);
    EXPECT_EQ(lines[0], "0.0[0] = 5");
    EXPECT_EQ(lines[1], "1.0[0] = 13");
    EXPECT_EQ(lines[2], "2.0[0] = 0");
    EXPECT_EQ(lines[20], "0.1[0] = 22");
    EXPECT_EQ(lines[400], "0.0[1] = 8");
    EXPECT_EQ(lines[7999], "19.19[19] = 1");
    EXPECT_EQ(lines[8000], "p_x = 7");
    EXPECT_EQ(lines[8001], "p_y = 12");
    EXPECT_EQ(lines[8002], "player.x = 7");
    EXPECT_EQ(readText(worldFile()).back(), '\n');
}

TEST_F(WorldFile, UnknownValuesAreWrittenAndReadBackUnchanged) {
    setCell(4, 0, 0, -5);
    setCell(5, 0, 0, 99);
    setCell(6, 0, 0, INT_MIN);
    ASSERT_TRUE(saveWorld());
    std::vector<std::string> lines = splitLines(readText(worldFile()));
    EXPECT_EQ(lines[4], "4.0[0] = -5");
    EXPECT_EQ(lines[5], "5.0[0] = 99");
    EXPECT_EQ(lines[6], "6.0[0] = -2147483648");
    clearBand();
    loadWorld();
    EXPECT_EQ(cell(4, 0, 0), -5);
    EXPECT_EQ(cell(5, 0, 0), 99);
    EXPECT_EQ(cell(6, 0, 0), INT_MIN);
}

class Reader : public WorldFile {
protected:
    void SetUp() override {
        WorldFile::SetUp();
        fillBand();
        WorldSnapshot snapshot;
        takeSnapshot(snapshot);
        formatWorld(snapshot, text);
        lines = splitLines(text);
        clearBand();
    }
    static int lineOf(int x, int y, int level) { return level * 400 + y * 20 + x; }

    std::string text;
    std::vector<std::string> lines;
};

TEST_F(Reader, AKeyFoundAnywhereInTheLineTakesItsValue) {
    lines[lineOf(0, 5, 3)] = "10.5[3] = 7";
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(0, 5, 3), 7);
    EXPECT_EQ(cellsOffPattern(), 1);
}

TEST_F(Reader, AMismatchedKeyOrABadValueRepeatsTheLastValueRead) {
    lines[lineOf(2, 0, 0)] = "9.9[9] = 4";
    lines[lineOf(3, 0, 0)] = "3.0[0] = banana";
    lines[lineOf(4, 0, 0)] = "";
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(1, 0, 0), 7);
    EXPECT_EQ(cell(2, 0, 0), 7);
    EXPECT_EQ(cell(3, 0, 0), 7);
    EXPECT_EQ(cell(4, 0, 0), 7);
    EXPECT_EQ(cell(5, 0, 0), 12);
}

TEST_F(Reader, AMismatchOnTheFirstLineGivesZero) {
    lines[0] = "garbage";
    setCell(0, 0, 0, 6);
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(0, 0, 0), 0);
}

TEST_F(Reader, CarriageReturnsAndALastLineWithoutFeedAreHarmless) {
    std::string crlf;
    for (const std::string& line : lines) crlf += line + "\r\n";
    crlf.resize(crlf.size() - 2);  // "p_y = 12" ends the file
    player.x = player.y = 0;
    loadText(crlf);
    EXPECT_EQ(cellsOffPattern(), 0);
    EXPECT_EQ(player.x, 7);
    EXPECT_EQ(player.y, 12);
}

TEST_F(Reader, AValueLineWithoutEqualsSignIsReadWhole) {
    lines[lineOf(1, 0, 0)] = "  -3 1.0[0]";
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(1, 0, 0), -3);
}

TEST_F(Reader, NumbersBeyondThirtyTwoBitsStopAtTheLimits) {
    lines[lineOf(0, 0, 0)] = "0.0[0] = 99999999999999999999999";
    lines[lineOf(1, 0, 0)] = "1.0[0] = -4294967297";
    lines[lineOf(2, 0, 0)] = "2.0[0] = 2147483647";
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(0, 0, 0), INT_MAX);
    EXPECT_EQ(cell(1, 0, 0), INT_MIN);
    EXPECT_EQ(cell(2, 0, 0), INT_MAX);
}

TEST_F(Reader, HugeLinesAndNulBytesKeepTheLinesInStep) {
    lines[lineOf(0, 0, 0)] = "0.0[0] = 3" + std::string(100000, 'x');
    lines[lineOf(1, 0, 0)] = std::string("1.0[0] = 1\0 9", 13);
    lines[lineOf(2, 0, 0)] = std::string(50000, '=');
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(0, 0, 0), 3);
    EXPECT_EQ(cell(1, 0, 0), 1);
    EXPECT_EQ(cell(2, 0, 0), 1);
    EXPECT_EQ(cell(3, 0, 0), pattern(3, 0, 0));
    EXPECT_EQ(cellsOffPattern(), 3);
}

TEST_F(Reader, ATruncatedFileLeavesTheRestEmptyAndThePlayerWhereItWas) {
    lines.resize(100);
    for (int x = 0; x < 20; ++x) setCell(x, 19, 19, 4);
    player.x = player.y = 3;
    loadText(fileOfLines(lines));
    EXPECT_EQ(cell(19, 4, 0), pattern(19, 4, 0));
    EXPECT_NE(pattern(19, 4, 0), 0);
    EXPECT_EQ(cell(0, 5, 0), Empty);
    EXPECT_EQ(cell(19, 19, 19), Empty);
    EXPECT_EQ(player.x, 3);
    EXPECT_EQ(player.y, 3);
}

TEST_F(Reader, PlayerLinesMustNameTheirField) {
    lines[8000] = "q_x = 1";
    lines[8001] = "p_y = ";
    player.x = player.y = 3;
    loadText(fileOfLines(lines));
    EXPECT_EQ(player.x, 3);
    EXPECT_EQ(player.y, 3);
}

TEST_F(Reader, AnythingAfterThePlayerLinesIsIgnored) {
    lines.push_back("0.0[0] = 9");
    lines.push_back("p_x = 1");
    loadText(fileOfLines(lines));
    EXPECT_EQ(cellsOffPattern(), 0);
    EXPECT_EQ(player.x, 7);
}

// The player's record: the lines after the world's 8,002.
class RecordLines : public WorldFile {
protected:
    void SetUp() override {
        WorldFile::SetUp();
        fillBand();
        player.level = 9;
        player.facing = Facing::Right;
        player.spriteRow = 4;
        player.spriteGroup = 0;
        player.targetRaised = 0;
        player.autoJump = false;
        player.selectedSlot = 6;
        player.hotbar[2] = Ice;
        for (int id = 0; id < kBlockTypes; ++id) player.blockCounts[id] = id * 45;
        WorldSnapshot snapshot;
        takeSnapshot(snapshot);
        formatWorld(snapshot, text);
        lines = splitLines(text);
    }
    // Every line but the record's.
    std::vector<std::string> worldLines() const {
        return std::vector<std::string>(lines.begin(), lines.begin() + 8002);
    }

    std::string text;
    std::vector<std::string> lines;
};

TEST_F(RecordLines, ThePlayerIsWrittenAfterTheWorldAndReadBackWhole) {
    const std::vector<std::string> record(lines.begin() + 8002, lines.end());
    EXPECT_EQ(record, (std::vector<std::string>{
                          "player.x = 7",
                          "player.y = 12",
                          "player.level = 9",
                          "player.facing = 3",
                          "player.look = 4",
                          "player.outfit = 0",
                          "player.working_height = 0",
                          "player.auto_jump = 0",
                          "player.selected_slot = 6",
                          "player.hotbar = 1 6 22 4 13 18 19 5 8",
                          "player.counts = 0 45 90 135 180 225 270 315 360 405 450 495 540 585 "
                          "630 675 720 765 810 855 900 945 990",
                      }));
    loadText(text);
    EXPECT_EQ(keptRecord, recordOf(player));
    std::istringstream own(fileOfLines(record));
    EXPECT_EQ(parsePlayerRecord(own), recordOf(player)) << "a record is a file of its own too";
}

// What a reader of the 8,002 lines alone makes of the file is the world and
// the player's column, the same as here; and a file from before records were
// kept keeps none.
TEST_F(RecordLines, AReaderThatStopsAtTheWorldsLinesReadsTheSameWorld) {
    clearBand();
    player.x = player.y = 0;
    loadText(fileOfLines(worldLines()));
    EXPECT_EQ(keptRecord, PlayerRecord{});
    WorldSnapshot plain, whole;
    takeSnapshot(plain);
    clearBand();
    player.x = player.y = 0;
    loadText(text);
    takeSnapshot(whole);
    EXPECT_EQ(cellsOffPattern(), 0);
    EXPECT_EQ(whole.cells, plain.cells);
    EXPECT_EQ(whole.playerX, 7);
    EXPECT_EQ(whole.playerY, 12);
    EXPECT_EQ(plain.playerX, 7);
    EXPECT_EQ(plain.playerY, 12);
}

// Each line stands or falls alone, and the column and level together.
TEST_F(RecordLines, ADamagedRecordKeepsOnlyItsValidLines) {
    std::vector<std::string> damaged = worldLines();
    for (const char* line : {
             "player.x = 21",              // beyond the world: no place to start
             "player.y = 4",               //
             "player.level = 3",           //
             "player.facing = 2\r",        // a carriage return is harmless
             "  player.look =   6  ",      // so are blanks
             "player.outfit = 2",          // out of range
             "player.selected_slot = 4x",  // not a number
             "player.working_height = -0",
             "player.auto_jump = 1 1",              // one number too many
             "player.hotbar = 1 2 3 4 5 6 7 8 23",  // no block 23
             "player.counts = 1 2 3",               // too few
             "player.name = 5",                     // unknown
             "selected_slot = 3",                   // not the player's
             "player.counts = 99999999999 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0",
         })
        damaged.push_back(line);
    loadText(fileOfLines(damaged));
    PlayerRecord expected;
    expected.y = 4;
    expected.level = 3;
    expected.facing = Facing::Left;
    expected.look = 6;
    expected.workingHeight = 0;
    EXPECT_EQ(keptRecord, expected);
}

// A count that ran past the largest number once reset every count: now each
// is held at what a player may hold, read and mined alike.
TEST_F(RecordLines, CountsAreHeldAtTheMostAPlayerMayHold) {
    std::vector<std::string> file = worldLines();
    file.push_back(
        "player.counts = 2147483647 -2147483648 1000 999 5 0 0 0 0 0 0 0 0 0 0 0 0 0 "
        "0 0 0 0 7");
    loadText(fileOfLines(file));
    ASSERT_TRUE(keptRecord.counts);
    const std::array<std::int32_t, kBlockTypes>& counts = *keptRecord.counts;
    EXPECT_EQ(counts[0], kMostOfABlock);
    EXPECT_EQ(counts[1], 0);
    EXPECT_EQ(counts[2], kMostOfABlock);
    EXPECT_EQ(counts[4], 5);
    EXPECT_EQ(counts[22], 7);

    applyRecord(keptRecord);
    player.actionMode = ActionMode::Mining;
    player.strikes = 2;
    player.targetBlock = 3;  // held at the most already
    finishAction(player, world);
    EXPECT_EQ(player.blockCounts[3], kMostOfABlock);
}

TEST_F(WorldFile, WithNoFileTheBandIsEmpty) {
    fillBand();
    player.x = 4;
    loadWorld();
    int filled = 0;
    for (int level = 0; level < 20; ++level)
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) filled += cell(x, y, level) != Empty;
    EXPECT_EQ(filled, 0);
    EXPECT_EQ(player.x, 4);
}

namespace {

constexpr int kCannotPrepare = 77;  // a child's exit status: the test cannot run here

// From now on the kernel answers these system calls of this process with the
// error, as a file system that refuses them would.
void refuseSystemCalls(std::initializer_list<long> calls, int error) {
    std::vector<sock_filter> filter{BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (long call : calls) {
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(call), 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<__u32>(error)));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(kCannotPrepare);
}

}  // namespace

class SafeSaving : public WorldFile {
protected:
    // A saved world A in place, found by a new run with world B in memory.
    void SetUp() override {
        WorldFile::SetUp();
        fillBand(0);
        ASSERT_TRUE(saveWorld());
        worldA = readText(worldFile());
        beginSavingRun();
        fillBand(1);
    }

    // Runs a save in a child that first calls `prepare` (which may exit with
    // kCannotPrepare) and afterwards `check`; the child's exit status (0 saved,
    // 1 not saved, 2 check failed) and what it printed on standard error.
    int saveInChild(
        const std::function<void()>& prepare, std::string& errorText,
        const std::function<bool()>& check = [] { return true; }) {
        fflush(stderr);
        pid_t child = ::fork();
        if (child == 0) {
            FILE* log = std::freopen("save-errors.txt", "w", stderr);
            (void)log;
            prepare();
            bool saved = saveWorld();
            std::fflush(stderr);
            ::_exit(!check() ? 2 : saved ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        errorText = readText("save-errors.txt");
        std::filesystem::remove("save-errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::function<void()> fileSizeLimit(rlim_t bytes) {
        return [bytes] {
            rlimit limit{bytes, bytes};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        };
    }

    // What stands in the world folder besides the world and its backup.
    static std::set<std::string> temporaries() {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator("data/world")) {
            std::string name = entry.path().filename().string();
            if (name != "world.ini" && name != "world.ini.bak") names.insert(name);
        }
        return names;
    }

    std::string worldA;
};

TEST_F(SafeSaving, TheWorldFolderIsCreatedWhenMissing) {
    std::filesystem::remove_all("data");
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(splitLines(readText(worldFile())).size(), kWholeFileLines);
}

TEST_F(SafeSaving, ThePreviousWorldIsKeptAsTheBackup) {
    ASSERT_TRUE(saveWorld());
    EXPECT_EQ(readText(worldFile() + ".bak"), worldA);
    clearBand();
    loadWorld();
    EXPECT_EQ(cellsOffPattern(1), 0);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(SafeSaving, AWriteThatFailsHalfwayLeavesThePreviousWorld) {
    std::string errors;
    EXPECT_EQ(saveInChild(fileSizeLimit(40000), errors), 1);
    EXPECT_EQ(errors, "Tessaria: cannot save data/world/world.ini: File too large\n");
    EXPECT_EQ(readText(worldFile()), worldA);
    EXPECT_TRUE(temporaries().empty());
}

// The world folder on a small disk of its own that holds world A but not a
// second world beside it.
TEST_F(SafeSaving, AFullDiskLeavesThePreviousWorld) {
    auto smallDisk = [this] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", "data/world", "tmpfs", 0, "size=160k") != 0)
            ::_exit(kCannotPrepare);
        writeText(worldFile(), worldA);
    };
    auto previousWorldKept = [this] {
        return readText(worldFile()) == worldA && temporaries().empty();
    };
    std::string errors;
    int status = saveInChild(smallDisk, errors, previousWorldKept);
    if (status == kCannotPrepare) GTEST_SKIP() << "no mount namespace for a small disk here";
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "Tessaria: cannot save data/world/world.ini: No space left on device\n");
}

TEST_F(SafeSaving, TemporariesThatAKilledRunLeftAreRemovedByTheNextSave) {
    writeText("data/world/world.ini.tmp.Zq81xA", "half a world");
    writeText("data/world/world.ini.tmp.backup", "half a backup");
    ASSERT_TRUE(saveWorld());
    EXPECT_TRUE(temporaries().empty());
    EXPECT_EQ(readText(worldFile() + ".bak"), worldA);
}

TEST_F(SafeSaving, AFolderThatCannotBeSyncedFailsTheSave) {
    std::string errors;
    int status = saveInChild([] { refuseSystemCalls({SYS_fsync}, EIO); }, errors);
    if (status == kCannotPrepare) GTEST_SKIP() << "no seccomp filters here";
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "Tessaria: cannot save data/world/world.ini: Input/output error\n");
}

TEST_F(SafeSaving, WhereHardLinksAreRefusedTheBackupIsACopy) {
    std::string errors;
    int status = saveInChild([] { refuseSystemCalls({SYS_link, SYS_linkat}, EPERM); }, errors);
    if (status == kCannotPrepare) GTEST_SKIP() << "no seccomp filters here";
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(readText(worldFile() + ".bak"), worldA);
    clearBand();
    loadWorld();
    EXPECT_EQ(cellsOffPattern(1), 0);
    EXPECT_TRUE(temporaries().empty());
}

// World B saved over A, so A is the backup; then a new run that can neither
// link nor find room for a copy of B, while C is saved.
TEST_F(SafeSaving, ABackupThatCannotBeMadeStopsTheSaveWithWorldAndBackupKept) {
    ASSERT_TRUE(saveWorld());
    const std::string worldB = readText(worldFile());
    beginSavingRun();
    fillBand(2);
    auto noLinksNoRoom = [] {
        refuseSystemCalls({SYS_link, SYS_linkat}, EPERM);
        fileSizeLimit(40000)();
    };
    std::string errors;
    int status = saveInChild(noLinksNoRoom, errors);
    if (status == kCannotPrepare) GTEST_SKIP() << "no seccomp filters here";
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "Tessaria: cannot save data/world/world.ini: File too large\n");
    EXPECT_EQ(readText(worldFile()), worldB);
    EXPECT_EQ(readText(worldFile() + ".bak"), worldA);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(SafeSaving, AFolderThatCannotBeCreatedIsReportedInOneLine) {
    std::filesystem::remove_all("data");
    writeText("data", "not a folder");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveWorld());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tessaria: cannot save data/world/world.ini: Not a directory\n");
    EXPECT_EQ(readText("data"), "not a folder");
}

// scripts/soak.sh raises the rounds through TESSARIA_SOAK_ROUNDS.
TEST_F(SafeSaving, AProcessKilledMidSaveLeavesAWholeWorld) {
    const char* soakRounds = std::getenv("TESSARIA_SOAK_ROUNDS");
    const int rounds = soakRounds != nullptr ? std::atoi(soakRounds) : 25;
    for (int round = 0; round < rounds; ++round) {
        pid_t child = ::fork();
        if (child == 0) {
            for (int n = 0;; ++n) {
                fillBand(n % 2);
                saveWorld();
            }
        }
        ::usleep(2000 + round % 25 * 1500);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        std::string text = readText(worldFile());
        ASSERT_EQ(splitLines(text).size(), kWholeFileLines) << "round " << round;
        clearBand();
        loadText(text);
        EXPECT_TRUE(cellsOffPattern(0) == 0 || cellsOffPattern(1) == 0) << "round " << round;
        ASSERT_LE(temporaries().size(), 1u) << "round " << round;
    }
}

// A world that stands but cannot be read (here a folder; a missing drive
// behind a link) starts the run empty but is never saved over in it.
TEST_F(WorldFile, AWorldThatCannotBeReadIsSaidAndNeverSavedOver) {
    auto playAndQuit = [](const std::string& reason) {
        testing::internal::CaptureStderr();
        beginSavingRun();
        worldLoaded(loadWorld());
        setCell(1, 1, 1, 5);
        autosaveWorld(SaveClock::now());
        waitForAutosave();
        EXPECT_FALSE(saveWorld());
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(reason), std::string::npos) << errors;
        EXPECT_NE(errors.find("Tessaria: the world was not saved: " + worldFile() +
                              " could not be read\n"),
                  std::string::npos)
            << errors;
        EXPECT_EQ(splitLines(errors).size(), 2u) << errors;
    };
    std::filesystem::create_directories("data/world/world.ini");
    playAndQuit("Is a directory");
    std::filesystem::remove("data/world/world.ini");
    std::filesystem::create_symlink("../../drive/world.ini", "data/world/world.ini");
    playAndQuit("it is a link to data/world/../../drive/world.ini, which is missing");
    EXPECT_TRUE(std::filesystem::is_symlink("data/world/world.ini"));
    EXPECT_FALSE(std::filesystem::exists("drive"));
}

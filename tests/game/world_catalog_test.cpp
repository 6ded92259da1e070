// The list of worlds on a real disk: names that cannot escape or clash,
// deletion that keeps everything, and the single world of before taken in
// byte for byte.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>

#include "game/world_catalog.h"
#include "game/world_store.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kRoot = "data/worlds";

bool validUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (at + length > text.size()) return false;
        for (std::size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
        at += length;
    }
    return true;
}

TEST(WorldFolderName, KeepsLettersOfAnyScriptAndNothingThatCouldLeaveTheFolder) {
    const struct {
        const char* typed;
        const char* folder;
    } cases[] = {
        {"My world", "My-world"},
        {"../../etc/passwd", "etc-passwd"},
        {"a/b\\c\n\td", "a-b-c-d"},
        {"  .hidden.  ", "hidden"},
        {"", "world"},
        {"...", "world"},
        {"\xff\xfe\xc0\xaf", "world"},          // broken and overlong UTF-8
        {"Wörld ☃ 世界", "Wörld-世界"},         // letters and digits, not symbols
        {"evil\u202Etxt.exe", "evil-txt-exe"},  // a direction change
        {"zero\u200Bwidth\uFEFF", "zero-width"},
        {"١٢٣ ٤", "١٢٣-٤"},  // digits of another script
        {"con", "con-world"},
        {"LPT1", "LPT1-world"},
        {"under_score-dash", "under_score-dash"},
    };
    for (const auto& c : cases) EXPECT_EQ(safeFolderName(c.typed), c.folder) << c.typed;
    EXPECT_EQ(safeFolderName(std::string(300, 'a')), std::string(40, 'a'));
    std::string letters;
    for (int i = 0; i < 30; ++i) letters += "世";  // three bytes each: 40 splits one
    const std::string cut = safeFolderName(letters);
    EXPECT_LE(cut.size(), 40u);
    EXPECT_EQ(cut.size() % 3, 0u);
    EXPECT_TRUE(validUtf8(cut));
}

class WorldCatalog : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(WorldCatalog, NewWorldsGetFoldersOfTheirOwnAndListTheOnePlayedLastFirst) {
    std::string first, second, third;
    ASSERT_EQ(createWorld(kRoot, "My world", WorldKind::Island, 7, 1000, first), 0);
    ASSERT_EQ(createWorld(kRoot, "my WORLD", WorldKind::Flat, 0, 2000, second), 0);
    ASSERT_EQ(createWorld(kRoot, "My world", WorldKind::Empty, 0, 3000, third), 0);
    EXPECT_EQ(first, "My-world");
    EXPECT_EQ(second, "my-WORLD-2");  // taken, ignoring case
    EXPECT_EQ(third, "My-world-3");
    EXPECT_EQ(splitLines(readText(worldFileOf(kRoot, first))).size(), 8002u);
    EXPECT_EQ(markPlayed(kRoot, first, 5000), 0);

    const std::vector<WorldEntry> worlds = listWorlds(kRoot);
    ASSERT_EQ(worlds.size(), 3u);
    EXPECT_EQ(worlds[0].folder, first);
    EXPECT_EQ(worlds[0].meta.name, "My world");
    EXPECT_EQ(worlds[0].meta.kind, "island");
    EXPECT_EQ(worlds[0].meta.seed, 7u);
    EXPECT_EQ(worlds[0].meta.created, 1000);
    EXPECT_EQ(worlds[0].meta.lastPlayed, 5000);
    EXPECT_EQ(worlds[1].folder, third);
    EXPECT_EQ(worlds[2].folder, second);
    EXPECT_EQ(worlds[2].meta.name, "my WORLD (2)") << "a shown name is never taken twice";
    EXPECT_EQ(worlds[1].meta.name, "My world (3)");
    EXPECT_EQ(worlds[1].meta.lastPlayed, 0) << "never played";

    // The note keeps no character that hides or turns the text around.
    std::string hidden;
    ASSERT_EQ(createWorld(kRoot, "\u202Edlrow\u200B \u2066x", WorldKind::Empty, 0, 1, hidden), 0);
    EXPECT_EQ(listWorlds(kRoot).back().meta.name, "dlrow x");
}

TEST_F(WorldCatalog, AFailedCreationLeavesNoWorldsFolderBehind) {
    // A disk that takes no more than a few bytes of a file: the world file fails.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string made;
    const int error = createWorld(kRoot, "x", WorldKind::Empty, 0, 0, made);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(fs::exists(kRoot));
}

TEST_F(WorldCatalog, ALargeWorldIsMadeApartFromTheOpenOneAndListedWithItsSize) {
    // The open world, which is saved from the grid when the next one opens.
    setCell(3, 4, 5, Brick);
    world.maxX = world.maxY = kBandEdge;
    const std::uint32_t revision = world.revision;
    std::string folder;
    EXPECT_EQ(createWorld(kRoot, "Big", WorldKind::Starter, 1, 64, 2, folder), EINVAL);
    ASSERT_EQ(createWorld(kRoot, "Big", WorldKind::Island, 31, 64, 2, folder), 0);
    EXPECT_EQ(world.revision, revision);
    EXPECT_EQ(cell(3, 4, 5), Brick);
    EXPECT_EQ(world.maxX, kBandEdge);

    std::vector<WorldEntry> worlds = listWorlds(kRoot);
    ASSERT_EQ(worlds.size(), 1u);
    EXPECT_EQ(worlds[0].meta.size, 64);
    EXPECT_EQ(worlds[0].meta.kind, "island");
    EXPECT_FALSE(fs::exists(worldFileOf(kRoot, folder)));
    WorldDb db;
    WorldDbMeta meta;
    std::string problem, lines;
    bool found = false;
    auto grid = std::make_unique<WorldGrid>();
    ASSERT_TRUE(openWorldDb(db, worldDbFile(kRoot + "/" + folder), DbMode::ReadOnly, problem) &&
                readMeta(db, meta, problem) && readWorldCells(db, meta, *grid, problem) &&
                readRecord(db, kSinglePlayer, lines, found, problem))
        << problem;
    closeWorldDb(db, problem);
    EXPECT_EQ(meta.columns, 64);
    EXPECT_EQ(meta.rows, 64);
    // The start alone, on dry ground with air above: nothing of a run yet.
    const PlayerRecord record = recordFromLines(lines, 64);
    PlayerRecord start;
    start.x = record.x, start.y = record.y, start.level = record.level;
    ASSERT_TRUE(start.x && start.y && start.level);
    EXPECT_EQ(record, start);
    EXPECT_EQ(meta.startX, start.x);
    EXPECT_EQ(cellOf(*grid, *start.x, *start.y, *start.level), Grass);
    EXPECT_EQ(cellOf(*grid, *start.x, *start.y, *start.level - 1), Empty);

    // Without its note, the database still sizes it.
    fs::remove(worldMetaOf(kRoot, folder));
    worlds = listWorlds(kRoot);
    ASSERT_EQ(worlds.size(), 1u);
    EXPECT_EQ(worlds[0].meta.name, folder);
    EXPECT_EQ(worlds[0].meta.size, 64);
    // A note from before sizes, or one whose size is nonsense, is 20 x 20.
    EXPECT_EQ(parseWorldMeta("name = Old\nkind = flat\n").size, 20);
    EXPECT_EQ(parseWorldMeta("size = 64x\n").size, 20);
    EXPECT_EQ(parseWorldMeta(formatWorldMeta(worlds[0].meta)).size, 64);
}

// Odd bytes on purpose: a carriage return, no final line feed, a zero byte.
const std::string kOldWorld = std::string("0.0[0] = 1\r\n0.1[0] = 2\0p_x = 3", 29);
const std::string kOldBackup = "the world before\n";

TEST_F(WorldCatalog, TheWorldOfBeforeJoinsTheListOnceAsMyWorldByteForByte) {
    writeText("data/world/world.ini", kOldWorld);
    writeText("data/world/world.ini.bak", kOldBackup);
    fs::create_directories(kRoot + ".new/My-world");  // left by a run stopped halfway
    writeText(kRoot + ".new/My-world/world.ini", "half");

    ASSERT_EQ(adoptOldWorld(kRoot, "data/world/world.ini", 1234), 0);
    const std::vector<WorldEntry> worlds = listWorlds(kRoot);
    ASSERT_EQ(worlds.size(), 1u);
    EXPECT_EQ(worlds[0].meta.name, "My world");
    EXPECT_EQ(readText(worldFileOf(kRoot, worlds[0].folder)), kOldWorld);
    EXPECT_EQ(readText(worldFileOf(kRoot, worlds[0].folder) + ".bak"), kOldBackup);
    EXPECT_EQ(readText("data/world/world.ini"), kOldWorld);  // the old files stay
    EXPECT_FALSE(fs::exists(kRoot + ".new"));

    // Once only: a player who deletes it does not get it back.
    std::string trashed;
    ASSERT_EQ(trashWorld(kRoot, worlds[0].folder, trashed), 0);
    ASSERT_EQ(adoptOldWorld(kRoot, "data/world/world.ini", 5678), 0);
    EXPECT_TRUE(listWorlds(kRoot).empty());
}

TEST_F(WorldCatalog, TheWorldOfBeforeIsAdoptedIntoAWorldsFolderMadeBeforeButNotWhenItCannotBeRead) {
    // A first start whose adoption failed, then a world made: the old world
    // still joins, beside it and under a name of its own.
    std::string made;
    ASSERT_EQ(createWorld(kRoot, "My world", WorldKind::Flat, 0, 10, made), 0);
    fs::create_directories("data/world/world.ini");  // a read that fails
    EXPECT_NE(adoptOldWorld(kRoot, "data/world/world.ini", 20), 0);
    EXPECT_EQ(listWorlds(kRoot).size(), 1u) << "no empty world adopted";
    EXPECT_FALSE(fs::exists(kRoot + "/.adopting"));

    fs::remove("data/world/world.ini");
    writeText("data/world/world.ini", kOldWorld);
    ASSERT_EQ(adoptOldWorld(kRoot, "data/world/world.ini", 30), 0);
    std::vector<WorldEntry> worlds = listWorlds(kRoot);
    ASSERT_EQ(worlds.size(), 2u);
    const WorldEntry& adopted = worlds[0].meta.kind == "imported" ? worlds[0] : worlds[1];
    EXPECT_EQ(adopted.folder, "My-world-2");
    EXPECT_EQ(adopted.meta.name, "My world (2)");
    EXPECT_EQ(readText(worldFileOf(kRoot, adopted.folder)), kOldWorld);
    ASSERT_EQ(adoptOldWorld(kRoot, "data/world/world.ini", 40), 0);
    EXPECT_EQ(listWorlds(kRoot).size(), 2u) << "once only";
}

TEST_F(WorldCatalog, ANewPlayerHasNoWorldToAdopt) {
    EXPECT_EQ(adoptOldWorld(kRoot, "data/world/world.ini", 1), 0);
    EXPECT_TRUE(listWorlds(kRoot).empty());
}

}  // namespace

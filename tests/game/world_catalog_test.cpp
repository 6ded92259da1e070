// The list of worlds on a real disk: names that cannot escape or clash,
// deletion that keeps everything, and the single world of before taken in
// byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game/world_catalog.h"
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
        {"\xff\xfe\xc0\xaf", "world"},  // broken and overlong UTF-8
        {"Wörld ☃ 世界", "Wörld-☃-世界"},
        {"con", "con-world"},
        {"LPT1", "LPT1-world"},
        {"under_score-dash", "under_score-dash"},
    };
    for (const auto& c : cases) EXPECT_EQ(safeFolderName(c.typed), c.folder) << c.typed;
    EXPECT_EQ(safeFolderName(std::string(300, 'a')), std::string(40, 'a'));
    std::string snowmen;
    for (int i = 0; i < 30; ++i) snowmen += "☃";  // three bytes each: 40 splits one
    const std::string cut = safeFolderName(snowmen);
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
    EXPECT_EQ(worlds[2].meta.name, "my WORLD");
}

TEST_F(WorldCatalog, TheSameSeedWritesTheSameWorldFile) {
    std::string a, b, c;
    ASSERT_EQ(createWorld(kRoot, "a", WorldKind::Island, 99, 0, a), 0);
    ASSERT_EQ(createWorld(kRoot, "b", WorldKind::Island, 99, 0, b), 0);
    ASSERT_EQ(createWorld(kRoot, "c", WorldKind::Island, 100, 0, c), 0);
    EXPECT_EQ(readText(worldFileOf(kRoot, a)), readText(worldFileOf(kRoot, b)));
    EXPECT_NE(readText(worldFileOf(kRoot, a)), readText(worldFileOf(kRoot, c)));
}

TEST_F(WorldCatalog, ADeletedWorldMovesWholeIntoTheTrashAndNothingEscapesTheFolder) {
    std::string made, again, trashed;
    ASSERT_EQ(createWorld(kRoot, "Doomed", WorldKind::Starter, 0, 0, made), 0);
    writeText(worldFileOf(kRoot, made) + ".bak", "the backup\n");
    const std::string world = readText(worldFileOf(kRoot, made));
    ASSERT_EQ(trashWorld(kRoot, made, trashed), 0);
    EXPECT_EQ(trashed, "Doomed");
    EXPECT_TRUE(listWorlds(kRoot).empty());
    EXPECT_EQ(readText(kRoot + "/.trash/Doomed/world.ini"), world);
    EXPECT_EQ(readText(kRoot + "/.trash/Doomed/world.ini.bak"), "the backup\n");

    ASSERT_EQ(createWorld(kRoot, "Doomed", WorldKind::Empty, 0, 0, again), 0);
    ASSERT_EQ(trashWorld(kRoot, again, trashed), 0);
    EXPECT_EQ(trashed, "Doomed-2");
    EXPECT_EQ(readText(kRoot + "/.trash/Doomed/world.ini"), world);

    writeText("data/precious.txt", "keep");
    EXPECT_NE(trashWorld(kRoot, "..", trashed), 0);
    EXPECT_NE(trashWorld(kRoot, ".trash", trashed), 0);
    EXPECT_NE(trashWorld(kRoot, "../data", trashed), 0);
    EXPECT_EQ(readText("data/precious.txt"), "keep");
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

TEST_F(WorldCatalog, ANewPlayerHasNoWorldToAdopt) {
    EXPECT_EQ(adoptOldWorld(kRoot, "data/world/world.ini", 1), 0);
    EXPECT_TRUE(listWorlds(kRoot).empty());
}

}  // namespace

// The settings file: its literal text, what a damaged one leaves, and saves
// that replace it whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "game/key_bindings.h"
#include "game/paths.h"
#include "game/settings.h"
#include "support/temp_folder.h"

namespace {

// Some of the keyboard library's names, as it gives them on X11.
const std::map<std::string, int> kKeys = {{"Up", KeyUp},
                                          {"Down", KeyDown},
                                          {"Left", KeyLeft},
                                          {"Right", KeyRight},
                                          {"Control_R", KeyRightCtrl},
                                          {"space", KeySpace},
                                          {"i", KeyI},
                                          {"j", KeyJ},
                                          {"F11", KeyF11},
                                          {"F1", KeyF1},
                                          {"F2", KeyF2},
                                          {"a", KeyA},
                                          {"k", 11},
                                          {"m", KeyM},
                                          {"n", KeyM + 1},
                                          {"Escape", KeyEscape},
                                          {"1", Key1}};

std::string nameOf(int key) {
    for (const auto& named : kKeys)
        if (named.second == key) return named.first;
    return "";
}

int keyOf(const std::string& name) { return kKeys.count(name) ? kKeys.at(name) : -1; }

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { setKeyNames(nameOf, keyOf); }
    void TearDown() override {
        settings = Settings{};
        keyBindings = KeyBindings{};
        setKeyNames(nullptr, nullptr);
    }
    // Loads the file and returns what was said on standard error.
    std::string load() {
        testing::internal::CaptureStderr();
        loadSettings();
        return testing::internal::GetCapturedStderr();
    }

    TempFolder folder;
};

TEST_F(SettingsFile, WhatIsSavedIsTheLiteralFileAndLoadsBackTheSame) {
    settings.windowWidth = 1000;
    settings.windowHeight = 800;
    settings.fullscreen = true;
    settings.joinServer = "play.example:7000";
    settings.joinName = "ann_2";
    settings.hostPort = 7000;
    keyBindings.key[static_cast<int>(Action::Mine)] = 11;
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readText(settingsFile()),
              "# Tessaria settings: one \"name = value\" a line.\n"
              "window.width = 1000\nwindow.height = 800\nwindow.fullscreen = 1\n"
              "join.server = play.example:7000\njoin.name = ann_2\nhost.port = 7000\n"
              "key.walk_up = Up\nkey.walk_down = Down\nkey.walk_left = Left\n"
              "key.walk_right = Right\nkey.mine = k\nkey.place = space\nkey.height = i\n"
              "key.auto_jump = j\nkey.rest = F11\nkey.look1 = F1\nkey.look2 = F2\n"
              "key.map = m\n");
    for (const auto& entry : std::filesystem::directory_iterator("data"))
        EXPECT_EQ(entry.path().filename().string().rfind("settings.ini.tmp", 0), std::string::npos)
            << entry.path();

    settings = Settings{};
    keyBindings = KeyBindings{};
    EXPECT_EQ(load(), "");
    EXPECT_EQ(settings.windowWidth, 1000);
    EXPECT_EQ(settings.windowHeight, 800);
    EXPECT_TRUE(settings.fullscreen);
    EXPECT_EQ(settings.joinServer, "play.example:7000");
    EXPECT_EQ(settings.joinName, "ann_2");
    EXPECT_EQ(settings.hostPort, 7000);
    EXPECT_EQ(boundKey(Action::Mine), 11);
    EXPECT_TRUE(isRebound(Action::Mine));
    EXPECT_FALSE(isRebound(Action::Place));
}

TEST_F(SettingsFile, TheClassicSwitchIsWrittenOnlyWhenOnAndReadBack) {
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readText(settingsFile()).find("classic"), std::string::npos);
    settings.classic = true;
    ASSERT_TRUE(saveSettings());
    EXPECT_NE(readText(settingsFile()).find("\nclassic = 1\n"), std::string::npos);
    settings = Settings{};
    EXPECT_EQ(load(), "");
    EXPECT_TRUE(settings.classic);
}

TEST_F(SettingsFile, AMissingOrUnreadableFileGivesTheDefaultsQuietly) {
    settings.windowWidth = 1000;
    keyBindings.key[static_cast<int>(Action::Place)] = 13;
    EXPECT_EQ(load(), "");
    EXPECT_EQ(settings.windowWidth, 0);
    EXPECT_FALSE(isRebound(Action::Place));

    std::filesystem::create_directories(settingsFile());  // a folder where the file should be
    EXPECT_EQ(load(), "");
    EXPECT_EQ(settings.windowHeight, 0);
    EXPECT_FALSE(settings.fullscreen);
}

TEST_F(SettingsFile, EachLineNotUnderstoodKeepsItsDefaultAndIsReportedOnce) {
    writeText(settingsFile(),
              "# a comment, then an empty line\r\n"
              "\r\n"
              "window.width = 500\r\n"  // smaller than the picture
              "window.height = 8OO\n"   // letters
              "window.fullscreen = yes\n"
              "  key.place   =   k  \n"  // blanks around both: understood
              "key.mine = Hyper_Q\n"     // no such key
              "key.fly = m\n"            // no such action
              "join.name = ann b\n"      // a blank in a name
              "host.port = 65536\n"      // no such port
              "just words\n"
              "window.width\n");
    const std::string errors = load();
    EXPECT_EQ(settings.windowWidth, 0);
    EXPECT_EQ(settings.windowHeight, 0);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(boundKey(Action::Place), 11);
    EXPECT_FALSE(isRebound(Action::Mine));
    EXPECT_NE(errors.find("Tessaria: data/settings.ini line 7: no key is named \"Hyper_Q\"; "
                          "key.mine stays Control_R\n"),
              std::string::npos)
        << errors;
    EXPECT_EQ(settings.joinName, "");
    EXPECT_EQ(settings.hostPort, kDefaultHostPort);
    // Lines 3, 4, 5, 7, 8, 9, 10, 11 and 12, one line each.
    EXPECT_EQ(splitLines(errors).size(), 9u) << errors;
}

// Escape would mine and leave for the menu; one key for two of the player's
// lines would do both, so the earlier line keeps it.
TEST_F(SettingsFile, KeysTheGameKeepsOrAnEarlierLineHasAreRefusedNamingTheAction) {
    writeText(settingsFile(),
              "key.mine = Escape\n"
              "key.place = 1\n"
              "key.look1 = k\n"
              "key.look2 = k\n"
              "key.walk_up = Down\n"  // a swap holds
              "key.walk_down = Up\n");
    const std::string errors = load();
    EXPECT_EQ(errors,
              "Tessaria: data/settings.ini line 1: the game keeps Escape for itself; key.mine "
              "stays Control_R\n"
              "Tessaria: data/settings.ini line 2: the game keeps 1 for itself; key.place stays "
              "space\n"
              "Tessaria: data/settings.ini line 4: k is already the key of key.look1; key.look2 "
              "stays F2\n");
    EXPECT_EQ(boundKey(Action::Mine), KeyRightCtrl);
    EXPECT_EQ(boundKey(Action::Place), KeySpace);
    EXPECT_EQ(boundKey(Action::Look1), 11);
    EXPECT_EQ(boundKey(Action::Look2), KeyF2);
    EXPECT_EQ(boundKey(Action::WalkUp), KeyDown);
    EXPECT_EQ(boundKey(Action::WalkDown), KeyUp);

    // A refused line is the player's to mend: a save leaves it as written.
    ASSERT_TRUE(saveSettings());
    const std::string saved = readText(settingsFile());
    EXPECT_EQ(saved.compare(0, 41, "key.mine = Escape\nkey.place = 1\nkey.look1"), 0) << saved;
    EXPECT_NE(saved.find("\nkey.look2 = k\n"), std::string::npos) << saved;
}

// A file from before the map had its own key: the player's M for mining
// stays theirs, the map moves to the next free letter, and a save writes that
// down so the move is told once.
TEST_F(SettingsFile, APlayersKeyWinsOverANewDefaultWhichMovesOnAndSaysSoOnce) {
    writeText(settingsFile(), "window.fullscreen = 0\nkey.mine = m\nkey.height = space\n");
    EXPECT_EQ(load(),
              "Tessaria: data/settings.ini line 3: space, the default of key.place, is the key "
              "of key.height here; key.place gets a\n"
              "Tessaria: data/settings.ini line 2: m, the default of key.map, is the key of "
              "key.mine here; key.map gets n\n");
    EXPECT_EQ(boundKey(Action::Mine), KeyM);
    EXPECT_EQ(boundKey(Action::Map), KeyM + 1);
    EXPECT_EQ(boundKey(Action::Height), KeySpace);
    EXPECT_EQ(boundKey(Action::Place), KeyA);

    ASSERT_TRUE(saveSettings());
    const std::string saved = readText(settingsFile());
    EXPECT_EQ(saved.compare(0, 54, "window.fullscreen = 0\nkey.mine = m\nkey.height = space\n"), 0)
        << saved;
    EXPECT_NE(saved.find("\nkey.map = n\n"), std::string::npos) << saved;
    EXPECT_EQ(load(), "");
    EXPECT_EQ(boundKey(Action::Mine), KeyM);
    EXPECT_EQ(boundKey(Action::Map), KeyM + 1);
    EXPECT_EQ(boundKey(Action::Place), KeyA);
}

// Only the values the game owns are rewritten; a byte-order mark is no line.
TEST_F(SettingsFile, ASaveKeepsCommentsAndLinesNotUnderstoodAndSkipsAByteOrderMark) {
    writeText(settingsFile(),
              "\xEF\xBB\xBFwindow.width = 1000\n"
              "# my keys\n"
              "key.place = k\n"
              "music.volume = 3\n"
              "window.height = 800\n");
    const std::string errors = load();
    EXPECT_EQ(settings.windowWidth, 1000);
    EXPECT_EQ(errors,
              "Tessaria: data/settings.ini line 4: \"music.volume = 3\" is not understood; "
              "it is ignored\n");
    settings.windowWidth = 1200;
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readText(settingsFile()),
              "window.width = 1200\n# my keys\nkey.place = k\nmusic.volume = 3\n"
              "window.height = 800\nwindow.fullscreen = 0\nkey.walk_up = Up\n"
              "key.walk_down = Down\nkey.walk_left = Left\nkey.walk_right = Right\n"
              "key.mine = Control_R\nkey.height = i\nkey.auto_jump = j\nkey.rest = F11\n"
              "key.look1 = F1\nkey.look2 = F2\nkey.map = m\n");
}

TEST_F(SettingsFile, ASaveThatCannotBeWrittenSaysSoInOneLine) {
    writeText("data", "not a folder");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tessaria: cannot save data/settings.ini: Not a directory\n");
}

// A long file of the player's notes is read whole and kept whole; one too
// large to read whole is left as it is, never cut.
TEST_F(SettingsFile, ALargeFileIsKeptWholeAndOneTooLargeIsNeverRewritten) {
    std::string notes;
    while (notes.size() < 100 * 1024) notes += "# a note the player keeps, line after line\n";
    const std::string window = "window.width = 1000\nwindow.height = 800\n";
    writeText(settingsFile(), notes + window);
    EXPECT_EQ(load(), "");
    EXPECT_EQ(settings.windowHeight, 800);
    ASSERT_TRUE(saveSettings());
    const std::string saved = readText(settingsFile());
    EXPECT_EQ(saved.compare(0, notes.size() + window.size(), notes + window), 0);

    while (notes.size() < 1024 * 1024) notes += notes;
    writeText(settingsFile(), notes + "window.width = 1000\n");
    load();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveSettings());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("data/settings.ini is left as it is"),
              std::string::npos);
    EXPECT_EQ(readText(settingsFile()), notes + "window.width = 1000\n");
}

}  // namespace

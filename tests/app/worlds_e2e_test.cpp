// The worlds as a new player meets them, in the real game: made from the list,
// each played in its own folder under its own lock, one moved to the trash,
// the world from before the list taken in, and two copies at once.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "app/e2e_harness.h"
#include "game/world_lock.h"

namespace fs = std::filesystem;

namespace {

class WorldsInAWindow : public ::testing::Test {
protected:
    void SetUp() override {
        button = readBmp(folder.path() / "data/gfx/008.bmp");
        cursor = readBmp(folder.path() / "data/gfx/004.bmp");
        ASSERT_TRUE(button.width > 0 && cursor.width > 0);
    }

    fs::path worlds() const { return folder.path() / "data/worlds"; }

    // Escape (the intro, or the game) to the menu, then "single player".
    bool openWorldList(Window window) {
        if (!escapeToTitleMenu(server, window, button, kStartSeconds)) return false;
        clickAt(server, 300, 220);
        return waitUntil(worldListShown(server, button), kStartSeconds);
    }

    bool gameShown() {
        return waitUntil(
            [&] {
                return differingPixels(grabScreen(server), 182, 416, cursor, 0, 0, cursor.width,
                                       cursor.height) == 0;
            },
            kStartSeconds);
    }

    // Keys as typed: each one an event the list reads, however fast.
    void type(Window window, const std::string& keys) {
        xdotool(server, "windowfocus --sync " + std::to_string(window));
        xdotool(server, "key --delay 40 " + keys);
    }

    // The name typed over the one filled in, the kind moved on `kindSteps`.
    void makeWorld(Window window, const std::string& name, int kindSteps) {
        type(window, "BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace");
        xdotool(server, "type --delay 40 '" + name + "'");
        type(window, "Down");
        for (int step = 0; step < kindSteps; ++step) type(window, "Right");
        type(window, "Return");
    }

    // Whether another copy of the game holds the world in `name`'s folder
    // (a probe makes the folder it locks: none where there is no world yet).
    bool heldElsewhere(const std::string& name) {
        if (!fs::exists(worlds() / name / "world.meta")) return false;
        WorldLock probe;
        return probe.take((worlds() / name).string()) == WorldLock::Outcome::HeldElsewhere;
    }

    XServer server;
    RunFolder folder;
    Image button, cursor;
};

TEST_F(WorldsInAWindow, ANewPlayerMakesTwoWorldsPlaysEachInItsOwnFolderAndDeletesOneToTheTrash) {
    fs::remove_all(worlds());
    GameProcess game(server, folder);
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();

    // No world yet: "single player" opens the new-world panel, an island.
    ASSERT_TRUE(openWorldList(window)) << saveScreenshot(server, "worlds-no-panel");
    makeWorld(window, "Home", 0);
    ASSERT_TRUE(gameShown()) << saveScreenshot(server, "worlds-home-not-played");
    EXPECT_NE(readText(worlds() / "Home/world.meta").find("name = Home\nkind = island\n"),
              std::string::npos);
    EXPECT_TRUE(heldElsewhere("Home"));

    sleepSeconds(1.1);  // played a second later, so listed first
    ASSERT_TRUE(openWorldList(window)) << saveScreenshot(server, "worlds-no-list");
    type(window, "n");
    makeWorld(window, "Flat land", 1);
    ASSERT_TRUE(waitUntil([&] { return heldElsewhere("Flat-land"); }, kStartSeconds))
        << saveScreenshot(server, "worlds-flat-not-played");
    EXPECT_TRUE(gameShown());
    EXPECT_NE(readText(worlds() / "Flat-land/world.meta").find("kind = flat\n"), std::string::npos);
    EXPECT_FALSE(heldElsewhere("Home")) << "the world left is let go";

    // Both listed, the one played last first: the second row is Home again.
    ASSERT_TRUE(openWorldList(window));
    type(window, "Down Return");
    ASSERT_TRUE(waitUntil([&] { return heldElsewhere("Home"); }, kStartSeconds))
        << saveScreenshot(server, "worlds-home-not-reopened");
    EXPECT_FALSE(heldElsewhere("Flat-land"));
    EXPECT_TRUE(gameShown());

    // The list starts on the open world; Delete asks, Enter says yes.
    ASSERT_TRUE(openWorldList(window));
    type(window, "Delete");
    sleepSeconds(0.3);
    EXPECT_TRUE(fs::exists(worlds() / "Home")) << "deleted without asking";
    type(window, "Return");
    ASSERT_TRUE(waitUntil([&] { return fs::exists(worlds() / ".trash/Home/world.ini"); }))
        << saveScreenshot(server, "worlds-not-trashed");
    EXPECT_FALSE(fs::exists(worlds() / "Home"));

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    WorldFile saved;
    std::string problem;
    for (const fs::path& file :
         {worlds() / ".trash/Home/world.ini", worlds() / "Flat-land/world.ini"})
        EXPECT_TRUE(readWorldFile(file, &saved, &problem)) << file << ": " << problem;
    EXPECT_EQ(game.errorOutput().find("Tessaria:"), std::string::npos) << game.errorOutput();
}

TEST_F(WorldsInAWindow, TheWorldFromBeforeTheListJoinsItAsMyWorldWithBothFilesByteForByte) {
    fs::remove_all(worlds());
    WorldFile before;
    before.at(3, 4, 5) = 9;
    before.playerX = 3, before.playerY = 4;
    const fs::path oldWorld = folder.path() / "data/world/world.ini";
    writeWorldFile(oldWorld, before);
    writeText(oldWorld.string() + ".bak", "the world before that");
    const std::string oldText = readText(oldWorld);

    // A name that is no world's ends the run before it starts.
    GameProcess missing(server, folder, {}, nullptr, {"--world", "Atlantis"});
    EXPECT_EQ(missing.waitForExit(kStartSeconds), 1);
    EXPECT_EQ(missing.errorOutput(), "Tessaria: no world named \"Atlantis\" in data/worlds\n");

    // The first run took the old world in; its name starts it at once.
    GameProcess game(server, folder, {}, nullptr, {"--world", "My world"});
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    EXPECT_TRUE(gameShown()) << saveScreenshot(server, "my-world-not-started");
    EXPECT_TRUE(heldElsewhere("My-world"));
    EXPECT_EQ(readText(worlds() / "My-world/world.ini"), oldText);
    EXPECT_EQ(readText(worlds() / "My-world/world.ini.bak"), "the world before that");
    EXPECT_NE(readText(worlds() / "My-world/world.meta").find("name = My world\n"),
              std::string::npos);
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    EXPECT_EQ(readText(oldWorld), oldText) << "the old files stay as they were";
}

TEST_F(WorldsInAWindow, TwoCopiesPlayTwoWorldsAtOnceButNeverOneWorldTwice) {
    fs::create_directories(worlds() / "other");
    writeText(worlds() / "other/world.meta", "name = Other\nkind = empty\n");
    GameProcess first(server, folder, {}, nullptr, kPlayTestWorld);
    ASSERT_NE(waitForWindow(server, kStartSeconds), 0u) << first.errorOutput();
    ASSERT_TRUE(waitUntil([&] { return heldElsewhere(kTestWorld); }, kStartSeconds));
    GameProcess second(server, folder, {}, nullptr, {"--world", "Other"});
    ASSERT_TRUE(waitUntil([&] { return heldElsewhere("other"); }, kStartSeconds))
        << second.errorOutput();
    GameProcess third(server, folder, {}, nullptr, kPlayTestWorld);
    EXPECT_EQ(third.waitForExit(kStartSeconds), 1);
    EXPECT_EQ(third.errorOutput(), "Tessaria: the world is open in another copy of the game\n");

    for (GameProcess* game : {&first, &second}) {
        EXPECT_TRUE(game->running());
        kill(game->pid(), SIGTERM);
        EXPECT_EQ(game->waitForExit(kExitSeconds), 0) << game->errorOutput();
    }
    EXPECT_TRUE(fs::exists(folder.worldFile()));
    EXPECT_TRUE(fs::exists(worlds() / "other/world.ini"));
}

// The gestures that once deleted four worlds: Delete held down, and a double
// click on "Delete". The question waits for a fresh answer.
TEST_F(WorldsInAWindow, NeitherAHeldDeleteNorADoubleClickAnswersTheQuestionItAsked) {
    for (const char* name : {"one", "two", "three"}) {
        fs::create_directories(worlds() / name);
        writeText(worlds() / name / "world.meta",
                  std::string("name = ") + name + "\nkind = empty\n");
    }
    const auto trashed = [&] {
        int count = 0;
        std::error_code none;
        for (const auto& entry : fs::directory_iterator(worlds() / ".trash", none))
            count += !!entry.exists();
        return count;
    };
    GameProcess game(server, folder);
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    ASSERT_TRUE(openWorldList(window)) << saveScreenshot(server, "held-delete-no-list");

    holdKey(server, window, "Delete", 2.5);
    sleepSeconds(0.3);
    EXPECT_EQ(trashed(), 0) << "a repeat of the key answered";
    type(window, "Return");
    EXPECT_TRUE(waitUntil([&] { return trashed() == 1; })) << "a fresh press says yes";

    xdotool(server, "mousemove --sync 150 420");
    xdotool(server, "click --repeat 2 --delay 120 1");
    sleepSeconds(0.5);
    EXPECT_EQ(trashed(), 1) << "the second click of a double click answered";

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
}

}  // namespace

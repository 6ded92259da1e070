// The main loop's state machine, driven in-process with real assets drawn into
// a memory frame buffer: one frame per event, the intro clock, the menu, quit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>

#include "app/game_screen.h"
#include "app/inventory_panel.h"
#include "app/main_loop.h"
#include "app/map_panel.h"
#include "app/options_screen.h"
#include "app/platform.h"
#include "app/pointer.h"
#include "app/run_folder.h"
#include "app/sound.h"
#include "app/startup.h"
#include "app/status_line.h"
#include "app/world_list.h"
#include "game/key_bindings.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "game/settings.h"
#include "game/world_save.h"
#include "game/world_setup.h"
#include "render/assets.h"
#include "rules/input.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

namespace fs = std::filesystem;

namespace {

std::set<int> heldKeys;
void noSnapshot() {}
bool testKeyDown(int key) { return heldKeys.count(key) > 0; }
void noPause(int) {}

class MainLoop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(al_init());
        al_init_image_addon();
        al_init_font_addon();
        al_init_ttf_addon();
        folder = new RunFolder();
        previous = fs::current_path();
        fs::current_path(folder->path());
        playWorldFolder(folder->worldFolder().string());
        ASSERT_TRUE(loadFonts());
        ASSERT_TRUE(loadAssets());
    }
    static void TearDownTestSuite() {
        shutdown();
        fs::current_path(previous);
        delete folder;
    }
    void SetUp() override {
        setKeyboard(noSnapshot, testKeyDown);
        setPause(noPause);
        heldKeys.clear();
        settings.classic = false;
        keyBindings = KeyBindings{};
        gameScreen = GameScreen{};
        pointer = PointerState{};
        beginSavingRun();  // no autosave of an earlier test lands after this
        fs::remove(folder->worldFile());
        player = PlayerState{};  // zero, as at program start
        setUpWorld();
        startIntro();  // as start-up does after the set-up
    }

    static bool send(int type) {
        ALLEGRO_EVENT event = {};
        event.type = type;
        return processEvent(event);
    }
    static bool tick() { return send(ALLEGRO_EVENT_TIMER); }
    static bool moveMouse(int x, int y) {
        ALLEGRO_EVENT event = {};
        event.type = ALLEGRO_EVENT_MOUSE_AXES;
        event.mouse.x = x;
        event.mouse.y = y;
        return processEvent(event);
    }
    // A key pressed and let go between two ticks: only its events tell.
    static void tap(int key) {
        ALLEGRO_EVENT event = {};
        event.keyboard.keycode = key;
        event.type = ALLEGRO_EVENT_KEY_DOWN;
        processKeyEvent(event);
        event.type = ALLEGRO_EVENT_KEY_UP;
        processKeyEvent(event);
    }
    // A click as the loop sees it: the press and the release, each an event.
    static void click(int x, int y) {
        moveMouse(x, y);
        send(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN);
        send(ALLEGRO_EVENT_MOUSE_BUTTON_UP);
    }

    static RunFolder* folder;
    static fs::path previous;
};
RunFolder* MainLoop::folder = nullptr;
fs::path MainLoop::previous;

TEST_F(MainLoop, TheIntroEndsAtTick160AndShowsTheMenu) {
    ASSERT_EQ(gameScreen.screen, Screen::Intro);
    for (int i = 0; i < 159; ++i) tick();
    EXPECT_EQ(gameScreen.screen, Screen::Intro);
    EXPECT_EQ(gameScreen.introStage, 4);
    tick();
    EXPECT_FALSE(gameScreen.introRunning);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
    EXPECT_EQ(gameScreen.introStage, 0);
    EXPECT_EQ(gameScreen.introTicks, 0);
}

TEST_F(MainLoop, EscapeDuringTheIntroShowsTheMenuOverItAndTheIntroStillEndsOnTime) {
    for (int i = 0; i < 40; ++i) tick();
    heldKeys.insert(KeyEscape);
    tick();
    heldKeys.clear();
    EXPECT_TRUE(gameScreen.introRunning);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
    for (int i = 41; i < 160; ++i) tick();
    EXPECT_FALSE(gameScreen.introRunning);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
}

TEST_F(MainLoop, TheClassicEscapeBringsBackTheMenuAndKeepsThePlayer) {
    settings.classic = true;
    gameScreen = GameScreen{};
    gameScreen.screen = Screen::Game;
    gameScreen.menuSelection = MenuCredits;
    placePlayer(player, camera, 10, 10);
    player.level = 5;
    player.autoJump = false;
    heldKeys.insert(KeyEscape);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
    EXPECT_EQ(gameScreen.menuSelection, MenuNone);
    EXPECT_EQ(player.x, 10);
    EXPECT_EQ(player.y, 10);
    EXPECT_EQ(player.level, 5);
}

TEST_F(MainLoop, TheClassicEscapeActsWhileThePlayerIsBusy) {
    settings.classic = true;
    gameScreen.screen = Screen::Game;
    heldKeys.insert(KeyRightCtrl);
    tick();
    heldKeys.clear();
    ASSERT_TRUE(player.busy);
    heldKeys.insert(KeyEscape);
    tick();
    EXPECT_TRUE(player.busy);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
}

// Every switch, the inventory and Escape take the tap; a switch held down
// flips once, not on every tick.
TEST_F(MainLoop, ATapBetweenTwoTicksActsOnceAndAHeldSwitchFlipsOnce) {
    gameScreen.screen = Screen::Game;
    tick();
    const PlayerState start = player;
    tap(KeyF1);
    tap(KeyJ);
    tick();
    EXPECT_EQ(player.spriteRow, (start.spriteRow + 1) % 7);
    EXPECT_NE(player.autoJump, start.autoJump);
    tick();
    EXPECT_EQ(player.spriteRow, (start.spriteRow + 1) % 7) << "one tap, one change";
    tap(KeyE);
    tick();
    EXPECT_TRUE(inventoryOpen());
    tap(KeyEscape);
    tick();
    EXPECT_FALSE(inventoryOpen());
    EXPECT_EQ(gameScreen.screen, Screen::Game) << "Escape closed the panel only";

    heldKeys.insert(KeyI);
    for (int i = 0; i < 30; ++i) tick();
    heldKeys.clear();
    EXPECT_NE(player.targetRaised, start.targetRaised);
    tick();
    EXPECT_NE(player.targetRaised, start.targetRaised) << "held for 30 ticks, flipped once";
}

// Escape pauses the single player's world under a menu that the keys work;
// Escape again, or its first row, goes back to the game as it was.
TEST_F(MainLoop, EscapePausesTheGameAndTheKeysWorkThePauseMenu) {
    gameScreen.screen = Screen::Game;
    tick();
    tap(KeyEscape);
    tick();
    ASSERT_EQ(gameScreen.screen, Screen::Paused);
    const WorldClock clock = worldClock;
    heldKeys.insert(KeyLeft);
    for (int i = 0; i < 20; ++i) tick();
    heldKeys.clear();
    EXPECT_EQ(worldClock.dayTick, clock.dayTick) << "the world went on";
    EXPECT_EQ(player.holdTicks, 0) << "the arrows reached the player";
    tap(KeyEscape);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Game);
    tick();
    EXPECT_EQ(worldClock.dayTick, clock.dayTick + 1);

    tap(KeyEscape);
    tick();
    tap(ALLEGRO_KEY_ENTER);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Game) << "Enter takes the first row, back to the game";
    tap(KeyEscape);
    tick();
    tap(ALLEGRO_KEY_DOWN);
    tick();
    tap(ALLEGRO_KEY_ENTER);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
    EXPECT_EQ(gameScreen.menuSelection, MenuNone);

    // The title menu's keys: its first row is chosen, two Downs reach
    // Controls, and Enter opens its panel.
    for (int key : {ALLEGRO_KEY_DOWN, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_ENTER}) {
        tap(key);
        tick();
    }
    EXPECT_EQ(gameScreen.menuSelection, MenuControls);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
}

// Enter works on the title menu as soon as it shows, and the menu comes back
// from a game with the row last taken chosen.
TEST_F(MainLoop, TheTitleMenuTakesEnterAtOnceAndComesBackOnTheRowLastTaken) {
    const auto press = [&](std::initializer_list<int> keys) {
        for (int key : keys) {
            tap(key);
            tick();
        }
    };
    for (int i = 0; i < 160; ++i) tick();
    press({ALLEGRO_KEY_ENTER});
    EXPECT_EQ(gameScreen.screen, Screen::Worlds) << "single player was chosen";
    escapeToMenu();
    press({ALLEGRO_KEY_DOWN, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_ENTER});
    ASSERT_EQ(gameScreen.menuSelection, MenuControls);
    gameScreen.screen = Screen::Game;
    press({KeyEscape, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_ENTER});  // the pause menu's "Title menu"
    ASSERT_EQ(gameScreen.screen, Screen::Menu);
    press({ALLEGRO_KEY_ENTER});
    EXPECT_EQ(gameScreen.menuSelection, MenuControls);
}

std::string fewKeyNames(int key) {
    switch (key) {
        case ALLEGRO_KEY_K:
            return "k";
        case KeyJ:
            return "j";
        case KeyRightCtrl:
            return "RCTRL";
        case Key1 + 4:
            return "5";
        default:
            return "";
    }
}
int fewKeysNamed(const std::string& name) {
    for (int key : {int(ALLEGRO_KEY_K), int(KeyJ), int(KeyRightCtrl), Key1 + 4})
        if (fewKeyNames(key) == name) return key;
    return -1;
}

// A key pressed on the options screen binds the chosen action, unless the
// game keeps it or another action has it; the settings file gets the new
// key at once and keeps the player's own lines.
TEST_F(MainLoop, TheOptionsBindTheKeyPressedAndRefuseKeptAndTakenKeys) {
    setKeyNames(fewKeyNames, fewKeysNamed);
    fs::create_directories("data");
    { std::ofstream("data/settings.ini") << "# my keys\n"; }
    loadSettings();
    gameScreen.screen = Screen::Menu;
    openOptions(Screen::Menu);
    const auto press = [&](int key) {
        tap(key);
        tick();
    };
    for (int i = 0; i < 4; ++i) press(ALLEGRO_KEY_DOWN);  // to "mine"
    press(ALLEGRO_KEY_ENTER);
    press(Key1 + 4);
    EXPECT_EQ(boundKey(Action::Mine), KeyRightCtrl);
    EXPECT_NE(optionsMessage().find("kept"), std::string::npos) << optionsMessage();
    press(ALLEGRO_KEY_ENTER);
    press(KeyJ);
    EXPECT_EQ(boundKey(Action::Mine), KeyRightCtrl);
    EXPECT_NE(optionsMessage().find("auto jump"), std::string::npos) << optionsMessage();
    press(ALLEGRO_KEY_ENTER);
    press(ALLEGRO_KEY_K);
    EXPECT_EQ(boundKey(Action::Mine), ALLEGRO_KEY_K);
    std::stringstream text;
    text << std::ifstream("data/settings.ini").rdbuf();
    EXPECT_NE(text.str().find("# my keys"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("key.mine = k"), std::string::npos) << text.str();
    press(KeyEscape);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
    keyBindings = KeyBindings{};
    setKeyNames(nullptr, nullptr);
    fs::remove("data/settings.ini");
}

// The options' other rows act on Enter and are saved at once, the player's
// own lines kept.
TEST_F(MainLoop, TheOptionsRestoreDefaultKeysAndSaveEachChange) {
    setKeyNames(fewKeyNames, fewKeysNamed);
    fs::create_directories("data");
    { std::ofstream("data/settings.ini") << "# my keys\nkey.mine = k\n"; }
    loadSettings();
    ASSERT_EQ(boundKey(Action::Mine), ALLEGRO_KEY_K);
    gameScreen.screen = Screen::Menu;
    openOptions(Screen::Menu);
    const auto press = [&](int key) {
        tap(key);
        tick();
    };
    const auto file = [] {
        std::stringstream text;
        text << std::ifstream("data/settings.ini").rdbuf();
        return text.str();
    };
    for (int i = 0; i < kActionCount; ++i) press(ALLEGRO_KEY_DOWN);  // to "Defaults"
    press(ALLEGRO_KEY_ENTER);
    EXPECT_EQ(boundKey(Action::Mine), KeyRightCtrl);
    EXPECT_NE(file().find("# my keys"), std::string::npos) << file();
    EXPECT_NE(file().find("key.mine = RCTRL"), std::string::npos) << file();

    // Tab goes to the picture's rows, then the sound's, then the multiplayer's.
    static int samples = 0;
    samples = 0;
    setSoundRequest([](const char*) { return ++samples > 0; });
    press(ALLEGRO_KEY_TAB);
    press(ALLEGRO_KEY_DOWN);
    press(ALLEGRO_KEY_DOWN);
    press(ALLEGRO_KEY_ENTER);
    EXPECT_FALSE(settings.classic) << "asked first";
    press(ALLEGRO_KEY_ENTER);
    EXPECT_TRUE(settings.classic);
    press(ALLEGRO_KEY_TAB);
    press(ALLEGRO_KEY_LEFT);
    press(ALLEGRO_KEY_LEFT);
    EXPECT_EQ(samples, 2) << "each change of the volume sounds";
    press(ALLEGRO_KEY_TAB);
    press(ALLEGRO_KEY_ENTER);
    click(230, 448);  // the chat's row
    tick();
    setSoundRequest(nullptr);
    EXPECT_NE(file().find("# my keys"), std::string::npos) << file();
    loadSettings();
    EXPECT_TRUE(settings.classic);
    EXPECT_EQ(settings.soundVolume, 8);
    EXPECT_FALSE(settings.showNames);
    EXPECT_FALSE(settings.showChat) << file();
    press(KeyEscape);
    settings = Settings{};
    keyBindings = KeyBindings{};
    setKeyNames(nullptr, nullptr);
    fs::remove("data/settings.ini");
}

// A settings file too large to be read whole is never rewritten: the window's
// rows then say that their change holds for this run only.
TEST_F(MainLoop, TheOptionsSayNotSavedWhenTheFileWasNotWritten) {
    fs::create_directories("data");
    const std::string notes(1024 * 1024 + 1, '#');
    { std::ofstream("data/settings.ini") << notes; }
    testing::internal::CaptureStderr();
    loadSettings();
    gameScreen.screen = Screen::Menu;
    openOptions(Screen::Menu);
    for (int key : {int(ALLEGRO_KEY_TAB), int(ALLEGRO_KEY_ENTER)}) {  // the window's scale
        tap(key);
        tick();
    }
    EXPECT_NE(optionsMessage().find("not saved"), std::string::npos) << optionsMessage();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(fs::file_size("data/settings.ini"), notes.size());
    tap(KeyEscape);
    tick();
    settings = Settings{};
    fs::remove("data/settings.ini");
}

// The classic picture turned on over a paused game is drawn by the very next
// frame, not after a restart or some change in the world.
TEST_F(MainLoop, ClassicTurnedOnInTheOptionsShowsInTheNextFrame) {
    fs::create_directories("data");
    gameScreen.screen = Screen::Game;
    tick();
    moveMouse(1, 1);  // a frame without a world tick
    ALLEGRO_BITMAP* before = al_clone_bitmap(assets.frameBuffer);
    ASSERT_NE(before, nullptr);
    openPauseMenu();
    openOptions(Screen::Paused);
    for (int i = 0; i < kActionCount + 3; ++i) {  // to the classic picture
        tap(ALLEGRO_KEY_DOWN);
        tick();
    }
    for (int key : {int(ALLEGRO_KEY_ENTER), int(ALLEGRO_KEY_Y)}) {  // the row, and yes
        tap(key);
        tick();
    }
    ASSERT_TRUE(settings.classic);
    backToGame();
    moveMouse(1, 1);
    int differing = 0;
    for (int y = 0; y < al_get_bitmap_height(before); ++y)
        for (int x = 0; x < al_get_bitmap_width(before); ++x) {
            unsigned char r0, g0, b0, r1, g1, b1;
            al_unmap_rgb(al_get_pixel(before, x, y), &r0, &g0, &b0);
            al_unmap_rgb(al_get_pixel(assets.frameBuffer, x, y), &r1, &g1, &b1);
            differing += r0 != r1 || g0 != g1 || b0 != b1;
        }
    EXPECT_GT(differing, 0);
    al_destroy_bitmap(before);

    // The classic menus have no way to the options; their key is the way back.
    tap(KeyO);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Options);
    tap(KeyEscape);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Game);
    settings = Settings{};
    fs::remove("data/settings.ini");
}

TEST_F(MainLoop, MouseEventsDrawGameFramesThatRunTheWorldTickButNeverInput) {
    // A floor only under the player's start and its one step, so water on
    // that level spreads one cell per world tick toward -x and the number of
    // ticks can be read off it.
    placePlayer(player, camera, 16, 15);
    player.level = 5;
    setCell(16, 15, 5, Cobblestone);
    setCell(15, 15, 5, Cobblestone);
    // Left held all along: every input pass counts the hold, and the seventh
    // timer tick starts a step whose animation every later tick moves on.
    // The menu is shown meanwhile, so no world tick runs yet; in the classic
    // game the keys reach the player behind it.
    settings.classic = true;
    gameScreen = GameScreen{};
    gameScreen.screen = Screen::Menu;
    heldKeys.insert(KeyLeft);
    for (int i = 0; i <= kHoldThreshold; ++i) tick();
    ASSERT_TRUE(player.busy);
    ASSERT_EQ(player.x, 15);

    setCell(10, 10, 5, Water);
    gameScreen.screen = Screen::Game;
    tick();  // one timer tick: input and clocks, plus its game frame
    EXPECT_EQ(player.level, 5);
    EXPECT_EQ(cell(9, 10, 5), Water);
    EXPECT_EQ(cell(8, 10, 5), Empty);
    const PlayerState playerBefore = player;
    const WorldClock clockBefore = worldClock;
    const int blinkBefore = gameScreen.sloganBlinkTicks;
    moveMouse(100, 100);
    moveMouse(101, 100);
    EXPECT_EQ(cell(7, 10, 5), Water);
    EXPECT_EQ(cell(6, 10, 5), Empty);
    EXPECT_EQ(player.holdTicks, playerBefore.holdTicks) << "input ran";
    EXPECT_EQ(player.animTick, playerBefore.animTick) << "the step moved on";
    EXPECT_EQ(worldClock.dayTick, clockBefore.dayTick) << "the clocks ran";
    EXPECT_EQ(worldClock.blockAnimTick, clockBefore.blockAnimTick);
    EXPECT_EQ(gameScreen.sloganBlinkTicks, blinkBefore);
    tick();  // the keys are still held: the next timer tick does all of it
    EXPECT_EQ(player.holdTicks, playerBefore.holdTicks + 1);
    EXPECT_EQ(player.animTick, playerBefore.animTick + 1);
    EXPECT_EQ(worldClock.dayTick, clockBefore.dayTick + 1);

    // With only the menu shown no world tick runs, whatever the events.
    gameScreen.screen = Screen::Menu;
    moveMouse(5, 5);
    tick();
    EXPECT_EQ(cell(5, 10, 5), Empty);
}

// A machine behind its queue draws only the last pass of a batch: the
// undrawn ones still move the world on for each tick, and a click on them
// still counts.
TEST_F(MainLoop, UndrawnPassesKeepTheWorldsPaceAndTheirClicks) {
    const auto undrawn = [](int type, int x = 0, int y = 0) {
        ALLEGRO_EVENT event = {};
        event.type = type;
        event.mouse.x = x;
        event.mouse.y = y;
        return processEvent(event, false);
    };
    // Water on the player's level spreads one cell toward -x per world tick.
    placePlayer(player, camera, 16, 15);
    player.level = 5;
    setCell(16, 15, 5, Cobblestone);
    setCell(10, 10, 5, Water);
    gameScreen.screen = Screen::Game;
    const WorldClock clockBefore = worldClock;
    for (int i = 0; i < 3; ++i) undrawn(ALLEGRO_EVENT_TIMER);
    undrawn(ALLEGRO_EVENT_MOUSE_AXES, 100, 100);
    EXPECT_EQ(worldClock.dayTick, clockBefore.dayTick + 3);
    EXPECT_EQ(cell(7, 10, 5), Water);
    EXPECT_EQ(cell(6, 10, 5), Empty) << "a mouse event's undrawn frame ran the world";

    tap(KeyEscape);
    undrawn(ALLEGRO_EVENT_TIMER);
    ASSERT_EQ(gameScreen.screen, Screen::Paused);
    undrawn(ALLEGRO_EVENT_MOUSE_AXES, 300, 262);  // "Title menu"
    undrawn(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 300, 262);
    undrawn(ALLEGRO_EVENT_MOUSE_BUTTON_UP, 300, 262);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
}

// The game's own keyboard holds a key from its down event to its up event,
// so a game behind its queue sees each key when its events come, once.
TEST_F(MainLoop, TheGamesKeysAreHeldAsTheirEventsLeftThem) {
    installPlatformSeams();
    setPause(noPause);
    const auto key = [](int type, int keycode) {
        ALLEGRO_EVENT event = {};
        event.type = type;
        event.keyboard.keycode = keycode;
        processKeyEvent(event);
    };
    // The classic game walks behind its menu, and counts each tick Left is held.
    settings.classic = true;
    gameScreen.screen = Screen::Menu;
    key(ALLEGRO_EVENT_KEY_DOWN, KeyLeft);
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(player.holdTicks, 3);
    key(ALLEGRO_EVENT_KEY_UP, KeyLeft);
    tick();
    EXPECT_EQ(player.holdTicks, 0);

    // Let go in another window: nothing stays held here.
    key(ALLEGRO_EVENT_KEY_DOWN, KeyLeft);
    tick();
    send(ALLEGRO_EVENT_DISPLAY_SWITCH_OUT);
    tick();
    EXPECT_EQ(player.holdTicks, 0);
}

TEST_F(MainLoop, OnlyFramesOfTheGameScreenAutosave) {
    for (int i = 0; i < 10; ++i) tick();
    gameScreen.screen = Screen::Menu;
    moveMouse(5, 5);
    tick();
    waitForAutosave();
    EXPECT_FALSE(fs::exists(folder->worldFile()));
    gameScreen.screen = Screen::Game;
    tick();
    waitForAutosave();
    EXPECT_TRUE(fs::exists(folder->worldFile()));
}

TEST_F(MainLoop, SinglePlayerShowsTheWorldListInTheFrameOfTheClickAndEnterPlaysTheWorld) {
    gameScreen.screen = Screen::Menu;
    moveMouse(300, 217);
    send(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN);
    EXPECT_EQ(gameScreen.screen, Screen::Worlds);
    EXPECT_EQ(gameScreen.menuSelection, MenuSinglePlayer);
    ASSERT_EQ(worldList.worlds.size(), 1u);
    worldListKey(ALLEGRO_KEY_ENTER, '\r');
    EXPECT_EQ(gameScreen.screen, Screen::Game);
    EXPECT_EQ(playedWorld(), kTestWorld);
    EXPECT_TRUE(closeWorld());
}

// A size chosen, then the starter world, which has only the one: it is made,
// 20 x 20, and played.
TEST_F(MainLoop, TheStarterWorldIsMadeTwentyByTwentyWhateverSizeWasChosenBefore) {
    gameScreen.screen = Screen::Menu;
    moveMouse(300, 217);
    send(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN);
    ASSERT_EQ(gameScreen.screen, Screen::Worlds);
    worldListKey(ALLEGRO_KEY_N, 'n');
    for (int key : {ALLEGRO_KEY_DOWN, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_RIGHT, ALLEGRO_KEY_UP,
                    ALLEGRO_KEY_LEFT, ALLEGRO_KEY_ENTER})
        worldListKey(key, 0);
    EXPECT_EQ(gameScreen.screen, Screen::Game) << worldList.message;
    const std::string made = playedWorld();
    ASSERT_NE(made, kTestWorld);
    for (const WorldEntry& entry : listWorlds(worldsFolder())) {
        if (entry.folder != made) continue;
        EXPECT_EQ(entry.meta.kind, "starter");
        EXPECT_EQ(entry.meta.size, 20);
    }
    EXPECT_TRUE(fs::exists(worldFileOf(worldsFolder(), made)));
    // The suite's other tests find the one world they began with.
    EXPECT_EQ(deleteWorld(made), PlayOutcome::Opened);
    playWorldFolder(folder->worldFolder().string());
}

TEST_F(MainLoop, ExitTheGameFinishesItsFrameThenSavesAndEndsAtTheNextEvent) {
    gameScreen.screen = Screen::Menu;
    moveMouse(300, 337);
    EXPECT_TRUE(send(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN));
    EXPECT_EQ(gameScreen.runState, kQuitting);
    EXPECT_FALSE(fs::exists(folder->worldFile()));
    EXPECT_FALSE(tick());
    EXPECT_TRUE(fs::exists(folder->worldFile()));
    EXPECT_FALSE(saveFailed());
}

TEST_F(MainLoop, ClosingTheWindowFromAnyScreenSavesTheWorldAndEnds) {
    for (Screen screen : {Screen::Intro, Screen::Menu, Screen::Game}) {
        fs::remove(folder->worldFile());
        gameScreen = GameScreen{};
        gameScreen.screen = screen;
        setCell(3, 4, 2, Brick);
        EXPECT_FALSE(send(ALLEGRO_EVENT_DISPLAY_CLOSE));
        ASSERT_TRUE(fs::exists(folder->worldFile()));
        setCell(3, 4, 2, Empty);
        setUpWorld();
        EXPECT_EQ(cell(3, 4, 2), Brick) << static_cast<int>(screen);
    }
}

// M opens the map over the game, whose world goes on while the player's keys
// wait; Escape closes it and only a second Escape pauses. P puts the
// position on the status line and takes it off again.
TEST_F(MainLoop, TheMapKeyOpensTheMapAndEscapeClosesItBeforeThePauseMenu) {
    gameScreen.screen = Screen::Game;
    const PlayerState start = player;
    tap(KeyM);
    tick();
    ASSERT_TRUE(mapOpen());
    heldKeys.insert(KeyLeft);
    for (int i = 0; i < 30; ++i) tick();
    heldKeys.clear();
    EXPECT_EQ(player.x, start.x) << "the player's keys wait";
    tap(KeyEscape);
    tick();
    EXPECT_FALSE(mapOpen());
    EXPECT_EQ(gameScreen.screen, Screen::Game);
    tick();  // let go
    tap(KeyEscape);
    tick();
    EXPECT_EQ(gameScreen.screen, Screen::Paused);
    backToGame();

    tap(KeyM);
    tick();
    tick();
    tap(KeyM);
    tick();
    EXPECT_FALSE(mapOpen());
    fs::create_directories("data");
    const bool shown = positionLineShown();
    tap(KeyP);
    tick();
    EXPECT_NE(positionLineShown(), shown);
    loadSettings();  // as the next run finds it
    EXPECT_NE(positionLineShown(), shown) << "the switch is kept in the settings file";
    tap(KeyP);
    tick();
    EXPECT_EQ(positionLineShown(), shown);
    PlayerState there;
    there.x = 3;
    there.y = 17;
    there.level = 7;
    EXPECT_EQ(positionText(there), "column 3, row 17, height 13");

    settings.classic = true;
    tap(KeyM);
    tick();
    EXPECT_FALSE(mapOpen()) << "the classic game has no map";
    settings = Settings{};
    fs::remove("data/settings.ini");
}

}  // namespace

// A mining press at air says why once; holding on strikes air without a word.
TEST_F(MainLoop, AMiningPressThatWouldDoNothingSaysWhyOnce) {
    gameScreen.screen = Screen::Game;
    tick();
    const Column ahead = columnAhead(player);
    for (int level = 0; level < kBandEdge; ++level) setCell(ahead.x, ahead.y, level, Empty);
    heldKeys.insert(KeyRightCtrl);
    tick();
    EXPECT_EQ(statusText(player), "nothing to mine here");
    showStatus("");
    for (int i = 0; i < 60; ++i) tick();  // three actions' worth
    EXPECT_EQ(statusText(player), "") << "once per press";
    heldKeys.clear();
    for (int i = 0; i < 20; ++i) tick();
    heldKeys.insert(KeyRightCtrl);
    tick();
    EXPECT_EQ(statusText(player), "nothing to mine here") << "a new press says it again";
    heldKeys.clear();
}

// Escape tapped on the very tick after the one that closed a panel is a new
// press: it pauses the game, as it would a tick later.
TEST_F(MainLoop, EscapeTheTickAfterClosingAPanelPausesTheGame) {
    gameScreen.screen = Screen::Game;
    tick();
    for (int key : {int(KeyE), int(KeyM)}) {
        tap(key);
        tick();
        ASSERT_TRUE(inventoryOpen() || mapOpen());
        tap(KeyEscape);
        tick();
        ASSERT_FALSE(inventoryOpen() || mapOpen());
        tap(KeyEscape);
        tick();
        EXPECT_EQ(gameScreen.screen, Screen::Paused) << key;
        backToGame();
        tick();
    }
}

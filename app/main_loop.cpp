// The main loop: wait for an event, act on it, update the screens, step the
// game frame when the game is shown, then draw the shown screen into the
// frame buffer (drawing only reads) and show it. A machine that keeps up
// draws a frame for every event; one that falls behind works off the queue
// first and draws once for the batch, so that its clocks, clicks and the
// close button never wait behind pictures nobody would see.
// The window's own events and keys (resizing, fullscreen, screenshots) change
// only how the picture reaches the screen, never the game.
#include "app/main_loop.h"

#include <chrono>
#include <string>

#include "app/compass.h"
#include "app/game_screen.h"
#include "app/inventory_panel.h"
#include "app/map_panel.h"
#include "app/multiplayer.h"
#include "app/options_screen.h"
#include "app/platform.h"
#include "app/pointer.h"
#include "app/presentation.h"
#include "app/save_mark.h"
#include "app/screens.h"
#include "app/screenshot.h"
#include "app/sound.h"
#include "app/startup.h"
#include "app/status_line.h"
#include "app/window.h"
#include "app/world_list.h"
#include "game/frame_step.h"
#include "game/key_bindings.h"
#include "game/played_world.h"
#include "game/settings.h"
#include "game/world_save.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "rules/player_state.h"

PointerState pointer;

namespace {

bool worldSaveFailed = false;
// The last game frame stepped: what the picture shows while the single
// player's world waits behind the pause menu.
GameFrame lastFrame;

// Keys as one tick sees them. A key counts as pressed on the tick after its
// key-down event, even when it was let go before that tick came: a quick tap
// falls between two ticks, and the keyboard's state at the tick never shows
// it. Without events (the tests' keyboard) a key is pressed on the first
// tick it is down.
struct KeyTicks {
    static constexpr int kKeys = ALLEGRO_KEY_MAX;
    bool downSinceTick[kKeys] = {};
    bool held[kKeys] = {};     // down at this tick, or tapped since the last
    bool pressed[kKeys] = {};  // went down since the last tick
};
KeyTicks keys;

bool validKey(int key) { return key > 0 && key < KeyTicks::kKeys; }
bool keyHeld(int key) { return validKey(key) && keys.held[key]; }
bool keyPressed(int key) { return validKey(key) && keys.pressed[key]; }

void readKeysForTick() {
    const KeyDownFn down = keyboardKeyDown();
    for (int key = 1; key < KeyTicks::kKeys; ++key) {
        const bool now = down(key);
        keys.pressed[key] = keys.downSinceTick[key] || (now && !keys.held[key]);
        keys.held[key] = now || keys.downSinceTick[key];
        keys.downSinceTick[key] = false;
    }
}

// Walking, mining and placing go on while their keys are held; a switch
// flips once for each press, however short or long.
PlayerIntent intentThisTick() {
    PlayerIntent intent = intentFromKeys(keyHeld);
    intent.height = keyPressed(boundKey(Action::Height));
    intent.autoJump = keyPressed(boundKey(Action::AutoJump));
    intent.rest = keyPressed(boundKey(Action::Rest));
    intent.look1 = keyPressed(boundKey(Action::Look1));
    intent.look2 = keyPressed(boundKey(Action::Look2));
    // The first releases walked at one pace.
    if (settings.classic) intent.run = false;
    return intent;
}

// Escape and the menus' keys. The classic game leaves for the title menu at
// Escape; otherwise it pauses over the game.
void menuKeys(Screen shown, bool escapeTaken) {
    if (keyPressed(KeyEscape) && !escapeTaken) {
        switch (shown) {
            case Screen::Game:
                if (settings.classic) {
                    escapeToMenu();
                } else {
                    openPauseMenu();
                }
                return;
            case Screen::Paused:
                return backToGame();
            case Screen::Intro:
            case Screen::Menu:
                return escapeToMenu();
            case Screen::Worlds:
            case Screen::Options:
                break;
        }
    }
    if (shown == Screen::Options) {
        // Waiting for a key, the first pressed is the one; else the screen's own keys.
        for (int key = 1; key < KeyTicks::kKeys; ++key)
            if (keyPressed(key)) return optionsKey(key);
        return;
    }
    // Alt+Enter belongs to the window.
    const bool alt = keyHeld(ALLEGRO_KEY_ALT) || keyHeld(ALLEGRO_KEY_ALTGR);
    for (int key : {ALLEGRO_KEY_UP, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_ENTER, ALLEGRO_KEY_PAD_ENTER}) {
        if (!keyPressed(key) || (alt && key != ALLEGRO_KEY_UP && key != ALLEGRO_KEY_DOWN)) continue;
        if (shown == Screen::Menu) titleMenuKey(key);
        if (shown == Screen::Paused) pauseMenuKey(key);
    }
}

// One timer tick, whatever the screen: the player's keys and the world's
// clocks, the screens' clocks, and Escape.
// While the inventory or the map panel is open the player's keys wait, and
// Escape closes the panel rather than leaving the game; one panel at a time. The world list takes
// the keys for itself (its own Escape included), and with no world open they move nobody. The menus
// take the keys from the player, except in the classic game, where they reach the player behind the
// title menu. The single player's world stops behind the pause menu; a shared one goes on.
void tick() {
    readKeysForTick();
    pollWindowKeys(keyPressed, keyHeld);
    const bool typing = keysTakenByText() || markNamingTakesKeys();
    const Screen shown = gameScreen.screen;
    const bool inGame = shown == Screen::Game;
    const bool inventoryTaken =
        !typing && updateInventoryKeys(keyPressed, keyHeld, inGame && !mapOpen());
    const bool mapTaken = !typing && updateMapKeys(keyPressed, keyHeld, inGame && !inventoryOpen());
    const bool escapeTaken = typing || inventoryTaken || mapTaken;
    if (!typing && inGame && !settings.classic && keyPressed(boundKey(Action::Position)))
        togglePositionLine();
    // The way back to the options from every picture, the classic one too,
    // whose menus have none.
    const bool optionsKeyed = !typing && !inventoryOpen() && !mapOpen() &&
                              keyPressed(boundKey(Action::Options)) &&
                              (inGame || shown == Screen::Menu || shown == Screen::Paused);
    const bool playing = !typing && !inventoryOpen() && !mapOpen() &&
                         (shown == Screen::Game ||
                          (settings.classic && (shown == Screen::Menu || shown == Screen::Intro)));
    const PlayerState before = player;
    if (playing && shown == Screen::Game && (isJoined() || worldInPlay())) {
        const int mine = boundKey(Action::Mine), place = boundKey(Action::Place);
        noteActionKeys(before, keyPressed(mine), keyHeld(mine), keyPressed(place), keyHeld(place));
    }
    if (isJoined()) {
        tickJoined(playing && shown == Screen::Game ? intentThisTick() : PlayerIntent{},
                   togglePause());
        // The status line tells a joined player what I and J did too, and
        // its lines run out there as well; the single player's saving is
        // not this world's.
        noteSwitches(before, player, false);
    } else if (shown != Screen::Paused && !optionsOverGame()) {
        tickGame(playing && worldInPlay() ? intentThisTick() : PlayerIntent{}, togglePause());
        noteSwitches(before, player, autosaveFailing());
    }
    noteSaves(worldSavesWritten(), shown == Screen::Game && !isJoined() && worldInPlay());
    advanceScreenClocks();
    readWorldListKeys();
    if (optionsKeyed) return openOptions(shown);
    if (!typing) menuKeys(shown, escapeTaken);
}

void takeScreenshot() {
    std::string name;
    if (saveScreenshot(assets.frameBuffer, &name)) {
        showStatus("screenshot saved: " + name);
    } else {
        showStatus("the screenshot could not be saved");
    }
}

void handleEvent(const ALLEGRO_EVENT& event) {
    switch (event.type) {
        case ALLEGRO_EVENT_MOUSE_AXES:
            pointerAt(event.mouse.x, event.mouse.y);
            break;
        case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
            pointer.buttonDown = 1;
            break;
        case ALLEGRO_EVENT_MOUSE_BUTTON_UP:
            pointer.buttonDown = 0;
            break;
        case ALLEGRO_EVENT_MOUSE_LEAVE_DISPLAY:
            // Nothing stays lit under a pointer that has gone.
            pointer.x = -1;
            pointer.y = -1;
            break;
        case ALLEGRO_EVENT_TIMER:
            takeKeyboardSnapshot();
            tick();
            quietIdleVoice();
            break;
        case ALLEGRO_EVENT_DISPLAY_CLOSE:
            gameScreen.runState = kQuitting;
            break;
        case ALLEGRO_EVENT_DISPLAY_RESIZE:
            windowResized();
            break;
        case ALLEGRO_EVENT_DISPLAY_SWITCH_OUT:
            noteKeyEvent(event);
            break;
        default:
            break;
    }
    // A quit signal acts like the close button; every timer tick notices it.
    if (quitSignalled()) gameScreen.runState = kQuitting;
}

void drawGame(const GameFrame& frame) {
    if (isJoined() && !joinedWorldReady()) {
        drawJoiningScreen();
        return;
    }
    drawGameFrame(frame);
    drawCompass();
    drawInventoryPanel(player);
    drawMapPanel(world, player);
    // The panels write the position in their own frames.
    drawStatusLine(player, !mapOpen() && !inventoryOpen());
    drawSaveMark();
    drawMarkNaming();
    if (isJoined()) drawChat();
}

// Escape puts the menu over an intro that is still running.
void drawScreens(const GameFrame& frame) {
    switch (gameScreen.screen) {
        case Screen::Intro:
            drawIntroScreen();
            break;
        case Screen::Menu:
            if (gameScreen.introRunning) drawIntroScreen();
            drawTitleMenu();
            break;
        case Screen::Game:
            drawGame(frame);
            break;
        case Screen::Paused:
            drawGame(frame);
            drawPauseMenu();
            break;
        case Screen::Worlds:
            drawWorldList();
            break;
        case Screen::Options:
            drawOptions();
            break;
    }
}

// A game frame covers the whole picture (the sky first, or the kept screen
// copied whole): clearing under it would be a second fill.
void drawPicture(bool stepped) {
    if (!stepped || gameScreen.screen != Screen::Game) al_clear_to_color(al_map_rgb(0, 0, 0));
    drawScreens(lastFrame);
}

}  // namespace

void playGameFrame() {
    const GameFrame frame = stepGameFrame();
    drawGameFrame(frame);
    requestFrameSounds(frame.sounds);
}

bool processEvent(const ALLEGRO_EVENT& event) { return processEvent(event, true); }

bool processEvent(const ALLEGRO_EVENT& event, bool draw) {
    handleEvent(event);
    al_set_target_bitmap(assets.frameBuffer);
    if (gameScreen.runState == kQuitting) {
        // The single player's world comes back, and is saved if one is open; a
        // hosted world is saved by its server alone.
        closeMap();  // its picture goes before the display does
        const bool hostedSaved = leaveServer();
        worldSaveFailed = !closeWorld() || !hostedSaved;
        keepWindowSettings();
        return false;
    }
    if (gameScreen.runState == kRunning) {
        updateScreens();
        if (gameScreen.screen == Screen::Game)
            updateInventoryPointer(player, pointer.x, pointer.y, pointer.buttonDown == 1);
        const bool shared = isJoined();
        const bool paused = gameScreen.screen == Screen::Paused;
        const bool shown = (gameScreen.screen == Screen::Game || (paused && shared)) &&
                           (!shared || joinedWorldReady());
        // A frame left undrawn still moves the world on for its tick, so the
        // world keeps the clock's pace however few pictures are drawn; other
        // events' frames are only pictures.
        const bool stepped = shown && (draw || event.type == ALLEGRO_EVENT_TIMER);
        if (stepped) lastFrame = stepGameFrame(shared);
        if (draw) drawPicture(stepped);
        if (stepped) requestFrameSounds(lastFrame.sounds);
    } else if (draw) {
        al_clear_to_color(al_map_rgb(0, 0, 0));
    }
    // Only the game screen writes, with the frame's changes made.
    if (gameScreen.screen == Screen::Game && worldIsOwn())
        autosaveWorld(std::chrono::steady_clock::now());
    // The picture saved is one drawn: an undrawn frame leaves the request waiting.
    if (draw && takeScreenshotRequest()) takeScreenshot();
    return true;
}

void processKeyEvent(const ALLEGRO_EVENT& event) {
    if (event.type == ALLEGRO_EVENT_KEY_DOWN && validKey(event.keyboard.keycode))
        keys.downSinceTick[event.keyboard.keycode] = true;
    noteKeyEvent(event);
    if (event.type == ALLEGRO_EVENT_KEY_CHAR) {
        // The naming line has the keys while it is open; the chat's open
        // line keeps them from it.
        const bool naming = markNamingTakesKeys();
        const bool gameTakesKeys = gameScreen.screen == Screen::Game && !keysTakenByText() &&
                                   !mapOpen() && !inventoryOpen() &&
                                   (isJoined() ? joinedWorldReady() : worldInPlay());
        markNamingKey(event.keyboard, gameTakesKeys);
        if (naming) return;
    }
    handleKeyEvent(event);
}

void showFrame() {
    if (app.display == nullptr) return;
    presentPicture(assets.frameBuffer);
    al_flip_display();
}

bool saveFailed() { return worldSaveFailed; }

bool runMainLoop() {
    // Ticks taken since the last picture: a machine that never empties its
    // queue still shows one every few ticks.
    constexpr int kTicksPerPictureAtMost = 4;
    int ticksUndrawn = 0;
    bool undrawn = false;
    for (;;) {
        ALLEGRO_EVENT event;
        al_wait_for_event(app.queue, &event);
        // Key events only set the keys the next tick reads and type into a
        // text field; they never make a frame of their own.
        if (event.type == ALLEGRO_EVENT_KEY_DOWN || event.type == ALLEGRO_EVENT_KEY_UP ||
            event.type == ALLEGRO_EVENT_KEY_CHAR) {
            processKeyEvent(event);
            // A batch that ended in key events still gets its picture, of
            // what the last pass left.
            if (undrawn && al_is_event_queue_empty(app.queue)) {
                al_set_target_bitmap(assets.frameBuffer);
                if (gameScreen.runState == kRunning) drawPicture(false);
                showFrame();
                undrawn = false;
                ticksUndrawn = 0;
            }
            continue;
        }
        if (event.type == ALLEGRO_EVENT_TIMER) ++ticksUndrawn;
        const bool draw =
            al_is_event_queue_empty(app.queue) || ticksUndrawn >= kTicksPerPictureAtMost;
        const bool running = processEvent(event, draw);
        undrawn = !draw;
        if (!running || draw) {
            showFrame();
            ticksUndrawn = 0;
        }
        if (!running) break;
    }
    return !worldSaveFailed;
}

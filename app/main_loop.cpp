// The main loop: wait for an event, act on it, update the screens, step the
// game frame when the game is shown, then draw the shown screen into the
// frame buffer (drawing only reads) and show it. A frame for every event, no
// frame skipping.
// The window's own events and keys (resizing, fullscreen, screenshots) change
// only how the picture reaches the screen, never the game.
#include "app/main_loop.h"

#include <chrono>
#include <string>

#include "app/game_screen.h"
#include "app/inventory_panel.h"
#include "app/multiplayer.h"
#include "app/platform.h"
#include "app/pointer.h"
#include "app/presentation.h"
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
#include "game/world_save.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "rules/player_state.h"

PointerState pointer;

namespace {

bool worldSaveFailed = false;

// One timer tick, whatever the screen: the player's keys and the world's
// clocks, the screens' clocks, and Escape.
// While the inventory panel is open the player's keys wait, and Escape
// closes the panel rather than leaving the game. The world list takes the
// keys for itself (its own Escape included), and with no world open they
// move nobody.
void tick() {
    const KeyDownFn keyDown = keyboardKeyDown();
    const bool typing = keysTakenByText();
    const bool listShown = gameScreen.screen == Screen::Worlds;
    const bool escapeTaken =
        typing || updateInventoryKeys(keyDown, gameScreen.screen == Screen::Game);
    const PlayerState before = player;
    if (isJoined()) {
        tickJoined(typing || inventoryOpen() ? PlayerIntent{} : intentFromKeys(keyDown),
                   togglePause());
    } else {
        const bool keysToPlayer = !typing && !listShown && worldInPlay() && !inventoryOpen();
        tickGame(keysToPlayer ? intentFromKeys(keyDown) : PlayerIntent{}, togglePause());
        noteSwitches(before, player, autosaveFailing());
    }
    advanceScreenClocks();
    readWorldListKeys();
    if (keyDown(KeyEscape) && !escapeTaken && !listShown) escapeToMenu();
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
        case ALLEGRO_EVENT_TIMER:
            pollWindowKeys();
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
        default:
            break;
    }
    // A quit signal acts like the close button; every timer tick notices it.
    if (quitSignalled()) gameScreen.runState = kQuitting;
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
            if (isJoined() && !joinedWorldReady()) {
                drawJoiningScreen();
                break;
            }
            drawGameFrame(frame);
            drawInventoryPanel(player);
            drawStatusLine(player);
            if (isJoined()) drawChat();
            break;
        case Screen::Worlds:
            drawWorldList();
            break;
    }
}

}  // namespace

void playGameFrame() {
    const GameFrame frame = stepGameFrame();
    drawGameFrame(frame);
    requestFrameSounds(frame.sounds);
}

bool processEvent(const ALLEGRO_EVENT& event) {
    handleEvent(event);
    al_set_target_bitmap(assets.frameBuffer);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    if (gameScreen.runState == kQuitting) {
        // The single player's world comes back, and is saved if one is open; a
        // hosted world is saved by its server alone.
        const bool hostedSaved = leaveServer();
        worldSaveFailed = !closeWorld() || !hostedSaved;
        keepWindowSettings();
        return false;
    }
    if (gameScreen.runState == kRunning) {
        updateScreens();
        if (gameScreen.screen == Screen::Game)
            updateInventoryPointer(player, pointer.x, pointer.y, pointer.buttonDown == 1);
        const bool gameShown = gameScreen.screen == Screen::Game;
        const bool shared = isJoined();
        const GameFrame frame =
            gameShown && (!shared || joinedWorldReady()) ? stepGameFrame(shared) : GameFrame{};
        drawScreens(frame);
        if (gameShown) requestFrameSounds(frame.sounds);
    }
    // Only the game screen writes, with the frame's changes made.
    if (gameScreen.screen == Screen::Game && worldIsOwn())
        autosaveWorld(std::chrono::steady_clock::now());
    if (takeScreenshotRequest()) takeScreenshot();
    return true;
}

void showFrame() {
    if (app.display == nullptr) return;
    presentPicture(assets.frameBuffer);
    al_flip_display();
}

bool saveFailed() { return worldSaveFailed; }

bool runMainLoop() {
    for (;;) {
        ALLEGRO_EVENT event;
        al_wait_for_event(app.queue, &event);
        // Keys are read from the keyboard's state each tick; their events
        // only type into a text field and never make a frame of their own.
        if (event.type == ALLEGRO_EVENT_KEY_DOWN || event.type == ALLEGRO_EVENT_KEY_UP ||
            event.type == ALLEGRO_EVENT_KEY_CHAR) {
            handleKeyEvent(event);
            continue;
        }
        bool running = processEvent(event);
        showFrame();
        if (!running) break;
    }
    return !worldSaveFailed;
}

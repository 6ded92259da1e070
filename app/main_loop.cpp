// The main loop: wait for an event, act on it, draw every shown screen into
// the frame buffer and show it. A frame for every event, no frame skipping.
// The window's own events and keys (resizing, fullscreen, screenshots) change
// only how the picture reaches the screen, never the game.
#include "app/main_loop.h"

#include <chrono>

#include "app/platform.h"
#include "app/pointer.h"
#include "app/presentation.h"
#include "app/screens.h"
#include "app/screenshot.h"
#include "app/sound.h"
#include "app/startup.h"
#include "app/window.h"
#include "game/world_save.h"
#include "rules/game_screen.h"
#include "rules/input.h"
#include "render/assets.h"
#include "render/game_frame.h"

PointerState pointer;

namespace {

bool worldSaveFailed = false;

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
            handlePlayerInput();
            updateAnimations();
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

void drawScreens() {
    if (gameScreen.introShown) drawIntroScreen();
    if (gameScreen.menuShown) drawTitleMenu();
    if (gameScreen.gameShown) drawGameFrame();
}

}  // namespace

bool processEvent(const ALLEGRO_EVENT& event) {
    handleEvent(event);
    al_set_target_bitmap(assets.frameBuffer);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    if (gameScreen.runState == kQuitting) {
        worldSaveFailed = !saveWorld();
        keepWindowSettings();
        return false;
    }
    if (gameScreen.runState == kRunning) drawScreens();
    // Only the game screen writes, with the frame's changes made.
    if (gameScreen.gameShown) autosaveWorld(std::chrono::steady_clock::now());
    if (takeScreenshotRequest()) saveScreenshot(assets.frameBuffer);
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
        bool running = processEvent(event);
        showFrame();
        if (!running) break;
    }
    return !worldSaveFailed;
}

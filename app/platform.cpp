// The keyboard seen through Allegro, the toggle pause as a real sleep, and the
// quit signals.
#include "app/platform.h"

#include <allegro5/allegro.h>

#include <csignal>

#include "player/input.h"

// The logic names its keys with Allegro's numbers; keep the two in step.
static_assert(KeyI == ALLEGRO_KEY_I && KeyJ == ALLEGRO_KEY_J);
static_assert(Key0 == ALLEGRO_KEY_0 && Key1 == ALLEGRO_KEY_1 && Key9 == ALLEGRO_KEY_9);
static_assert(KeyF1 == ALLEGRO_KEY_F1 && KeyF2 == ALLEGRO_KEY_F2 && KeyF11 == ALLEGRO_KEY_F11);
static_assert(KeyEscape == ALLEGRO_KEY_ESCAPE && KeySpace == ALLEGRO_KEY_SPACE);
static_assert(KeyLeft == ALLEGRO_KEY_LEFT && KeyRight == ALLEGRO_KEY_RIGHT);
static_assert(KeyUp == ALLEGRO_KEY_UP && KeyDown == ALLEGRO_KEY_DOWN);
static_assert(KeyRightCtrl == ALLEGRO_KEY_RCTRL);

namespace {

ALLEGRO_KEYBOARD_STATE keyboard;
volatile std::sig_atomic_t quitRequested = 0;

void takeSnapshot() {
    if (al_is_keyboard_installed()) al_get_keyboard_state(&keyboard);
}

bool isKeyDown(int key) { return al_is_keyboard_installed() && al_key_down(&keyboard, key); }

void sleepMilliseconds(int milliseconds) { al_rest(milliseconds / 1000.0); }

extern "C" void onQuitSignal(int) { quitRequested = 1; }

}  // namespace

void installPlatformSeams() {
    setKeyboard(takeSnapshot, isKeyDown);
    setPause(sleepMilliseconds);
}

void installQuitSignals() {
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool quitSignalled() { return quitRequested != 0; }

// The keyboard seen through Allegro and its key names, the toggle pause as a
// real sleep, and the quit signals.
#include "app/platform.h"

#include <allegro5/allegro.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iterator>
#include <string>

#include "app/key_names.h"
#include "game/key_bindings.h"

// The logic names its keys with Allegro's numbers; keep the two in step.
constexpr bool sameKey(int logic, int allegro) { return logic == allegro; }
static_assert(sameKey(KeyI, ALLEGRO_KEY_I) && sameKey(KeyJ, ALLEGRO_KEY_J) &&
              sameKey(KeyE, ALLEGRO_KEY_E) && sameKey(KeyM, ALLEGRO_KEY_M) &&
              sameKey(KeyP, ALLEGRO_KEY_P) && sameKey(KeyA, ALLEGRO_KEY_A) &&
              sameKey(KeyZ, ALLEGRO_KEY_Z) && sameKey(KeyO, ALLEGRO_KEY_O) &&
              sameKey(KeyT, ALLEGRO_KEY_T) && sameKey(KeyL, ALLEGRO_KEY_L));
static_assert(sameKey(Key0, ALLEGRO_KEY_0) && sameKey(Key1, ALLEGRO_KEY_1) &&
              sameKey(Key9, ALLEGRO_KEY_9));
static_assert(sameKey(KeyF1, ALLEGRO_KEY_F1) && sameKey(KeyF2, ALLEGRO_KEY_F2) &&
              sameKey(KeyF11, ALLEGRO_KEY_F11) && sameKey(KeyF3, ALLEGRO_KEY_F3) &&
              sameKey(KeyF10, ALLEGRO_KEY_F10));
static_assert(sameKey(KeyEscape, ALLEGRO_KEY_ESCAPE) && sameKey(KeySpace, ALLEGRO_KEY_SPACE));
static_assert(sameKey(KeyLeft, ALLEGRO_KEY_LEFT) && sameKey(KeyRight, ALLEGRO_KEY_RIGHT));
static_assert(sameKey(KeyUp, ALLEGRO_KEY_UP) && sameKey(KeyDown, ALLEGRO_KEY_DOWN));
static_assert(sameKey(KeyRightCtrl, ALLEGRO_KEY_RCTRL) &&
              sameKey(KeyLeftShift, ALLEGRO_KEY_LSHIFT));

namespace {

// The keys down as the events taken so far tell, not as the keyboard is now:
// a game behind its queue would otherwise act on a key before the clicks and
// ticks queued ahead of it, and count its press twice, once from the
// keyboard and again from its event.
bool keysDown[ALLEGRO_KEY_MAX] = {};
KeySnapshotFn snapshotFn = nullptr;
KeyDownFn keyDownFn = nullptr;
PauseFn pauseFn = nullptr;
// Set by the signal handler, which may run on any of the library's threads,
// and read by the main loop's thread.
std::atomic<bool> quitRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the quit flag is set in a signal handler");

bool noKeyDown(int) { return false; }

bool isKeyDown(int key) { return key > 0 && key < ALLEGRO_KEY_MAX && keysDown[key]; }

void sleepMilliseconds(int milliseconds) { al_rest(milliseconds / 1000.0); }

// A second quit signal means the first is taking too long (a save stuck on a
// hung disk): the signal's own default action ends the process at once.
extern "C" void onQuitSignal(int number) {
    if (!quitRequested.exchange(true)) return;
    std::signal(number, SIG_DFL);
    std::raise(number);
}

// The keyboard library's own names; it has none before it is installed.
std::string allegroKeyName(int key) {
    if (!al_is_keyboard_installed() || key <= 0 || key >= ALLEGRO_KEY_MAX) return "";
    return al_keycode_to_name(key);
}

// The exact name first, then one that differs only in case ("SPACE" finds
// "space"), then Allegro's own name ("RCTRL"); where two keys share a name
// the first one answers.
int allegroKeyNamed(const std::string& name) {
    if (!al_is_keyboard_installed() || name.empty()) return -1;
    for (int key = 1; key < ALLEGRO_KEY_MAX; ++key)
        if (name == al_keycode_to_name(key)) return key;
    for (int key = 1; key < ALLEGRO_KEY_MAX; ++key)
        if (strcasecmp(name.c_str(), al_keycode_to_name(key)) == 0) return key;
    return keyByAllegroName(name);
}

}  // namespace

void setKeyboard(KeySnapshotFn snapshot, KeyDownFn keyDown) {
    snapshotFn = snapshot;
    keyDownFn = keyDown;
}

void setPause(PauseFn pause) { pauseFn = pause; }

void takeKeyboardSnapshot() {
    if (snapshotFn != nullptr) snapshotFn();
}

KeyDownFn keyboardKeyDown() { return keyDownFn != nullptr ? keyDownFn : noKeyDown; }

PauseFn togglePause() { return pauseFn; }

void noteKeyEvent(const ALLEGRO_EVENT& event) {
    const int key = event.keyboard.keycode;
    switch (event.type) {
        case ALLEGRO_EVENT_KEY_DOWN:
        case ALLEGRO_EVENT_KEY_UP:
            if (key > 0 && key < ALLEGRO_KEY_MAX)
                keysDown[key] = event.type == ALLEGRO_EVENT_KEY_DOWN;
            break;
        // Keys let go in another window send nothing here.
        case ALLEGRO_EVENT_DISPLAY_SWITCH_OUT:
            std::fill(std::begin(keysDown), std::end(keysDown), false);
            break;
        default:
            break;
    }
}

void installPlatformSeams() {
    setKeyboard(nullptr, isKeyDown);
    setPause(sleepMilliseconds);
}

void installKeyNames() { setKeyNames(allegroKeyName, allegroKeyNamed); }

void installQuitSignals() {
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    // A signal must not break a save's system calls on the saving thread.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);  // the terminal closed
    // Past a file size limit a write should fail and the save say so, not end
    // the game (and a world it hosts) with a core dump.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool quitSignalled() { return quitRequested.load(); }

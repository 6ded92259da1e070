// Keyboard input and the player animation, run on every timer tick.
// The keyboard and the toggle pause are seams: app/ binds them to Allegro and
// a real sleep, tests bind them to plain functions.
#pragma once

// Key codes with Allegro 5's numeric values; app/ checks them at compile time.
enum Key : int {
    KeyI = 9,
    KeyJ = 10,
    Key0 = 27,
    Key1 = 28,
    Key9 = 36,
    KeyF1 = 47,
    KeyF2 = 48,
    KeyF11 = 57,
    KeyEscape = 59,
    KeySpace = 75,
    KeyLeft = 82,
    KeyRight = 83,
    KeyUp = 84,
    KeyDown = 85,
    KeyRightCtrl = 218,
};

constexpr int kAnimTicks = 17;       // one step or one action
constexpr int kHoldThreshold = 6;    // a step needs more ticks of holding than this
constexpr int kTogglePauseMs = 300;  // the only debounce of the toggle keys

using KeySnapshotFn = void (*)();     // takes this tick's keyboard snapshot
using KeyDownFn = bool (*)(int key);  // asks the snapshot about one key
using PauseFn = void (*)(int milliseconds);

// Install the keyboard and pause seams. A null function means "no key down" or
// "no pause".
void setKeyboard(KeySnapshotFn snapshot, KeyDownFn keyDown);
void setPause(PauseFn pause);

void handlePlayerInput();
void updateAnimations();
bool isStepBlocked();

// Which key does what, and the keyboard turned into a player's intent. Every
// action key can be rebound from the settings file; the defaults are the keys
// the game has always had. The slot digits and Escape keep their keys: every
// keyboard has them where they are expected.
#pragma once

#include <string>

#include "rules/intent.h"

// Key codes with Allegro 5's numeric values; app/ checks them at compile time.
enum Key : int {
    KeyA = 1,
    KeyE = 5,
    KeyI = 9,
    KeyJ = 10,
    KeyL = 12,
    KeyM = 13,
    KeyO = 15,
    KeyP = 16,
    KeyT = 20,
    KeyZ = 26,
    Key0 = 27,
    Key1 = 28,
    Key9 = 36,
    KeyF1 = 47,
    KeyF2 = 48,
    KeyF3 = 49,
    KeyF10 = 56,
    KeyF11 = 57,
    KeyEscape = 59,
    KeySpace = 75,
    KeyLeft = 82,
    KeyRight = 83,
    KeyUp = 84,
    KeyDown = 85,
    KeyLeftShift = 215,
    KeyRightCtrl = 218,
};

enum class Action : int {
    WalkUp,
    WalkDown,
    WalkLeft,
    WalkRight,
    Mine,
    Place,
    Height,     // I: work at body height or at the ground ahead
    AutoJump,   // J
    Rest,       // F11
    Look1,      // F1: the figure's row of looks
    Look2,      // F2: the figure's group of looks
    Inventory,  // E: the panel of every block one holds
    Map,        // M: the whole world from above
    Position,   // P: the player's column, row and height on the status line
    Chat,       // T: a line to the others in a shared world
    Options,    // O: the options screen, from the game or the title menu
    Run,        // Left Shift, held: steps in about half the ticks
    Mark,       // L: a named landmark where the player stands
};
constexpr int kActionCount = 18;

struct ActionKey {
    const char* name;  // as the settings file writes it after "key."
    int defaultKey;
};
// By Action, in the order the settings file lists them.
constexpr ActionKey kActionKeys[kActionCount] = {
    {"walk_up", KeyUp},     {"walk_down", KeyDown},
    {"walk_left", KeyLeft}, {"walk_right", KeyRight},
    {"mine", KeyRightCtrl}, {"place", KeySpace},
    {"height", KeyI},       {"auto_jump", KeyJ},
    {"rest", KeyF11},       {"look1", KeyF1},
    {"look2", KeyF2},       {"inventory", KeyE},
    {"map", KeyM},          {"position", KeyP},
    {"chat", KeyT},         {"options", KeyO},
    {"run", KeyLeftShift},  {"mark", KeyL},
};

struct KeyBindings {
    int key[kActionCount] = {KeyUp, KeyDown, KeyLeft, KeyRight, KeyRightCtrl, KeySpace,
                             KeyI,  KeyJ,    KeyF11,  KeyF1,    KeyF2,        KeyE,
                             KeyM,  KeyP,    KeyT,    KeyO,     KeyLeftShift, KeyL};
};
extern KeyBindings keyBindings;

int boundKey(Action action);
bool isRebound(Action action);

// Key names come from the keyboard library; app/ installs its table, tests a
// small one of their own. A key without a name is "", a name without a key -1.
using KeyNameFn = std::string (*)(int key);
using KeyNamedFn = int (*)(const std::string& name);
void setKeyNames(KeyNameFn nameOf, KeyNamedFn keyNamed);
std::string keyName(int key);
int keyNamed(const std::string& name);

// Asks this tick's keyboard snapshot about one key: Allegro's in the game, a
// plain table in the tests.
using KeyDownFn = bool (*)(int key);
// The intent of the keys down, through the bindings.
PlayerIntent intentFromKeys(KeyDownFn keyDown);

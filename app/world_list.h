// The single player's worlds on screen: the list (play, make, delete, restore),
// the new-world panel (name, kind, size, seed) and the chosen world's restore
// points, all in the title menu's look.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/world_catalog.h"

enum class WorldListMode : std::int32_t { List, ConfirmDelete, NewWorld, Restore };
enum class NewWorldField : std::int32_t { Name, Kind, Size, Seed };

struct WorldListState {
    WorldListMode mode = WorldListMode::List;
    std::vector<WorldEntry> worlds;  // as listed when the screen opened or changed
    int selected = 0;                // row of the chosen world
    int firstShown = 0;              // row at the top when there are more than fit
    std::string message;             // one line under the list: why a world did not open
    // The chosen world's restore points, newest first, while choosing one.
    std::vector<RestorePoint> points;
    int pointSelected = 0, firstPoint = 0;
    // The new-world panel.
    NewWorldField field = NewWorldField::Name;
    std::string name;  // as typed, UTF-8
    WorldKind kind = WorldKind::Island;
    int size = kBandEdge;  // as chosen; the starter world is made 20 x 20 whatever it says
    std::string seedText;  // digits only
    // The mouse: the press that opened the screen is no click on it, and a
    // second press on the same row soon after the first is a double click.
    bool buttonWasDown = false;
    int lastClickedRow = -1;
    double lastClickTime = -1;
};
extern WorldListState worldList;

// "single player": the worlds as they are on disk, the last played first;
// with none at all, the new-world panel.
void openWorldList();
// Once per event while the screen is shown: the mouse.
void updateWorldList();
// Once per timer tick while the screen is shown: the keys typed since the last.
void readWorldListKeys();
void drawWorldList();
// The keyboard's events queue up for the screen from start-up to shutdown.
void installWorldListKeys();
void releaseWorldListKeys();

// What a key does on the screen: `keycode` as Allegro names keys, `typed` the
// character it makes (0 for none), `repeat` when a held key repeats it.
void worldListKey(int keycode, int typed, bool repeat = false);

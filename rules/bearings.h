// Way-finding: heights counted up from the floor of the world, and the
// compass laid over the grid's axes. The map draws rows downward, so north
// is toward row 0 and east toward the last column; the compass in the game
// picture, the controls panel and the marks all ask here.
#pragma once

#include <string>

#include "rules/player_state.h"

// What a player reads for a level: 0 at the lowest level of the world,
// growing as the player climbs. Files and the wire keep levels.
constexpr int heightOf(int level) { return kLowestLevel - level; }

// A compass point on the grid: its name, its letter and one column toward it.
struct CompassPoint {
    const char* name;
    char letter;
    int dx, dy;
};
// North, east, south and west, in that order.
constexpr CompassPoint kCompass[4] = {
    {"north", 'N', 0, -1},
    {"east", 'E', 1, 0},
    {"south", 'S', 0, 1},
    {"west", 'W', -1, 0},
};

// Where a facing walks.
const CompassPoint& compassPointOf(Facing facing);
// The way from one column to another, to the nearest of eight points
// ("north-east"); "" for the same column.
std::string directionName(int dx, int dy);
// "48 columns north-east, 3 up": how far a column and level lie from a
// player, the way to it and the climb; "here" on the spot.
std::string wayTo(const PlayerState& p, int x, int y, int level);

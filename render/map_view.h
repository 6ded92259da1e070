// The world from above: one pixel per column in the colour of its top block,
// lighter the higher it stands, scaled by whole numbers into a box, with the
// player's place and facing, home and the player's marks over it.
#pragma once

#include <allegro5/allegro.h>

#include <functional>
#include <string>
#include <vector>

#include "rules/player_state.h"
#include "world/world_grid.h"

struct MapPlacement {
    int x = 0, y = 0;  // the top-left corner of column (0, 0)
    int scale = 1;     // pixels per column, 1 or more
};

// The largest whole number of pixels per column at which the grid's bounds
// fit the box, at least 1; the map centred in the box at that scale.
MapPlacement placeMap(const WorldGrid& grid, int x, int y, int width, int height);
// What a joined game knows of the world: the columns the server has sent
// (the rest are drawn dark), and the other players where their places are
// known, brighter while they are in sight.
struct MapOther {
    int x = 0, y = 0;
    bool inSight = false;
};
struct MapKnown {
    std::function<bool(int x, int y)> sent;
    std::vector<MapOther> others;
};

// A place the player keeps: home, or a mark it named, labelled on the map;
// the chosen one ringed in yellow.
struct MapMark {
    int x = 0, y = 0;
    std::string name;
    bool home = false;
    bool chosen = false;
};

// Draws the map into the box on the target bitmap. The picture is kept
// between frames; once the world's revision moves on it is brought up to
// date a band of rows a frame, so that a change shows within a few frames
// and a flood under way never costs a whole picture in one frame.
MapPlacement drawWorldMap(const WorldGrid& grid, const PlayerState& p, int x, int y, int width,
                          int height, const MapKnown* known = nullptr,
                          const std::vector<MapMark>& marks = {});
// Lets go of the kept picture; the next map is built afresh.
void forgetWorldMap();

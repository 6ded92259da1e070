// Any saved world folder read whole without changing it: a single player's
// (world.ini, the old world.bin and player.ini, or world.sqlite) or a
// server's (its players/ folder, or the records in its database). Read-only
// throughout, so that it works while a game or a server has the world open.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "game/player_record.h"
#include "world/world_grid.h"

struct FolderWorld {
    int columns = 0, rows = 0;
    // Every record kept with the world: the single player's under an empty
    // name, a server's players under theirs.
    std::vector<std::pair<std::string, PlayerRecord>> players;
};

// Reads the world in `folder` into `grid` (columns and rows 0 .. its size
// minus one, every other cell empty) and its records into `read`. False with
// one line in `problem`, naming the file, when there is no world or it
// cannot be read.
bool readWorldFolder(const std::string& folder, WorldGrid& grid, FolderWorld& read,
                     std::string& problem);

// The world file: the saved band of the grid and the player's position.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "game/player_record.h"
#include "world/world_grid.h"

// The 8,002 values a world file holds (the band short of its edge: x, y and
// levels 0..19, and the player's column), and the player's record after them,
// copied out of the game so that another thread may write them while the game
// goes on.
struct WorldSnapshot {
    std::array<BlockId, kBandEdge * kBandEdge * kBandEdge> cells{};  // x outermost, level innermost
    std::int32_t playerX = 0, playerY = 0;
    PlayerRecord record;  // the fields it holds follow the player lines

    BlockId& at(int x, int y, int level) { return cells[(x * kBandEdge + y) * kBandEdge + level]; }
    BlockId at(int x, int y, int level) const {
        return cells[(x * kBandEdge + y) * kBandEdge + level];
    }
    bool operator==(const WorldSnapshot& other) const {
        return playerX == other.playerX && playerY == other.playerY && record == other.record &&
               cells == other.cells;
    }
    bool operator!=(const WorldSnapshot& other) const { return !(*this == other); }
};

// What reading a world found.
struct WorldRead {
    bool readable =
        true;  // false: a file stands there but cannot be read (nor a link's target found)
    bool found = false;       // a world was read, from the file or from its backup
    bool fromBackup = false;  // the file was missing and its backup was read instead
    bool whole = false;       // every cell line was there
    std::string note;         // one line for the player when unreadable or read from the backup
};
// Reads the world at `path` into the band, the player lines and `record`;
// when nothing stands at `path` but path + ".bak" does, the backup is read
// (a player who deleted a damaged file to fall back on it). A missing or
// damaged file leaves the band partly or wholly empty.
WorldRead readWorldFile(const std::string& path, WorldGrid& grid, std::int32_t& startX,
                        std::int32_t& startY, PlayerRecord& record);
// Whether the first save after this read may keep the file as the backup:
// only a whole world the file itself held, never a part of one or nothing,
// which would put it over the only good copy.
inline bool mayBackUp(const WorldRead& read) {
    return read.found && !read.fromBackup && read.whole;
}

// Reads the world file (game/paths.h) into the saved band, the player's position and
// keptRecord, as readWorldFile does. False when a file stands there but cannot
// be read: one line on standard error says why, and nothing may be saved over
// it. A world read from the backup is said in one line as well.
bool loadWorld();
// What the last loadWorld found.
const WorldRead& lastWorldRead();
// The reader on any stream of bytes (the fuzzer feeds it directly).
void readWorld(std::istream& in);
// The same reader for a world of its own (a server's): the band into `grid`,
// the player lines into startX and startY, the record lines into `record`.
// readWorld is this on the single player's records. True when every cell line
// was there.
bool readWorldInto(std::istream& in, WorldGrid& grid, std::int32_t& startX, std::int32_t& startY,
                   PlayerRecord& record);

// What the last world file read kept of the player: empty for a file
// written before records were kept. The run's set-up applies it.
extern PlayerRecord keptRecord;

// Copies the saved band, the player's column and its record out of the game.
void takeSnapshot(WorldSnapshot& snapshot);
// The whole file text of a snapshot.
void formatWorld(const WorldSnapshot& snapshot, std::string& text);

// The writers touch no game state, so the saving thread may call them; they
// print nothing and return 0 or the error of the step that failed. Without
// sync nothing is forced to the disk: only for measuring what syncing costs.
//
// Keeps the file at `path` as path + ".bak" (game/atomic_file.h).
int backUpWorldFile(const std::string& path, bool sync);
// Writes the snapshot atomically: the file holds the old world or the new,
// never a part, whenever the process stops.
int writeWorldFile(const std::string& path, const WorldSnapshot& snapshot, bool sync);

// A seam for a slow disk: runs on the saving thread before each world file is
// written. The benchmarks bind it to a sleep; nullptr (the default) is none.
void setDiskDelay(void (*delay)());
// Runs that seam: a larger world's write (game/world_store.h) waits for it too.
void delayForDisk();

// The store of worlds larger than the band: a 20 x 20 world keeps its 8,002
// line file (game/world_file.h); a larger one is the world database,
// world.sqlite in its folder (game/world_db.h), the world and the player's
// record in one file so that a save is one transaction.
//
// Before the database such a world was kept as two files, both replaced
// whole through the atomic store (game/atomic_file.h) with their backups.
// They are read once, to convert them, and then stay beside the database
// renamed with ".converted":
//
//   world.bin   the header, then the cells, zlib-compressed:
//     bytes  0..7   "TSWORLD\n"
//     then six unsigned 32-bit numbers, least significant byte first:
//                   format version (1), columns, rows, levels (20),
//                   the world's kind (worldgen/world_kinds.h), and the
//                   length of the compressed cells that follow to the end
//     cells         one byte each, a block id 0..22: columns 0..columns-1,
//                   within each its rows, within each levels 0..19
//   player.ini  the player's record lines (game/player_record.h)
//
// Reading checks all of it and gives either the whole world or an error;
// the grid is left alone on an error, never half read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/player_record.h"
#include "game/world_db.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

// The levels kept of every column, the same the world file keeps.
constexpr int kStoredLevels = kBandEdge;

// A world wider or longer than the band is kept in the database; the band's
// size keeps the world file.
inline bool usesWorldStore(int columns, int rows) {
    return columns > kBandEdge || rows > kBandEdge;
}

// The world copied out of the game, so that the saving thread may write it
// while the game goes on.
struct StoredWorld {
    std::int32_t columns = 0, rows = 0;
    WorldKind kind = WorldKind::Island;
    std::vector<std::uint8_t> cells;  // as world.bin lays them out
    PlayerRecord record;

    bool operator==(const StoredWorld& o) const {
        return columns == o.columns && rows == o.rows && kind == o.kind && cells == o.cells &&
               record == o.record;
    }
};

// The two files of the world in `folder`.
std::string storedWorldFile(const std::string& folder);
std::string storedPlayerFile(const std::string& folder);

// Copies columns 0..columns-1 and rows 0..rows-1 of `grid`. False when the
// size is not within the grid or a cell holds a value no block has (only a
// hand-edited world brings one): such a world cannot be stored as it is.
bool takeStoredWorld(const WorldGrid& grid, int columns, int rows, WorldKind kind,
                     const PlayerRecord& record, StoredWorld& stored);
// Puts the stored cells into `grid` and makes every other cell of the
// stored columns empty; the bounds are the caller's.
void placeStoredWorld(const StoredWorld& stored, WorldGrid& grid);

// world.bin's bytes (none when memory ran out), and back. Decoding returns an empty string or one
// line saying what is wrong, and changes `stored` only when the whole file is good.
std::string encodeWorld(const StoredWorld& stored);
std::string decodeWorld(const std::string& bytes, StoredWorld& stored);

// The writers touch no game state, so the saving thread may call them; they
// return 0 or the error of the step that failed.
//
// Keeps both files as their ".bak".
int backUpStoredWorld(const std::string& folder, bool sync);
// Writes world.bin, then player.ini: each holds its old text or its new
// whenever the process stops.
int writeStoredWorld(const std::string& folder, const StoredWorld& stored, bool sync);

// What reading a stored world found.
struct StoredRead {
    std::string problem;      // empty, or one line naming the file and what is wrong with it
    bool fromBackup = false;  // world.bin was missing and its backup was read, with its player
};
// Reads the world in `folder`; a missing player.ini is an empty record. When
// nothing stands at world.bin but its backup does (a player who deleted a
// damaged file to fall back on it), both backups are read instead.
StoredRead readStoredWorld(const std::string& folder, StoredWorld& stored);

// The size world.bin's header names (its backup's when it alone is there, as
// readStoredWorld reads it), without reading the cells: false when neither
// holds a header a reader would take.
bool peekStoredWorldSize(const std::string& folder, int& columns, int& rows);

// ---- the database

// Added to the old files' names once the database holds their world.
constexpr const char* kConvertedSuffix = ".converted";

// Whether `folder` holds a larger world: its database, or old files (or
// their backups) that are yet to be converted.
bool hasStoredWorld(const std::string& folder);

// Writes a new database for `folder` holding `grid`'s columns and rows of
// `meta`'s size, every level, and the single player's `record`: made beside
// under another name and renamed into place whole, so that a kill leaves
// either no database or all of it. False, with the reason and the error
// (errno) of the step that failed, when it could not be written; nothing is
// then left behind.
bool writeStoredWorldDb(const std::string& folder, const WorldDbMeta& meta, const WorldGrid& grid,
                        const PlayerRecord& record, std::string& problem, int& error);

// When `folder` holds the old files and no database yet, makes the database
// from them (their backups when world.bin is missing, as readStoredWorld
// reads them) and renames the old files. True when there was nothing to
// convert or the conversion worked; an old world that cannot be read stays
// as it is, unconverted, with the reason in `problem`.
bool convertStoredWorld(const std::string& folder, std::string& problem);

// The record lines the database keeps for the single player, and back: a
// column may name a larger world's own last one.
std::string recordLines(const PlayerRecord& record);
PlayerRecord recordFromLines(const std::string& text, int lastColumn);

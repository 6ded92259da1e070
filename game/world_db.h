// The world database: one SQLite file, world.sqlite, in a world's folder,
// holding a world larger than the band (or a server's world of any size) and
// its players' records, so that a save is one transaction: after a kill, a
// full disk or a failed write, the world and every record come from the same
// save. This file is the one seam another backend could stand behind; nothing
// else in the game speaks SQL.
//
// Tables (PRAGMA application_id tells our files from any other database,
// user_version is the format, 1):
//   meta(key, value, sum)       the world's size, kind, seed, start and
//                               anything else kept as "key = value" text
//   pieces(px, py, cells)       20 x 20 columns each, the pieces the wire
//                               sends, zlib-compressed: kPieceBytes cells,
//                               column by column, within each its rows,
//                               within each every grid level from the
//                               highest (-10) to the lowest (20), one byte a
//                               cell; cells past the world's edge are empty
//   records(name, record, sum)  a player's record lines (game/player_record.h)
//                               by name; the single player's is kSinglePlayer
//   edits(time, name, x, y, level, before, after)
//                               who changed which cell, for a server's owner
// `sum` is the CRC-32 of the value, and zlib checks every piece: a flipped
// bit is found when it is read, never played as a changed world.
//
// Nothing here touches game state beyond the grid passed in, so the saving
// thread may commit while the game goes on. Every function that can fail
// returns false with one line in `problem` naming the file and what is wrong.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

struct sqlite3;

constexpr int kDbPieceEdge = kBandEdge;  // the wire's pieces: 20 x 20 columns
constexpr int kDbPieceLevels = kGridLevels;
constexpr std::size_t kPieceBytes = std::size_t{kDbPieceEdge} * kDbPieceEdge * kDbPieceLevels;
// The record a single player's world keeps; a server's names are never empty.
inline const std::string kSinglePlayer;

// The world database's file in a world's folder.
std::string worldDbFile(const std::string& folder);

// Where a cell sits in a piece's bytes, from the piece's own first column and row.
inline std::size_t dbPieceIndex(int dx, int dy, int level) {
    return (static_cast<std::size_t>(dx) * kDbPieceEdge + dy) * kDbPieceLevels +
           (level - kHighestLevel);
}
// The pieces along a side of `columns` columns.
inline int piecesAlong(int columns) { return (columns + kDbPieceEdge - 1) / kDbPieceEdge; }

struct WorldDbMeta {
    std::int32_t columns = 0, rows = 0;
    WorldKind kind = WorldKind::Island;
    std::uint32_t seed = 0;
    // Where a new player is put down: a column and the level of its ground.
    std::optional<std::int32_t> startX, startY, startLevel;
    bool operator==(const WorldDbMeta& o) const {
        return columns == o.columns && rows == o.rows && kind == o.kind && seed == o.seed &&
               startX == o.startX && startY == o.startY && startLevel == o.startLevel;
    }
};

enum class DbMode { Create, ReadWrite, ReadOnly };

// An open world database; closing it (the destructor) after a read-write
// open marks it closed cleanly.
struct WorldDb {
    sqlite3* handle = nullptr;
    std::string path;
    DbMode mode = DbMode::ReadOnly;
    bool afterCrash = false;  // it was open for writing when its last writer stopped
    int systemError = 0;      // errno of the last step that failed on the disk, or 0

    WorldDb() = default;
    WorldDb(const WorldDb&) = delete;
    WorldDb& operator=(const WorldDb&) = delete;
    ~WorldDb();
};

// Opens `path`. Create makes a new, empty database there (an existing file is
// an error) with `meta`; ReadWrite and ReadOnly take an existing one and
// check that it is ours and that its meta is whole. A read-write open after
// a crash runs SQLite's integrity check first and refuses a database that
// fails it. Without `sync` nothing is forced to the disk (for measuring only).
// ReadOnly never writes, so it works while a game or a server has it open.
bool openWorldDb(WorldDb& db, const std::string& path, DbMode mode, std::string& problem,
                 const WorldDbMeta& meta = {}, bool sync = true);
// Closes now, as the destructor would; false when the clean close could not be noted.
bool closeWorldDb(WorldDb& db, std::string& problem);

bool readMeta(WorldDb& db, WorldDbMeta& meta, std::string& problem);
// Any other "key = value" a server or a later version keeps; `found` false when not there.
bool readMetaValue(WorldDb& db, const std::string& key, std::string& value, bool& found,
                   std::string& problem);

// One piece's cells (kPieceBytes); a piece the database lacks is an error.
bool readPiece(WorldDb& db, int px, int py, std::vector<std::uint8_t>& cells, std::string& problem);
// Every piece of the world into `grid`: columns and rows 0 .. the meta's size
// minus one, every level; the grid's bounds are the caller's. On an error the
// grid may hold part of the world: read into a grid of its own where that matters.
bool readWorldCells(WorldDb& db, const WorldDbMeta& meta, WorldGrid& grid, std::string& problem);

bool readRecord(WorldDb& db, const std::string& name, std::string& record, bool& found,
                std::string& problem);
bool readAllRecords(WorldDb& db, std::vector<std::pair<std::string, std::string>>& records,
                    std::string& problem);

struct CellEdit {
    std::int64_t time = 0;  // seconds since 1970
    std::string name;
    std::int32_t x = 0, y = 0, level = 0;
    BlockId before = Empty, after = Empty;
};

// A piece's raw cells as dbPieceIndex lays them out; the commit compresses them.
struct DbPiece {
    int px = 0, py = 0;
    std::vector<std::uint8_t> cells;
};

// One save: all of it reaches the database or none of it.
struct WorldDbChanges {
    std::optional<WorldDbMeta> meta;
    std::vector<std::pair<std::string, std::string>> metaValues;
    std::vector<DbPiece> pieces;
    // A record's lines, or nothing to remove the name.
    std::vector<std::pair<std::string, std::optional<std::string>>> records;
    std::vector<CellEdit> edits;
    std::optional<std::int64_t> forgetEditsBefore;  // drops edits older than this time
};
bool commitWorldDb(WorldDb& db, const WorldDbChanges& changes, std::string& problem);

// The last `most` edits, newest first, of one column (x and y) or by one
// name since `since`; an empty name and no column give every edit since then.
struct EditQuery {
    std::optional<std::int32_t> x, y;
    std::optional<std::string> name;
    std::int64_t since = 0;
    int most = 100;
};
bool readEdits(WorldDb& db, const EditQuery& query, std::vector<CellEdit>& edits,
               std::string& problem);

// A piece of `grid` (every level) as the database keeps it. False when a cell
// holds a value no block has (only a hand-edited world brings one): such a
// piece cannot be kept as it is.
bool takePiece(const WorldGrid& grid, int px, int py, int columns, int rows, DbPiece& piece);
// Every piece of the world, for a new database or a converted one.
bool takeAllPieces(const WorldGrid& grid, int columns, int rows, std::vector<DbPiece>& pieces);

// SQLite's own integrity check, and ours over every piece and record.
bool checkWorldDb(WorldDb& db, std::string& problem);

// Restore points: copies of a world kept in its folder's restore/ folder,
// named "<seconds since 1970>-<why>.sqlite" (a 20 x 20 world's ".ini"), so
// that the name alone dates them.
struct RestorePoint {
    std::string file;  // the whole path
    std::int64_t time = 0;
    std::string why;  // "start", "play", "restore": a session's start, play, before restoring
};
std::string restoreFolderOf(const std::string& folder);
// Newest first.
std::vector<RestorePoint> listRestorePoints(const std::string& folder);
// Copies the open database whole (SQLite's backup API) into a new restore
// point, written beside and renamed into place so that a restore point is
// always whole, then keeps only the newest `keep`.
bool makeRestorePoint(WorldDb& db, const std::string& folder, std::int64_t now,
                      const std::string& why, int keep, std::string& problem);
// The name a restore point of `why` made at `now` gets, with `extension` (".sqlite", ".ini").
std::string restorePointFile(const std::string& folder, std::int64_t now, const std::string& why,
                             const std::string& extension);
// Keeps the newest `keep` restore points of the folder, removes the rest.
void pruneRestorePoints(const std::string& folder, int keep);
// Puts a restore point's world and records into the open database in one
// transaction, after checking the restore point whole. The caller reads the
// world again afterwards.
bool restoreWorldDb(WorldDb& db, const std::string& pointFile, std::string& problem);

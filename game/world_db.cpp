// The world database on SQLite. WAL lets a reader (the census, a world shot)
// look while the game writes, and a commit is atomic across every table.
// synchronous = NORMAL: a commit is whole or absent after any kill, full disk
// or power cut, and it costs no fsync; a power cut may take the last few
// saves back, together, never one half of one. The log is synced before
// each checkpoint and the database after it, so a clean close is durable.
#include "game/world_db.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "game/atomic_file.h"

namespace {

constexpr std::int32_t kApplicationId = 0x54535744;  // "TSWD"
constexpr int kFormat = 1;
constexpr int kCompression = 6;
constexpr int kBusyMilliseconds = 10000;  // a reader waits out a writer's checkpoint

// The one test of what a cell may hold, on the way in and on the way out.
bool cellFits(BlockId value) { return isKnownBlock(value); }
bool byteFits(std::uint8_t value) { return cellFits(value); }

// A prepared statement that finalizes itself.
struct Statement {
    sqlite3_stmt* s = nullptr;
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    ~Statement() { sqlite3_finalize(s); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return s != nullptr; }
    void text(int i, const std::string& v) {
        sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void number(int i, std::int64_t v) { sqlite3_bind_int64(s, i, v); }
    void blob(int i, const void* data, std::size_t size) {
        sqlite3_bind_blob(s, i, data, static_cast<int>(size), SQLITE_TRANSIENT);
    }
    std::string textAt(int i) {
        const unsigned char* t = sqlite3_column_text(s, i);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
                 : std::string();
    }
    std::int64_t numberAt(int i) { return sqlite3_column_int64(s, i); }
};

bool fail(const WorldDb& db, std::string& problem, const std::string& what) {
    problem = db.path + ": " + what;
    return false;
}

bool failSql(WorldDb& db, std::string& problem, const char* doing) {
    db.systemError = db.handle ? sqlite3_system_errno(db.handle) : 0;
    const int code = db.handle ? sqlite3_extended_errcode(db.handle) : SQLITE_CANTOPEN;
    const int primary = code & 0xff;
    std::string why = db.handle ? sqlite3_errmsg(db.handle) : "cannot be opened";
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) why = "is damaged (" + why + ")";
    else if (primary == SQLITE_FULL) why = "the disk is full";
    return fail(db, problem, std::string(doing) + ": " + why);
}

bool run(WorldDb& db, const char* sql, std::string& problem, const char* doing) {
    return sqlite3_exec(db.handle, sql, nullptr, nullptr, nullptr) == SQLITE_OK ||
           failSql(db, problem, doing);
}

std::uint32_t sumOf(const std::string& key, const std::string& value) {
    uLong sum = crc32(0L, reinterpret_cast<const Bytef*>(key.data()), key.size());
    sum = crc32(sum, reinterpret_cast<const Bytef*>("\n"), 1);
    return crc32(sum, reinterpret_cast<const Bytef*>(value.data()), value.size());
}

bool pragmaNumber(WorldDb& db, const char* sql, std::int64_t& value) {
    Statement q(db.handle, sql);
    if (!q || sqlite3_step(q.s) != SQLITE_ROW) return false;
    value = q.numberAt(0);
    return true;
}

bool readNumber(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    std::int64_t n = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        n = n * 10 + (text[i] - '0');
    }
    if (text[0] == '-') n = -n;
    if (n < low || n > high) return false;
    out = n;
    return true;
}

std::vector<std::pair<std::string, std::string>> metaPairs(const WorldDbMeta& meta) {
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"columns", std::to_string(meta.columns)},
        {"rows", std::to_string(meta.rows)},
        {"kind", kindName(meta.kind)},
        {"seed", std::to_string(meta.seed)}};
    if (meta.startX && meta.startY && meta.startLevel) {
        pairs.emplace_back("start_x", std::to_string(*meta.startX));
        pairs.emplace_back("start_y", std::to_string(*meta.startY));
        pairs.emplace_back("start_level", std::to_string(*meta.startLevel));
    }
    return pairs;
}

bool writeMetaValue(WorldDb& db, const std::string& key, const std::string& value,
                    std::string& problem) {
    Statement q(db.handle, "INSERT OR REPLACE INTO meta(key, value, sum) VALUES(?, ?, ?)");
    if (!q) return failSql(db, problem, "writing its meta");
    q.text(1, key);
    q.text(2, value);
    q.number(3, sumOf(key, value));
    return sqlite3_step(q.s) == SQLITE_DONE || failSql(db, problem, "writing its meta");
}

bool writeMeta(WorldDb& db, const WorldDbMeta& meta, std::string& problem) {
    if (!(meta.startX && meta.startY && meta.startLevel) &&
        !run(db, "DELETE FROM meta WHERE key IN ('start_x', 'start_y', 'start_level')", problem,
             "writing its meta"))
        return false;
    for (const auto& [key, value] : metaPairs(meta))
        if (!writeMetaValue(db, key, value, problem)) return false;
    return true;
}

bool metaFits(const WorldDbMeta& meta) {
    auto within = [](const std::optional<std::int32_t>& v, int low, int high) {
        return !v || (*v >= low && *v <= high);
    };
    return meta.columns >= 1 && meta.columns <= kLargestWorld && meta.rows >= 1 &&
           meta.rows <= kLargestWorld && within(meta.startX, 0, meta.columns - 1) &&
           within(meta.startY, 0, meta.rows - 1) &&
           within(meta.startLevel, kHighestLevel, kLowestLevel);
}

bool inflatePiece(const void* data, int size, std::vector<std::uint8_t>& cells) {
    cells.assign(kPieceBytes + 1, 0);
    uLongf length = cells.size();
    if (size <= 0 ||
        uncompress(cells.data(), &length, static_cast<const Bytef*>(data),
                   static_cast<uLong>(size)) != Z_OK ||
        length != kPieceBytes)
        return false;
    cells.resize(kPieceBytes);
    return std::all_of(cells.begin(), cells.end(), byteFits);
}

std::string pieceName(int px, int py) {
    return "piece " + std::to_string(px) + "," + std::to_string(py);
}

const char* const kSchema =
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL, sum INTEGER NOT NULL);"
    "CREATE TABLE pieces(px INTEGER NOT NULL, py INTEGER NOT NULL, cells BLOB NOT NULL,"
    " PRIMARY KEY(px, py)) WITHOUT ROWID;"
    "CREATE TABLE records(name TEXT PRIMARY KEY, record TEXT NOT NULL, sum INTEGER NOT NULL);"
    "CREATE TABLE edits(time INTEGER NOT NULL, name TEXT NOT NULL, x INTEGER NOT NULL,"
    " y INTEGER NOT NULL, level INTEGER NOT NULL, before INTEGER NOT NULL,"
    " after INTEGER NOT NULL);"
    "CREATE INDEX edits_by_column ON edits(x, y, time);"
    "CREATE INDEX edits_by_name ON edits(name, time);";

bool ourDatabase(WorldDb& db, std::string& problem) {
    std::int64_t id = 0, format = 0;
    if (!pragmaNumber(db, "PRAGMA application_id", id) ||
        !pragmaNumber(db, "PRAGMA user_version", format))
        return failSql(db, problem, "reading it");
    if (id != kApplicationId) return fail(db, problem, "is not a world database");
    if (format != kFormat)
        return fail(db, problem,
                    "is in format " + std::to_string(format) + ", this game reads format " +
                        std::to_string(kFormat));
    return true;
}

bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Copies the whole of `from` into `to` in one step of the backup API: the
// destination takes it in one transaction of its own.
bool copyDatabase(sqlite3* from, sqlite3* to) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (backup == nullptr) return false;
    const int stepped = sqlite3_backup_step(backup, -1);
    return sqlite3_backup_finish(backup) == SQLITE_OK && stepped == SQLITE_DONE;
}

}  // namespace

std::string worldDbFile(const std::string& folder) { return folder + "/world.sqlite"; }

WorldDb::~WorldDb() {
    std::string ignored;
    closeWorldDb(*this, ignored);
}

bool closeWorldDb(WorldDb& db, std::string& problem) {
    if (db.handle == nullptr) return true;
    bool noted = true;
    if (db.mode != DbMode::ReadOnly) noted = writeMetaValue(db, "in_use", "0", problem);
    sqlite3_close_v2(db.handle);
    db.handle = nullptr;
    return noted;
}

bool openWorldDb(WorldDb& db, const std::string& path, DbMode mode, std::string& problem,
                 const WorldDbMeta& meta, bool sync) {
    std::string ignored;
    closeWorldDb(db, ignored);
    db.path = path;
    db.mode = mode;
    db.afterCrash = false;
    if (mode == DbMode::Create && nameExists(path)) return fail(db, problem, "is there already");
    if (mode == DbMode::Create && !metaFits(meta))
        return fail(db, problem, "a world of that size cannot be kept");
    if (mode != DbMode::Create && !nameExists(path)) return fail(db, problem, "is missing");
    const int flags = mode == DbMode::ReadOnly ? SQLITE_OPEN_READONLY
                      : mode == DbMode::Create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                               : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(path.c_str(), &db.handle, flags | SQLITE_OPEN_NOFOLLOW, nullptr) !=
        SQLITE_OK) {
        const bool opened = failSql(db, problem, "opening it");
        sqlite3_close_v2(db.handle);
        db.handle = nullptr;
        return opened;
    }
    sqlite3_busy_timeout(db.handle, kBusyMilliseconds);
    sqlite3_extended_result_codes(db.handle, 1);
    auto refuse = [&]() {
        sqlite3_close_v2(db.handle);
        db.handle = nullptr;
        return false;
    };
    if (mode == DbMode::Create) {
        const std::string pragmas = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                                    "; PRAGMA user_version = " + std::to_string(kFormat) + ";";
        if (!run(db, "PRAGMA journal_mode = WAL", problem, "creating it") ||
            !run(db, sync ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = OFF", problem,
                 "creating it") ||
            !run(db, "BEGIN IMMEDIATE", problem, "creating it") ||
            !run(db, pragmas.c_str(), problem, "creating it") ||
            !run(db, kSchema, problem, "creating it") || !writeMeta(db, meta, problem) ||
            !writeMetaValue(db, "in_use", "1", problem) ||
            !run(db, "COMMIT", problem, "creating it"))
            return refuse();
        return true;
    }
    if (!ourDatabase(db, problem)) return refuse();
    WorldDbMeta read;
    if (!readMeta(db, read, problem)) return refuse();
    if (mode == DbMode::ReadOnly) return true;
    std::string inUse;
    bool found = false;
    if (!run(db, "PRAGMA journal_mode = WAL", problem, "opening it") ||
        !run(db, sync ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = OFF", problem,
             "opening it") ||
        !readMetaValue(db, "in_use", inUse, found, problem))
        return refuse();
    db.afterCrash = found && inUse != "0";
    if (db.afterCrash && !checkWorldDb(db, problem)) return refuse();
    if (!writeMetaValue(db, "in_use", "1", problem)) return refuse();
    return true;
}

bool readMetaValue(WorldDb& db, const std::string& key, std::string& value, bool& found,
                   std::string& problem) {
    Statement q(db.handle, "SELECT value, sum FROM meta WHERE key = ?");
    if (!q) return failSql(db, problem, "reading its meta");
    q.text(1, key);
    const int stepped = sqlite3_step(q.s);
    found = stepped == SQLITE_ROW;
    if (stepped == SQLITE_DONE) return true;
    if (stepped != SQLITE_ROW) return failSql(db, problem, "reading its meta");
    value = q.textAt(0);
    if (static_cast<std::uint32_t>(q.numberAt(1)) != sumOf(key, value))
        return fail(db, problem, "its " + key + " is damaged");
    return true;
}

bool readMeta(WorldDb& db, WorldDbMeta& meta, std::string& problem) {
    WorldDbMeta read;
    std::int64_t numbers[5] = {};
    const char* const keys[5] = {"columns", "rows", "seed", "start_x", "start_y"};
    const std::int64_t highs[5] = {kLargestWorld, kLargestWorld, 0xffffffffLL, kLargestWorld - 1,
                                   kLargestWorld - 1};
    bool present[5] = {};
    for (int i = 0; i < 5; ++i) {
        std::string text;
        if (!readMetaValue(db, keys[i], text, present[i], problem)) return false;
        if (present[i] && !readNumber(text, 0, highs[i], numbers[i]))
            return fail(db, problem, std::string("its ") + keys[i] + " is not a number it may be");
        if (i < 3 && !present[i])
            return fail(db, problem, std::string("its ") + keys[i] + " is missing");
    }
    std::string text;
    bool found = false;
    if (!readMetaValue(db, "kind", text, found, problem)) return false;
    if (!found || !kindFromName(text, read.kind))
        return fail(db, problem, "its kind is missing or unknown");
    read.columns = static_cast<std::int32_t>(numbers[0]);
    read.rows = static_cast<std::int32_t>(numbers[1]);
    read.seed = static_cast<std::uint32_t>(numbers[2]);
    if (!read.columns || !read.rows) return fail(db, problem, "its size is empty");
    std::int64_t level = 0;
    if (!readMetaValue(db, "start_level", text, found, problem)) return false;
    if (present[3] && present[4] && found) {
        if (!readNumber(text, kHighestLevel, kLowestLevel, level))
            return fail(db, problem, "its start_level is not a number it may be");
        read.startX = static_cast<std::int32_t>(numbers[3]);
        read.startY = static_cast<std::int32_t>(numbers[4]);
        read.startLevel = static_cast<std::int32_t>(level);
    }
    if (!metaFits(read)) return fail(db, problem, "its start lies outside the world");
    meta = read;
    return true;
}

bool readPiece(WorldDb& db, int px, int py, std::vector<std::uint8_t>& cells,
               std::string& problem) {
    Statement q(db.handle, "SELECT cells FROM pieces WHERE px = ? AND py = ?");
    if (!q) return failSql(db, problem, "reading a piece");
    q.number(1, px);
    q.number(2, py);
    const int stepped = sqlite3_step(q.s);
    if (stepped == SQLITE_DONE) return fail(db, problem, pieceName(px, py) + " is missing");
    if (stepped != SQLITE_ROW) return failSql(db, problem, "reading a piece");
    if (!inflatePiece(sqlite3_column_blob(q.s, 0), sqlite3_column_bytes(q.s, 0), cells))
        return fail(db, problem, pieceName(px, py) + " is damaged");
    return true;
}

bool readWorldCells(WorldDb& db, const WorldDbMeta& meta, WorldGrid& grid, std::string& problem) {
    const int along = piecesAlong(meta.columns), down = piecesAlong(meta.rows);
    std::vector<bool> seen(static_cast<std::size_t>(along) * down);
    Statement q(db.handle, "SELECT px, py, cells FROM pieces");
    if (!q) return failSql(db, problem, "reading its pieces");
    std::vector<std::uint8_t> cells;
    int stepped;
    while ((stepped = sqlite3_step(q.s)) == SQLITE_ROW) {
        const std::int64_t px = q.numberAt(0), py = q.numberAt(1);
        if (px < 0 || px >= along || py < 0 || py >= down)
            return fail(db, problem, "holds a piece outside the world");
        const int x0 = static_cast<int>(px) * kDbPieceEdge,
                  y0 = static_cast<int>(py) * kDbPieceEdge;
        if (!inflatePiece(sqlite3_column_blob(q.s, 2), sqlite3_column_bytes(q.s, 2), cells))
            return fail(db, problem,
                        pieceName(static_cast<int>(px), static_cast<int>(py)) + " is damaged");
        seen[static_cast<std::size_t>(px) * down + py] = true;
        for (int dx = 0; dx < kDbPieceEdge && x0 + dx < meta.columns; ++dx)
            for (int dy = 0; dy < kDbPieceEdge && y0 + dy < meta.rows; ++dy)
                std::copy_n(&cells[dbPieceIndex(dx, dy, kHighestLevel)], kDbPieceLevels,
                            &grid.cells[cellIndex(x0 + dx, y0 + dy, kHighestLevel)]);
    }
    if (stepped != SQLITE_DONE) return failSql(db, problem, "reading its pieces");
    for (std::size_t i = 0; i < seen.size(); ++i)
        if (!seen[i])
            return fail(
                db, problem,
                pieceName(static_cast<int>(i) / down, static_cast<int>(i) % down) + " is missing");
    // The cells changed behind the writer's back: the tick wakes everything.
    ++grid.revision;
    return true;
}

bool readRecord(WorldDb& db, const std::string& name, std::string& record, bool& found,
                std::string& problem) {
    Statement q(db.handle, "SELECT record, sum FROM records WHERE name = ?");
    if (!q) return failSql(db, problem, "reading a record");
    q.text(1, name);
    const int stepped = sqlite3_step(q.s);
    found = stepped == SQLITE_ROW;
    if (stepped == SQLITE_DONE) return true;
    if (stepped != SQLITE_ROW) return failSql(db, problem, "reading a record");
    record = q.textAt(0);
    if (static_cast<std::uint32_t>(q.numberAt(1)) != sumOf(name, record))
        return fail(db, problem, "the record of \"" + name + "\" is damaged");
    return true;
}

bool readAllRecords(WorldDb& db, std::vector<std::pair<std::string, std::string>>& records,
                    std::string& problem) {
    Statement q(db.handle, "SELECT name, record, sum FROM records ORDER BY name");
    if (!q) return failSql(db, problem, "reading the records");
    std::vector<std::pair<std::string, std::string>> read;
    int stepped;
    while ((stepped = sqlite3_step(q.s)) == SQLITE_ROW) {
        read.emplace_back(q.textAt(0), q.textAt(1));
        if (static_cast<std::uint32_t>(q.numberAt(2)) !=
            sumOf(read.back().first, read.back().second))
            return fail(db, problem, "the record of \"" + read.back().first + "\" is damaged");
    }
    if (stepped != SQLITE_DONE) return failSql(db, problem, "reading the records");
    records = std::move(read);
    return true;
}

bool commitWorldDb(WorldDb& db, const WorldDbChanges& changes, std::string& problem) {
    if (db.handle == nullptr || db.mode == DbMode::ReadOnly)
        return fail(db, problem, "is not open for saving");
    if (changes.meta && !metaFits(*changes.meta))
        return fail(db, problem, "a world of that size cannot be kept");
    // Everything is checked and compressed before the transaction, so that
    // it holds the database's lock for as short a time as it can.
    std::vector<std::vector<Bytef>> packed;
    for (const DbPiece& piece : changes.pieces) {
        if (piece.px < 0 || piece.px >= piecesAlong(kLargestWorld) || piece.py < 0 ||
            piece.py >= piecesAlong(kLargestWorld) || piece.cells.size() != kPieceBytes ||
            !std::all_of(piece.cells.begin(), piece.cells.end(), byteFits))
            return fail(db, problem, pieceName(piece.px, piece.py) + " cannot be kept as it is");
        uLongf length = compressBound(kPieceBytes);
        packed.emplace_back(length);
        if (compress2(packed.back().data(), &length, piece.cells.data(), kPieceBytes,
                      kCompression) != Z_OK)
            return fail(db, problem, "memory ran out compressing " + pieceName(piece.px, piece.py));
        packed.back().resize(length);
    }
    if (!run(db, "BEGIN IMMEDIATE", problem, "saving")) return false;
    auto all = [&]() {
        if (changes.meta && !writeMeta(db, *changes.meta, problem)) return false;
        for (const auto& [key, value] : changes.metaValues)
            if (!writeMetaValue(db, key, value, problem)) return false;
        Statement piece(db.handle, "INSERT OR REPLACE INTO pieces(px, py, cells) VALUES(?, ?, ?)");
        for (std::size_t i = 0; i < changes.pieces.size(); ++i) {
            sqlite3_reset(piece.s);
            piece.number(1, changes.pieces[i].px);
            piece.number(2, changes.pieces[i].py);
            piece.blob(3, packed[i].data(), packed[i].size());
            if (sqlite3_step(piece.s) != SQLITE_DONE) return failSql(db, problem, "saving a piece");
        }
        Statement put(db.handle,
                      "INSERT OR REPLACE INTO records(name, record, sum) VALUES(?, ?, ?)");
        Statement remove(db.handle, "DELETE FROM records WHERE name = ?");
        for (const auto& [name, record] : changes.records) {
            Statement& q = record ? put : remove;
            sqlite3_reset(q.s);
            q.text(1, name);
            if (record) {
                q.text(2, *record);
                q.number(3, sumOf(name, *record));
            }
            if (sqlite3_step(q.s) != SQLITE_DONE) return failSql(db, problem, "saving a record");
        }
        Statement edit(db.handle,
                       "INSERT INTO edits(time, name, x, y, level, before, after)"
                       " VALUES(?, ?, ?, ?, ?, ?, ?)");
        for (const CellEdit& e : changes.edits) {
            sqlite3_reset(edit.s);
            edit.number(1, e.time);
            edit.text(2, e.name);
            edit.number(3, e.x);
            edit.number(4, e.y);
            edit.number(5, e.level);
            edit.number(6, e.before);
            edit.number(7, e.after);
            if (sqlite3_step(edit.s) != SQLITE_DONE) return failSql(db, problem, "logging edits");
        }
        if (changes.forgetEditsBefore) {
            Statement forget(db.handle, "DELETE FROM edits WHERE time < ?");
            forget.number(1, *changes.forgetEditsBefore);
            if (sqlite3_step(forget.s) != SQLITE_DONE)
                return failSql(db, problem, "forgetting old edits");
        }
        return run(db, "COMMIT", problem, "saving");
    };
    if (all()) return true;
    sqlite3_exec(db.handle, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool readEdits(WorldDb& db, const EditQuery& query, std::vector<CellEdit>& edits,
               std::string& problem) {
    std::string sql = "SELECT time, name, x, y, level, before, after FROM edits WHERE time >= ?";
    if (query.x && query.y) sql += " AND x = ? AND y = ?";
    if (query.name) sql += " AND name = ?";
    sql += " ORDER BY time DESC, rowid DESC LIMIT ?";
    Statement q(db.handle, sql.c_str());
    if (!q) return failSql(db, problem, "reading its edits");
    int i = 1;
    q.number(i++, query.since);
    if (query.x && query.y) {
        q.number(i++, *query.x);
        q.number(i++, *query.y);
    }
    if (query.name) q.text(i++, *query.name);
    q.number(i, query.most);
    edits.clear();
    int stepped;
    while ((stepped = sqlite3_step(q.s)) == SQLITE_ROW) {
        CellEdit e;
        e.time = q.numberAt(0);
        e.name = q.textAt(1);
        e.x = static_cast<std::int32_t>(q.numberAt(2));
        e.y = static_cast<std::int32_t>(q.numberAt(3));
        e.level = static_cast<std::int32_t>(q.numberAt(4));
        e.before = static_cast<BlockId>(q.numberAt(5));
        e.after = static_cast<BlockId>(q.numberAt(6));
        edits.push_back(std::move(e));
    }
    return stepped == SQLITE_DONE || failSql(db, problem, "reading its edits");
}

bool takePiece(const WorldGrid& grid, int px, int py, int columns, int rows, DbPiece& piece) {
    piece.px = px;
    piece.py = py;
    piece.cells.assign(kPieceBytes, Empty);
    const int x0 = px * kDbPieceEdge, y0 = py * kDbPieceEdge;
    bool fits = true;
    for (int dx = 0; dx < kDbPieceEdge && x0 + dx < columns; ++dx)
        for (int dy = 0; dy < kDbPieceEdge && y0 + dy < rows; ++dy) {
            const BlockId* column = &grid.cells[cellIndex(x0 + dx, y0 + dy, kHighestLevel)];
            std::uint8_t* out = &piece.cells[dbPieceIndex(dx, dy, kHighestLevel)];
            for (int level = 0; level < kDbPieceLevels; ++level) {
                fits = fits && cellFits(column[level]);
                out[level] = static_cast<std::uint8_t>(column[level]);
            }
        }
    return fits;
}

bool takeAllPieces(const WorldGrid& grid, int columns, int rows, std::vector<DbPiece>& pieces) {
    pieces.clear();
    bool fits = true;
    for (int px = 0; px < piecesAlong(columns); ++px)
        for (int py = 0; py < piecesAlong(rows); ++py) {
            pieces.emplace_back();
            fits = takePiece(grid, px, py, columns, rows, pieces.back()) && fits;
        }
    return fits;
}

bool checkWorldDb(WorldDb& db, std::string& problem) {
    {
        Statement q(db.handle, "PRAGMA integrity_check");
        if (!q) return failSql(db, problem, "checking it");
        const int stepped = sqlite3_step(q.s);
        if (stepped != SQLITE_ROW) return failSql(db, problem, "checking it");
        const std::string verdict = q.textAt(0);
        if (verdict != "ok") return fail(db, problem, "is damaged (" + verdict + ")");
    }
    WorldDbMeta meta;
    if (!readMeta(db, meta, problem)) return false;
    Statement q(db.handle, "SELECT px, py, cells FROM pieces");
    std::vector<std::uint8_t> cells;
    int stepped;
    while ((stepped = sqlite3_step(q.s)) == SQLITE_ROW)
        if (!inflatePiece(sqlite3_column_blob(q.s, 2), sqlite3_column_bytes(q.s, 2), cells))
            return fail(
                db, problem,
                pieceName(static_cast<int>(q.numberAt(0)), static_cast<int>(q.numberAt(1))) +
                    " is damaged");
    if (stepped != SQLITE_DONE) return failSql(db, problem, "checking its pieces");
    std::vector<std::pair<std::string, std::string>> records;
    return readAllRecords(db, records, problem);
}

std::string restoreFolderOf(const std::string& folder) { return folder + "/restore"; }

std::string restorePointFile(const std::string& folder, std::int64_t now, const std::string& why,
                             const std::string& extension) {
    const std::string stem = restoreFolderOf(folder) + "/" + std::to_string(now) + "-" + why;
    std::string file = stem + extension;
    for (int n = 2; nameExists(file); ++n) file = stem + "-" + std::to_string(n) + extension;
    return file;
}

std::vector<RestorePoint> listRestorePoints(const std::string& folder) {
    std::vector<RestorePoint> points;
    const std::string restore = restoreFolderOf(folder);
    DIR* listing = ::opendir(restore.c_str());
    if (listing == nullptr) return points;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        const std::size_t dash = name.find('-'), dot = name.rfind('.');
        if (dash == std::string::npos || dot == std::string::npos || dot < dash) continue;
        const std::string extension = name.substr(dot);
        std::int64_t time = 0;
        if ((extension != ".sqlite" && extension != ".ini") ||
            !readNumber(name.substr(0, dash), 0, INT64_MAX / 10, time))
            continue;
        std::string why = name.substr(dash + 1, dot - dash - 1);
        why = why.substr(0, why.find('-'));
        points.push_back({restore + "/" + name, time, why});
    }
    ::closedir(listing);
    std::sort(points.begin(), points.end(), [](const RestorePoint& a, const RestorePoint& b) {
        return a.time != b.time ? a.time > b.time : a.file > b.file;
    });
    return points;
}

void pruneRestorePoints(const std::string& folder, int keep) {
    const std::vector<RestorePoint> points = listRestorePoints(folder);
    for (std::size_t i = static_cast<std::size_t>(std::max(keep, 0)); i < points.size(); ++i)
        ::unlink(points[i].file.c_str());
}

bool makeRestorePoint(WorldDb& db, const std::string& folder, std::int64_t now,
                      const std::string& why, int keep, std::string& problem) {
    const std::string file = restorePointFile(folder, now, why, ".sqlite");
    const std::string part = file + ".part";
    if (!makeFolders(part)) return fail(db, problem, "its restore folder cannot be made");
    ::unlink(part.c_str());
    sqlite3* copy = nullptr;
    // Nobody reads the copy before it is synced and renamed into place, so
    // it needs no journal while it is written. A restore point is only read
    // until it is restored: without a log of its own, reading it leaves
    // nothing beside it.
    bool made =
        sqlite3_open_v2(part.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
            SQLITE_OK &&
        sqlite3_exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr,
                     nullptr) == SQLITE_OK &&
        copyDatabase(db.handle, copy) &&
        sqlite3_exec(copy, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!made && copy) problem = part + ": " + sqlite3_errmsg(copy);
    sqlite3_close_v2(copy);
    if (made && (!syncFile(part) || ::rename(part.c_str(), file.c_str()) != 0 ||
                 !syncFolder(restoreFolderOf(folder)))) {
        made = false;
        problem = file + ": " + std::strerror(errno);
    }
    if (!made) {
        if (problem.empty()) problem = part + ": the restore point could not be written";
        ::unlink(part.c_str());
        return false;
    }
    pruneRestorePoints(folder, keep);
    return true;
}

bool restoreWorldDb(WorldDb& db, const std::string& pointFile, std::string& problem) {
    if (db.handle == nullptr || db.mode == DbMode::ReadOnly)
        return fail(db, problem, "is not open for restoring");
    WorldDb point;
    if (!openWorldDb(point, pointFile, DbMode::ReadOnly, problem) || !checkWorldDb(point, problem))
        return false;
    if (!copyDatabase(point.handle, db.handle)) return failSql(db, problem, "restoring it");
    return run(db, "PRAGMA journal_mode = WAL", problem, "restoring it") &&
           writeMetaValue(db, "in_use", "1", problem);
}

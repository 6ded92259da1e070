// The large world's old two files: the cells packed a byte each and
// compressed, the player's record as text beside them; and the way from them
// into the database.
#include "game/world_store.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "game/atomic_file.h"

namespace {

constexpr char kMagic[] = "TSWORLD\n";
constexpr std::size_t kMagicLength = sizeof kMagic - 1;
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderLength = kMagicLength + 6 * 4;
// Fast compression: a generated island still shrinks some fifteen times, and
// the save runs on every autosave, so time matters more than the last bytes.
constexpr int kCompression = Z_BEST_SPEED;

bool sizeWithinGrid(std::int64_t columns, std::int64_t rows) {
    return columns >= 1 && columns <= kGridSizeX && rows >= 1 && rows <= kGridSizeY;
}

std::size_t cellCount(std::int64_t columns, std::int64_t rows) {
    return static_cast<std::size_t>(columns * rows * kStoredLevels);
}

void appendNumber(std::string& out, std::uint32_t n) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((n >> shift) & 0xff);
}

std::uint32_t numberAt(const std::string& bytes, std::size_t at) {
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = n << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return n;
}

}  // namespace

std::string storedWorldFile(const std::string& folder) { return folder + "/world.bin"; }
std::string storedPlayerFile(const std::string& folder) { return folder + "/player.ini"; }

bool takeStoredWorld(const WorldGrid& grid, int columns, int rows, WorldKind kind,
                     const PlayerRecord& record, StoredWorld& stored) {
    if (!sizeWithinGrid(columns, rows)) return false;
    stored.columns = columns;
    stored.rows = rows;
    stored.kind = kind;
    stored.record = record;
    stored.cells.resize(cellCount(columns, rows));
    std::uint8_t* out = stored.cells.data();
    bool known = true;
    for (int x = 0; x < columns; ++x) {
        for (int y = 0; y < rows; ++y) {
            // A column's levels lie side by side in the grid too.
            const BlockId* column = &grid.cells[cellIndex(x, y, 0)];
            for (int level = 0; level < kStoredLevels; ++level) {
                known = known && isCellValue(column[level]);
                *out++ = static_cast<std::uint8_t>(column[level]);
            }
        }
    }
    return known;
}

void placeStoredWorld(const StoredWorld& stored, WorldGrid& grid) {
    const std::uint8_t* in = stored.cells.data();
    for (int x = 0; x < stored.columns; ++x) {
        for (int y = 0; y < stored.rows; ++y) {
            for (int level = kHighestLevel; level <= kLowestLevel; ++level) {
                const bool kept = level >= 0 && level < kStoredLevels;
                setCellOf(grid, x, y, level, kept ? BlockId{*in++} : BlockId{Empty});
            }
        }
    }
}

std::string encodeWorld(const StoredWorld& stored) {
    uLongf packedLength = compressBound(stored.cells.size());
    std::string bytes(kHeaderLength + packedLength, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&bytes[kHeaderLength]), &packedLength,
                  stored.cells.data(), stored.cells.size(), kCompression) != Z_OK)
        return "";
    bytes.resize(kHeaderLength + packedLength);
    std::string header(kMagic, kMagicLength);
    for (std::uint32_t n :
         {kVersion, static_cast<std::uint32_t>(stored.columns),
          static_cast<std::uint32_t>(stored.rows), static_cast<std::uint32_t>(kStoredLevels),
          static_cast<std::uint32_t>(stored.kind), static_cast<std::uint32_t>(packedLength)})
        appendNumber(header, n);
    std::copy(header.begin(), header.end(), bytes.begin());
    return bytes;
}

std::string decodeWorld(const std::string& bytes, StoredWorld& stored) {
    if (bytes.size() < kHeaderLength || bytes.compare(0, kMagicLength, kMagic) != 0)
        return "it is not a world file";
    const auto field = [&](int n) { return numberAt(bytes, kMagicLength + 4 * n); };
    if (field(0) != kVersion)
        return "it is a world of format " + std::to_string(field(0)) + ", not " +
               std::to_string(kVersion);
    const std::uint32_t columns = field(1), rows = field(2), kind = field(4);
    if (!sizeWithinGrid(columns, rows))
        return "its size " + std::to_string(columns) + " x " + std::to_string(rows) +
               " is not one a world can have";
    if (field(3) != kStoredLevels) return "it keeps " + std::to_string(field(3)) + " levels";
    if (kind > static_cast<std::uint32_t>(WorldKind::Starter))
        return "its kind " + std::to_string(kind) + " is unknown";
    const std::uint32_t packedLength = field(5);
    if (packedLength != bytes.size() - kHeaderLength) return "it is cut short or too long";
    std::vector<std::uint8_t> cells(cellCount(columns, rows));
    uLongf cellsLength = cells.size();
    uLong consumed = packedLength;
    const int result =
        uncompress2(cells.data(), &cellsLength,
                    reinterpret_cast<const Bytef*>(bytes.data() + kHeaderLength), &consumed);
    if (result != Z_OK || cellsLength != cells.size() || consumed != packedLength)
        return "its cells are damaged";
    const auto unknown =
        std::find_if(cells.begin(), cells.end(), [](std::uint8_t id) { return !isCellValue(id); });
    if (unknown != cells.end()) return "a cell holds " + std::to_string(*unknown) + ", no block";
    stored.columns = static_cast<std::int32_t>(columns);
    stored.rows = static_cast<std::int32_t>(rows);
    stored.kind = static_cast<WorldKind>(kind);
    stored.cells = std::move(cells);
    return "";
}

int backUpStoredWorld(const std::string& folder, bool sync) {
    if (int error = backUpFile(storedWorldFile(folder), sync)) return error;
    return backUpFile(storedPlayerFile(folder), sync);
}

int writeStoredWorld(const std::string& folder, const StoredWorld& stored, bool sync) {
    if (!sizeWithinGrid(stored.columns, stored.rows) ||
        stored.cells.size() != cellCount(stored.columns, stored.rows))
        return EINVAL;
    const std::string bytes = encodeWorld(stored);
    if (bytes.empty()) return ENOMEM;  // the only way compressing a whole buffer fails
    if (int error = replaceFile(storedWorldFile(folder), bytes, sync)) return error;
    std::string text;
    formatPlayerRecord(stored.record, text);
    return replaceFile(storedPlayerFile(folder), text, sync);
}

StoredRead readStoredWorld(const std::string& folder, StoredWorld& stored) {
    StoredRead result;
    std::string path = storedWorldFile(folder), playerPath = storedPlayerFile(folder);
    if (!nameExists(path) && nameExists(path + ".bak")) {
        // The two backups were kept by the same save, so they belong together.
        path += ".bak";
        playerPath += ".bak";
        result.fromBackup = true;
    }
    std::string bytes;
    if (int error = readWholeFile(path, bytes))
        return {"cannot read " + path + ": " + std::strerror(error), result.fromBackup};
    StoredWorld read;
    const std::string problem = decodeWorld(bytes, read);
    if (!problem.empty()) return {"cannot read " + path + ": " + problem, result.fromBackup};
    std::string text;
    const int error = readWholeFile(playerPath, text);
    if (error != 0 && error != ENOENT)
        return {"cannot read " + playerPath + ": " + std::strerror(error), result.fromBackup};
    std::istringstream lines(text);
    // As in the band's record, the column may name the world's edge itself.
    read.record = parsePlayerRecord(lines, std::max(read.columns, read.rows));
    stored = std::move(read);
    return result;
}

bool peekStoredWorldSize(const std::string& folder, int& columns, int& rows) {
    std::string path = storedWorldFile(folder);
    if (!nameExists(path)) path += ".bak";
    std::ifstream in(path, std::ios::binary);
    std::string header(kHeaderLength, '\0');
    if (!in.read(&header[0], static_cast<std::streamsize>(kHeaderLength))) return false;
    const auto field = [&](int n) { return numberAt(header, kMagicLength + 4 * n); };
    if (header.compare(0, kMagicLength, kMagic) != 0 || field(0) != kVersion ||
        !sizeWithinGrid(field(1), field(2)))
        return false;
    columns = static_cast<int>(field(1));
    rows = static_cast<int>(field(2));
    return true;
}

namespace {

// The database is made under this name and renamed into place when whole.
std::string newDbFile(const std::string& folder) { return worldDbFile(folder) + ".new"; }

void removeDbFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

int syncFolderOf(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

bool hasStoredWorld(const std::string& folder) {
    // A band world's file wins over a database beside it: a server that hosted
    // the band keeps its own copy there and writes world.ini back when it stops.
    if (nameExists(folder + "/world.ini") || nameExists(folder + "/world.ini.bak")) return false;
    for (const std::string& path :
         {worldDbFile(folder), storedWorldFile(folder), storedWorldFile(folder) + ".bak"})
        if (nameExists(path)) return true;
    return false;
}

std::string recordLines(const PlayerRecord& record) {
    std::string text;
    formatPlayerRecord(record, text);
    return text;
}

PlayerRecord recordFromLines(const std::string& text, int lastColumn) {
    std::istringstream lines(text);
    return parsePlayerRecord(lines, lastColumn);
}

bool writeStoredWorldDb(const std::string& folder, const WorldDbMeta& meta, const WorldGrid& grid,
                        const PlayerRecord& record, std::string& problem, int& error) {
    const std::string part = newDbFile(folder);
    removeDbFiles(part);  // a killed conversion's
    WorldDbChanges whole;
    whole.records.emplace_back(kSinglePlayer, recordLines(record));
    bool made = false;
    {
        WorldDb db;
        made = takeAllPieces(grid, meta.columns, meta.rows, whole.pieces) &&
               openWorldDb(db, part, DbMode::Create, problem, meta) &&
               commitWorldDb(db, whole, problem) && closeWorldDb(db, problem);
        if (problem.empty() && !made) problem = part + ": a cell holds a value no block has";
        error = made ? 0 : db.systemError ? db.systemError : EIO;
    }
    if (made && ::rename(part.c_str(), worldDbFile(folder).c_str()) != 0) {
        error = errno;
        problem = worldDbFile(folder) + ": " + std::strerror(error);
        made = false;
    }
    if (made && (error = syncFolderOf(folder)) != 0) {
        problem = folder + ": " + std::strerror(error);
        made = false;
    }
    if (!made) removeDbFiles(part);
    return made;
}

bool convertStoredWorld(const std::string& folder, std::string& problem) {
    const std::string bin = storedWorldFile(folder), player = storedPlayerFile(folder);
    if (!nameExists(worldDbFile(folder))) {
        if (!nameExists(bin) && !nameExists(bin + ".bak")) return true;
        StoredWorld stored;
        const StoredRead read = readStoredWorld(folder, stored);
        if (!read.problem.empty()) return problem = read.problem, false;
        auto grid = std::make_unique<WorldGrid>();
        clearGrid(*grid);
        placeStoredWorld(stored, *grid);
        WorldDbMeta meta;
        meta.columns = stored.columns;
        meta.rows = stored.rows;
        meta.kind = stored.kind;
        int error = 0;
        if (!writeStoredWorldDb(folder, meta, *grid, stored.record, problem, error)) return false;
    }
    // The database holds the world: the old files step aside, kept until
    // the world is deleted. A kill halfway renames the rest next time.
    for (const std::string& path : {bin, bin + ".bak", player, player + ".bak"})
        if (nameExists(path)) ::rename(path.c_str(), (path + kConvertedSuffix).c_str());
    syncFolderOf(folder);
    return true;
}

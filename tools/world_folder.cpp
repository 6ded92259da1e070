// One reader for the tools that look at saved worlds (the census, the world
// shot), so that they agree on what a folder holds.
#include "tools/world_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "game/atomic_file.h"
#include "game/world_db.h"
#include "game/world_file.h"
#include "game/world_store.h"

namespace fs = std::filesystem;

namespace {

bool readDatabase(const std::string& folder, WorldGrid& grid, FolderWorld& read,
                  std::string& problem) {
    WorldDb db;
    WorldDbMeta meta;
    std::vector<std::pair<std::string, std::string>> records;
    if (!openWorldDb(db, worldDbFile(folder), DbMode::ReadOnly, problem) ||
        !readMeta(db, meta, problem) || !readWorldCells(db, meta, grid, problem) ||
        !readAllRecords(db, records, problem))
        return false;
    read.columns = meta.columns;
    read.rows = meta.rows;
    for (const auto& [name, lines] : records)
        read.players.emplace_back(name, recordFromLines(lines, std::max(meta.columns, meta.rows)));
    return true;
}

// The old two files; their backups when world.bin itself is missing.
bool readOldStore(const std::string& folder, WorldGrid& grid, FolderWorld& read,
                  std::string& problem) {
    StoredWorld stored;
    const StoredRead found = readStoredWorld(folder, stored);
    if (!found.problem.empty()) return problem = found.problem, false;
    placeStoredWorld(stored, grid);
    read.columns = stored.columns;
    read.rows = stored.rows;
    read.players.emplace_back("", stored.record);
    return true;
}

bool readBand(const std::string& folder, WorldGrid& grid, FolderWorld& read, std::string& problem) {
    const std::string file = folder + "/world.ini";
    std::int32_t startX = 0, startY = 0;
    PlayerRecord record;
    const WorldRead found = readWorldFile(file, grid, startX, startY, record);
    if (!found.readable || !found.found)
        return problem = file + ": " + (found.note.empty() ? "no world" : found.note), false;
    read.columns = read.rows = kBandEdge;
    read.players.emplace_back("", record);
    return true;
}

// A server keeps one record file a player in players/, named after it.
void readPlayersFolder(const std::string& folder, FolderWorld& read) {
    std::error_code error;
    const int last = std::max(read.columns, read.rows);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder + "/players", error)) {
        if (!entry.is_regular_file(error)) continue;
        std::ifstream in(entry.path());
        read.players.emplace_back(entry.path().filename().string(), parsePlayerRecord(in, last));
    }
    std::sort(read.players.begin(), read.players.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace

bool readWorldFolder(const std::string& folder, WorldGrid& grid, FolderWorld& read,
                     std::string& problem) {
    clearGrid(grid);
    read = FolderWorld{};
    bool found = false;
    if (nameExists(worldDbFile(folder))) {
        found = readDatabase(folder, grid, read, problem);
    } else if (nameExists(storedWorldFile(folder)) ||
               nameExists(storedWorldFile(folder) + ".bak")) {
        found = readOldStore(folder, grid, read, problem);
    } else if (nameExists(folder + "/world.ini") || nameExists(folder + "/world.ini.bak")) {
        found = readBand(folder, grid, read, problem);
    } else {
        problem = folder + ": no world there";
    }
    // A server's database that holds named records took players/ in already.
    const bool named = std::any_of(read.players.begin(), read.players.end(),
                                   [](const auto& p) { return !p.first.empty(); });
    if (found && !named) readPlayersFolder(folder, read);
    return found;
}

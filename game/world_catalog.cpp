// The player's worlds, one folder each: listing, naming, making, dating,
// trashing, and taking in the single world of the game before the list.
#include "game/world_catalog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <system_error>

#include "game/atomic_file.h"
#include "game/world_file.h"
#include "game/world_store.h"
#include "util/text.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWorldFile = "world.ini";
constexpr const char* kBackupSuffix = ".bak";
constexpr const char* kMetaFile = "world.meta";
constexpr const char* kTrashFolder = ".trash";
constexpr const char* kAdoptedName = "My world";
constexpr const char* kAdoptedKind = "imported";
constexpr std::size_t kMaxFolderBytes = 40;
constexpr std::size_t kMaxNameBytes = 100;
constexpr int kMaxTries = 10000;  // numbered names tried before giving up
// Restoring keeps every restore point there is and one more: a player going
// back and forth between two never loses the oldest to the count.
constexpr int kKeptOnRestore = 1000;

// ---- names

bool isAsciiWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

}  // namespace

bool isInvisible(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0xA0) || code == 0xAD || code == 0x034F ||
           code == 0x061C || code == 0x115F || code == 0x1160 || code == 0x1680 || code == 0x17B4 ||
           code == 0x17B5 || code == 0x180E || (code >= 0x2000 && code <= 0x200F) ||
           (code >= 0x2028 && code <= 0x202F) || (code >= 0x205F && code <= 0x206F) ||
           code == 0x3000 || code == 0x3164 || (code >= 0xE000 && code <= 0xF8FF) ||
           (code >= 0xFDD0 && code <= 0xFDEF) || (code >= 0xFE00 && code <= 0xFE0F) ||
           code == 0xFEFF || code == 0xFFA0 || (code >= 0xFFF0 && code <= 0xFFFF) ||
           (code & 0xFFFE) == 0xFFFE || (code >= 0x1BCA0 && code <= 0x1BCA3) ||
           (code >= 0x1D173 && code <= 0x1D17A) || code >= 0xE0000;
}

namespace {

// Neither a letter nor a digit, in the blocks where no script's letters are:
// punctuation, symbols, arrows, shapes, pictures, and their wide forms.
bool isSymbol(std::uint32_t code) {
    return (code >= 0xA1 && code <= 0xBF) || code == 0xD7 || code == 0xF7 ||
           (code >= 0x2010 && code <= 0x2BFF) || (code >= 0x2E00 && code <= 0x2E7F) ||
           (code >= 0x3001 && code <= 0x3004) || (code >= 0x3008 && code <= 0x3020) ||
           (code >= 0xFE10 && code <= 0xFE6F) || (code >= 0xFF01 && code <= 0xFF0F) ||
           (code >= 0xFF1A && code <= 0xFF20) || (code >= 0xFF3B && code <= 0xFF40) ||
           (code >= 0xFF5B && code <= 0xFF65) || (code >= 0x1F000 && code <= 0x1FBFF);
}

// The code and length of the well-formed UTF-8 sequence at `at`; length 0
// for a broken or overlong one.
std::size_t decodeCharacter(const std::string& text, std::size_t at, std::uint32_t& code) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return code = lead, 1;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool wellFormed =
        code >= smallest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    return wellFormed ? length : 0;
}

// The length of the character at `at` when a folder name may keep it: a
// letter or digit of any script; 0 otherwise.
std::size_t keptCharacterLength(const std::string& text, std::size_t at) {
    std::uint32_t code = 0;
    const std::size_t length = decodeCharacter(text, at, code);
    return length > 1 && !isInvisible(code) && !isSymbol(code) ? length : 0;
}

// Names some file systems refuse whatever their extension.
bool isReserved(const std::string& name) {
    const std::string upper = util::to_upper(name);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (upper == device) return true;
    return upper.size() == 4 &&
           (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

// Whole characters only: never half of a UTF-8 sequence.
std::string cutToBytes(const std::string& text, std::size_t most) {
    if (text.size() <= most) return text;
    std::size_t end = most;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string trimDashes(const std::string& text) {
    const std::size_t first = text.find_first_not_of('-');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of('-') - first + 1);
}

// The name as a note keeps it: one line, not endless, nothing that hides in
// it or turns the text around it; every run of blanks one space.
std::string tidyName(const std::string& typed, const std::string& fallback) {
    std::string name;
    for (std::size_t at = 0; at < typed.size();) {
        std::uint32_t code = 0;
        const std::size_t length = decodeCharacter(typed, at, code);
        const bool blank = length == 0 || code == ' ' || isInvisible(code);
        if (!blank) name += typed.substr(at, length);
        else if (!name.empty() && name.back() != ' ') name += ' ';
        at += length == 0 ? 1 : length;
    }
    name = util::trim(cutToBytes(name, kMaxNameBytes));
    return name.empty() ? fallback : name;
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return util::to_lower(a) == util::to_lower(b);
}

// ---- files

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::int64_t modifiedAt(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_mtime) : 0;
}

int makeFolder(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return error.value();
}

// Makes `base`, or base-2, base-3 ... when a name is taken (ignoring case, so
// the folders survive a copy to a file system that ignores it), by creating
// it: two games naming a world at once never share a folder.
int claimFolder(const std::string& parent, const std::string& base, std::string& claimed) {
    std::vector<std::string> present;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(parent, error))
        present.push_back(entry.path().filename().string());
    if (error) return error.value();
    for (int number = 1; number <= kMaxTries; ++number) {
        const std::string suffix = number == 1 ? std::string() : "-" + std::to_string(number);
        const std::string name = cutToBytes(base, kMaxFolderBytes - suffix.size()) + suffix;
        const bool taken = std::any_of(present.begin(), present.end(), [&](const std::string& p) {
            return sameIgnoringCase(p, name);
        });
        if (taken) continue;
        if (::mkdir((parent + "/" + name).c_str(), 0777) == 0) {
            claimed = name;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int writeMeta(const std::string& path, const WorldMeta& meta) {
    return replaceFile(path, formatWorldMeta(meta), true);
}

bool readMeta(const std::string& path, WorldMeta& meta) {
    std::string text;
    if (readWholeFile(path, text) != 0) return false;
    meta = parseWorldMeta(text);
    return true;
}

bool isWorldFolderName(const std::string& folder) {
    return !folder.empty() && folder[0] != '.' && folder.find('/') == std::string::npos;
}

// The world's own file in `folder`, or its backup when it alone is there;
// empty when the folder holds no world.
std::string worldFileIn(const std::string& folder) {
    const std::string band = folder + "/" + kWorldFile, large = storedWorldFile(folder);
    for (const std::string& path : {band, worldDbFile(folder), large})
        if (exists(path)) return path;
    for (const std::string& path : {band, large})
        if (exists(path + kBackupSuffix)) return path + kBackupSuffix;
    return std::string();
}

// What the list knows of a world folder; false when it holds no world.
bool describeWorld(const std::string& root, const std::string& folder, WorldEntry& entry) {
    const std::string note = worldMetaOf(root, folder);
    const std::string world = worldFileIn(root + "/" + folder);
    const bool hasNote = readMeta(note, entry.meta);
    if (!hasNote && world.empty()) return false;
    entry.folder = folder;
    if (entry.meta.name.empty()) entry.meta.name = folder;
    // A note's last_played of 0 is a world never played; a world without a
    // note was played when its file was last written.
    if (!hasNote) entry.meta.lastPlayed = modifiedAt(world);
    if (entry.meta.created == 0) entry.meta.created = modifiedAt(hasNote ? note : world);
    if (hasNote) return true;
    int columns = 0, rows = 0;
    WorldDb db;
    WorldDbMeta stored;
    std::string problem;
    if (openWorldDb(db, worldDbFile(root + "/" + folder), DbMode::ReadOnly, problem) &&
        readMeta(db, stored, problem))
        entry.meta.size = stored.columns;
    else if (peekStoredWorldSize(root + "/" + folder, columns, rows)) entry.meta.size = columns;
    return true;
}

// The newest of a world's times: the list comes in this order.
std::int64_t lastTouched(const WorldMeta& meta) { return std::max(meta.lastPlayed, meta.created); }

// `name`, or "name (2)", "name (3)" ... when a listed world has it (ignoring
// case): the list never shows two worlds under one name.
std::string uniqueName(const std::string& root, const std::string& name) {
    const std::vector<WorldEntry> worlds = listWorlds(root);
    for (int number = 1; number <= kMaxTries; ++number) {
        const std::string suffix =
            number == 1 ? std::string() : " (" + std::to_string(number) + ")";
        const std::string candidate = cutToBytes(name, kMaxNameBytes - suffix.size()) + suffix;
        const bool taken = std::any_of(worlds.begin(), worlds.end(), [&](const WorldEntry& w) {
            return sameIgnoringCase(w.meta.name, candidate);
        });
        if (!taken) return candidate;
    }
    return name;
}

// Whether the world of before is in the list or in its trash already: its
// note says "imported".
bool adoptedBefore(const std::string& root) {
    for (const std::string& folder : {root, root + "/" + kTrashFolder}) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
            WorldMeta meta;
            const std::string name = entry.path().filename().string();
            if (isWorldFolderName(name) && readMeta(folder + "/" + name + "/" + kMetaFile, meta) &&
                meta.kind == kAdoptedKind)
                return true;
        }
    }
    return false;
}

// Renames `from` to `to` unless something stands at `to` already.
int renameNew(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: the gap is narrow, and only adoption uses it.
    if (exists(to)) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int syncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Where a larger world begins: the generator's column and the level of its
// ground, nothing of a run. Made in a grid of its own, not the game's, which
// may hold an open world that is yet to be saved.
int writeLargeWorld(const std::string& path, WorldKind kind, std::uint32_t seed, int size) {
    try {
        auto grid = std::make_unique<WorldGrid>();
        const WorldStart start = generateWorld(kind, seed, size, *grid);
        WorldDbMeta meta;
        meta.columns = meta.rows = size;
        meta.kind = kind;
        meta.seed = seed;
        PlayerRecord record;
        record.x = start.x;
        record.y = start.y;
        record.level = PlayerState{}.level;  // an empty world has no ground to stand on
        for (int level = 0; level < kStoredLevels; ++level) {
            if (!isSolid(cellOf(*grid, start.x, start.y, level))) continue;
            record.level = level;
            break;
        }
        meta.startX = record.x;
        meta.startY = record.y;
        meta.startLevel = record.level;
        std::string problem;
        int error = 0;
        return writeStoredWorldDb(path, meta, *grid, record, problem, error) ? 0 : error;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

// The old world's files into `folder`, byte for byte, and a note naming it.
int copyOldWorld(const std::string& oldWorldFile, const std::string& folder, std::int64_t now,
                 const std::string& name) {
    WorldMeta meta;
    meta.name = name;
    meta.kind = kAdoptedKind;
    meta.created = meta.lastPlayed = now;
    for (const char* suffix : {kBackupSuffix, ""}) {
        std::string bytes;
        const std::string from = oldWorldFile + suffix;
        if (!exists(from)) continue;
        if (int error = readWholeFile(from, bytes)) return error;
        if (int error = replaceFile(folder + "/" + kWorldFile + suffix, bytes, true)) return error;
        meta.created = meta.lastPlayed = modifiedAt(from);
    }
    return writeMeta(folder + "/" + kMetaFile, meta);
}

}  // namespace

std::string worldFileOf(const std::string& root, const std::string& folder) {
    return root + "/" + folder + "/" + kWorldFile;
}

std::string worldMetaOf(const std::string& root, const std::string& folder) {
    return root + "/" + folder + "/" + kMetaFile;
}

std::string formatWorldMeta(const WorldMeta& meta) {
    return "name = " + tidyName(meta.name, std::string()) + "\nkind = " + meta.kind +
           "\nseed = " + std::to_string(meta.seed) + "\nsize = " + std::to_string(meta.size) +
           "\ncreated = " + std::to_string(meta.created) +
           "\nlast_played = " + std::to_string(meta.lastPlayed) + "\n";
}

WorldMeta parseWorldMeta(const std::string& text) {
    WorldMeta meta;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = util::trim(line.substr(0, equals));
        const std::string value = util::trim(line.substr(equals + 1));
        char* end = nullptr;
        const long long number = std::strtoll(value.c_str(), &end, 10);
        if (key == "name") meta.name = value;
        if (key == "kind") meta.kind = value;
        if (key == "seed") meta.seed = static_cast<std::uint32_t>(number);
        // A size no world can have would send the list's reader astray: 20.
        const bool sized =
            end != value.c_str() && *end == '\0' && number >= 1 && number <= kLargestWorld;
        if (key == "size") meta.size = sized ? static_cast<int>(number) : kBandEdge;
        if (key == "created") meta.created = number;
        if (key == "last_played") meta.lastPlayed = number;
    }
    return meta;
}

std::vector<WorldEntry> listWorlds(const std::string& root) {
    std::vector<WorldEntry> worlds;
    std::error_code error;
    for (const fs::directory_entry& folder : fs::directory_iterator(root, error)) {
        const std::string name = folder.path().filename().string();
        WorldEntry entry;
        if (isWorldFolderName(name) && folder.is_directory(error) &&
            describeWorld(root, name, entry))
            worlds.push_back(entry);
    }
    std::sort(worlds.begin(), worlds.end(), [](const WorldEntry& a, const WorldEntry& b) {
        const std::int64_t aTime = lastTouched(a.meta), bTime = lastTouched(b.meta);
        if (aTime != bTime) return aTime > bTime;
        return a.folder < b.folder;
    });
    return worlds;
}

std::string safeFolderName(const std::string& name) {
    std::string safe;
    for (std::size_t at = 0; at < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[at]);
        if (isAsciiWordByte(c) || c == '-') {
            safe += name[at++];
        } else if (const std::size_t length = keptCharacterLength(name, at)) {
            safe += name.substr(at, length);
            at += length;
        } else {
            if (safe.empty() || safe.back() != '-') safe += '-';
            ++at;
        }
    }
    safe = trimDashes(cutToBytes(trimDashes(safe), kMaxFolderBytes));
    if (safe.empty()) return "world";
    return isReserved(safe) ? safe + "-world" : safe;
}

int writeNewWorld(const std::string& path, const std::string& name, WorldKind kind,
                  std::uint32_t seed, int size, std::int64_t now) {
    if (!isWorldSize(size) || (kind == WorldKind::Starter && size != kBandEdge)) return EINVAL;
    WorldMeta meta;
    meta.name = name;
    meta.kind = kindName(kind);
    meta.seed = seed;
    meta.size = size;
    meta.created = now;  // not played until it opens
    int error = 0;
    if (!usesWorldStore(size, size)) {
        Terrain terrain;
        generateWorld(kind, seed, terrain);
        WorldSnapshot snapshot;
        snapshot.cells = terrain.cells;
        snapshot.playerX = terrain.startX;
        snapshot.playerY = terrain.startY;
        error = writeWorldFile(path + "/" + kWorldFile, snapshot, true);
    } else {
        error = writeLargeWorld(path, kind, seed, size);
    }
    return error != 0 ? error : writeMeta(path + "/" + kMetaFile, meta);
}

int createWorld(const std::string& root, const std::string& name, WorldKind kind,
                std::uint32_t seed, std::int64_t now, std::string& folder) {
    return createWorld(root, name, kind, seed, kBandEdge, now, folder);
}

int createWorld(const std::string& root, const std::string& name, WorldKind kind,
                std::uint32_t seed, int size, std::int64_t now, std::string& folder) {
    if (!isWorldSize(size) || (kind == WorldKind::Starter && size != kBandEdge)) return EINVAL;
    const bool rootThere = exists(root);
    if (int error = makeFolder(root)) return error;
    const std::string shownName = uniqueName(root, tidyName(name, std::string()));
    if (int error = claimFolder(root, safeFolderName(name), folder)) {
        if (!rootThere) ::rmdir(root.c_str());
        return error;
    }
    const int error =
        writeNewWorld(root + "/" + folder, shownName.empty() ? uniqueName(root, folder) : shownName,
                      kind, seed, size, now);
    if (error != 0) {
        // The folder is this call's own, claimed a moment ago: nothing of the
        // player's is in it.
        std::error_code ignored;
        fs::remove_all(root + "/" + folder, ignored);
        // Nor a worlds folder this call made: only an empty one goes.
        if (!rootThere) ::rmdir(root.c_str());
    }
    return error;
}

int markPlayed(const std::string& root, const std::string& folder, std::int64_t now) {
    if (!isWorldFolderName(folder)) return EINVAL;
    WorldEntry entry;
    if (!describeWorld(root, folder, entry)) return ENOENT;
    entry.meta.lastPlayed = now;
    return writeMeta(worldMetaOf(root, folder), entry.meta);
}

int trashWorld(const std::string& root, const std::string& folder, std::string& trashedAs) {
    if (!isWorldFolderName(folder)) return EINVAL;
    const std::string trash = root + "/" + kTrashFolder, from = root + "/" + folder;
    if (!exists(from)) return ENOENT;
    if (int error = makeFolder(trash)) return error;
    for (int number = 1; number <= kMaxTries; ++number) {
        const std::string name = number == 1 ? folder : folder + "-" + std::to_string(number);
        if (exists(trash + "/" + name)) continue;
        if (::rename(from.c_str(), (trash + "/" + name).c_str()) == 0) {
            trashedAs = name;
            return syncFolder(root);
        }
        // Another deletion took the name in the meantime: try the next.
        if (errno != EEXIST && errno != ENOTEMPTY) return errno;
    }
    return EEXIST;
}

int adoptOldWorld(const std::string& root, const std::string& oldWorldFile, std::int64_t now) {
    if (!exists(oldWorldFile) && !exists(oldWorldFile + kBackupSuffix)) return 0;
    std::error_code ignored;
    fs::remove_all(root + ".new", ignored);  // the staging folder of earlier releases
    const bool rootThere = exists(root);
    if (int error = makeFolder(root)) return error;
    // Two copies of the game starting at once adopt one world between them.
    const int guard = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (guard < 0) return errno;
    while (::flock(guard, LOCK_EX) != 0 && errno == EINTR) {
    }
    int error = 0;
    if (!adoptedBefore(root)) {
        // Built in a hidden folder and renamed into the list in one step; one
        // left by a stopped run holds only copies.
        const std::string staging = root + "/.adopting";
        fs::remove_all(staging, ignored);
        error = makeFolder(staging);
        if (error == 0)
            error = copyOldWorld(oldWorldFile, staging, now, uniqueName(root, kAdoptedName));
        if (error == 0) {
            const std::string base = safeFolderName(kAdoptedName);
            error = EEXIST;
            for (int number = 1; number <= kMaxTries && error == EEXIST; ++number) {
                const std::string name = number == 1 ? base : base + "-" + std::to_string(number);
                error = renameNew(staging, root + "/" + name);
                if (error == ENOTEMPTY) error = EEXIST;
            }
        }
        if (error == 0) error = syncFolder(root);
        if (error != 0) fs::remove_all(staging, ignored);
    }
    ::close(guard);
    if (error != 0 && !rootThere) ::rmdir(root.c_str());
    return error;
}

std::string worldProblem(const std::string& path) {
    std::string problem;
    if (!convertStoredWorld(path, problem)) return problem;
    if (!exists(worldDbFile(path))) return "";
    WorldDb db;
    if (!openWorldDb(db, worldDbFile(path), DbMode::ReadOnly, problem) ||
        !checkWorldDb(db, problem))
        return problem;
    return "";
}

RestorePoint latestSoundRestorePoint(const std::string& path) {
    for (const RestorePoint& point : listRestorePoints(path)) {
        std::string text, problem;
        WorldDb db;
        const bool sound =
            point.file.size() > 4 && point.file.compare(point.file.size() - 4, 4, ".ini") == 0
                ? readWholeFile(point.file, text) == 0
                : openWorldDb(db, point.file, DbMode::ReadOnly, problem) &&
                      checkWorldDb(db, problem);
        if (sound) return point;
    }
    return {};
}

std::string describeRestorePoint(const RestorePoint& point, std::int64_t now) {
    const auto dayOf = [](std::int64_t seconds, std::tm& out) {
        const std::time_t t = static_cast<std::time_t>(seconds);
        localtime_r(&t, &out);
    };
    std::tm at{}, today{}, yesterday{};
    dayOf(point.time, at);
    dayOf(now, today);
    dayOf(now - 24 * 60 * 60, yesterday);
    const auto sameDay = [](const std::tm& a, const std::tm& b) {
        return a.tm_year == b.tm_year && a.tm_yday == b.tm_yday;
    };
    char clock[8], date[16];
    std::strftime(clock, sizeof clock, "%H:%M", &at);
    std::strftime(date, sizeof date, "%e %b", &at);
    std::string day = sameDay(at, today)       ? "today"
                      : sameDay(at, yesterday) ? "yesterday"
                                               : util::trim(date);
    const std::string why = point.why == "start"     ? "start of a session"
                            : point.why == "play"    ? "10 minutes of play"
                            : point.why == "restore" ? "before a restore"
                            : point.why == "damaged" ? "damaged, kept aside"
                                                     : point.why;
    return day + " " + clock + ", " + why;
}

int restoreWorld(const std::string& path, const RestorePoint& point, std::int64_t now,
                 std::string& problem) {
    const bool band =
        point.file.size() > 4 && point.file.compare(point.file.size() - 4, 4, ".ini") == 0;
    if (band) {
        const std::string file = path + "/" + kWorldFile;
        std::string before, after;
        int error = readWholeFile(point.file, after);
        if (error == 0 && readWholeFile(file, before) == 0)
            error = replaceFile(restorePointFile(path, now, "restore", ".ini"), before, true);
        if (error == 0) error = replaceFile(file, after, true);
        if (error != 0) problem = point.file + ": " + std::strerror(error);
        return error;
    }
    const std::string file = worldDbFile(path);
    WorldDb db;
    if (exists(file) && worldProblem(path).empty() &&
        openWorldDb(db, file, DbMode::ReadWrite, problem) &&
        makeRestorePoint(db, path, now, "restore", kKeptOnRestore, problem)) {
        if (restoreWorldDb(db, point.file, problem) && closeWorldDb(db, problem)) return 0;
        return db.systemError ? db.systemError : EIO;
    }
    closeWorldDb(db, problem);
    // A database that cannot be opened or copied steps aside whole, as its
    // own restore point, and the restore point is copied into its place.
    problem.clear();
    if (exists(file)) {
        const std::string aside = restorePointFile(path, now, "damaged", ".sqlite");
        if (!makeFolders(aside) || ::rename(file.c_str(), aside.c_str()) != 0) {
            problem = file + ": " + std::strerror(errno);
            return errno ? errno : EIO;
        }
        for (const char* suffix : {"-wal", "-shm"}) {
            const std::string side = file + suffix;
            if (exists(side)) ::rename(side.c_str(), (aside + suffix).c_str());
        }
    }
    WorldDb point_;
    WorldDbMeta meta;
    auto grid = std::make_unique<WorldGrid>();
    clearGrid(*grid);
    std::string text;
    bool found = false;
    int error = 0;
    if (!openWorldDb(point_, point.file, DbMode::ReadOnly, problem) ||
        !readMeta(point_, meta, problem) || !readWorldCells(point_, meta, *grid, problem) ||
        !readRecord(point_, kSinglePlayer, text, found, problem))
        return EIO;
    return writeStoredWorldDb(path, meta, *grid,
                              recordFromLines(text, std::max(meta.columns, meta.rows)), problem,
                              error)
               ? 0
               : error;
}

// The player's worlds, one folder each: listing, naming, making, dating,
// trashing, and taking in the single world of the game before the list.
#include "game/world_catalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "game/atomic_file.h"
#include "game/world_file.h"
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

// ---- names

bool isAsciiWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The length of the well-formed UTF-8 sequence at `at` for a character a name
// may keep (no controls, no spaces of the Latin-1 block); 0 otherwise.
std::size_t keptCharacterLength(const std::string& text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    std::uint32_t code = 0;
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
    return wellFormed && code > 0xA0 ? length : 0;
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

// The name as a note keeps it: one line, no control bytes, not endless.
std::string tidyName(const std::string& typed, const std::string& fallback) {
    std::string name;
    for (char c : typed) name += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
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

int readBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return errno != 0 ? errno : ENOENT;
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return in.bad() ? EIO : 0;
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
    if (readBytes(path, text) != 0) return false;
    meta = parseWorldMeta(text);
    return true;
}

// What the list knows of a world folder; false when it holds no world.
bool describeWorld(const std::string& root, const std::string& folder, WorldEntry& entry) {
    const std::string world = worldFileOf(root, folder), note = worldMetaOf(root, folder);
    const bool hasNote = readMeta(note, entry.meta);
    if (!hasNote && !exists(world) && !exists(world + kBackupSuffix)) return false;
    entry.folder = folder;
    if (entry.meta.name.empty()) entry.meta.name = folder;
    if (entry.meta.lastPlayed == 0) entry.meta.lastPlayed = modifiedAt(hasNote ? note : world);
    return true;
}

int syncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

bool isWorldFolderName(const std::string& folder) {
    return !folder.empty() && folder[0] != '.' && folder.find('/') == std::string::npos;
}

// The old world's files into `folder`, byte for byte, and a note naming it.
int copyOldWorld(const std::string& oldWorldFile, const std::string& folder, std::int64_t now) {
    WorldMeta meta;
    meta.name = kAdoptedName;
    meta.kind = kAdoptedKind;
    meta.created = meta.lastPlayed = now;
    for (const char* suffix : {kBackupSuffix, ""}) {
        std::string bytes;
        const std::string from = oldWorldFile + suffix;
        if (!exists(from)) continue;
        if (int error = readBytes(from, bytes)) return error;
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
           "\nseed = " + std::to_string(meta.seed) + "\ncreated = " + std::to_string(meta.created) +
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
        const long long number = std::strtoll(value.c_str(), nullptr, 10);
        if (key == "name") meta.name = value;
        if (key == "kind") meta.kind = value;
        if (key == "seed") meta.seed = static_cast<std::uint32_t>(number);
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
        if (a.meta.lastPlayed != b.meta.lastPlayed) return a.meta.lastPlayed > b.meta.lastPlayed;
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

int createWorld(const std::string& root, const std::string& name, WorldKind kind,
                std::uint32_t seed, std::int64_t now, std::string& folder) {
    if (int error = makeFolder(root)) return error;
    if (int error = claimFolder(root, safeFolderName(name), folder)) return error;
    Terrain terrain;
    generateWorld(kind, seed, terrain);
    WorldSnapshot snapshot;
    snapshot.cells = terrain.cells;
    snapshot.playerX = terrain.startX;
    snapshot.playerY = terrain.startY;
    WorldMeta meta;
    meta.name = tidyName(name, folder);
    meta.kind = kindName(kind);
    meta.seed = seed;
    meta.created = meta.lastPlayed = now;
    int error = writeWorldFile(worldFileOf(root, folder), snapshot, true);
    if (error == 0) error = writeMeta(worldMetaOf(root, folder), meta);
    if (error != 0) {
        // The folder is this call's own, claimed a moment ago: nothing of the
        // player's is in it.
        std::error_code ignored;
        fs::remove_all(root + "/" + folder, ignored);
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
    if (exists(root)) return 0;
    if (!exists(oldWorldFile) && !exists(oldWorldFile + kBackupSuffix)) return 0;
    // Built beside the worlds folder and renamed into place in one step. A
    // staging folder left by a stopped run holds only copies: it goes.
    const std::string staging = root + ".new";
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    const std::string folder = staging + "/" + safeFolderName(kAdoptedName);
    int error = makeFolder(folder);
    if (error == 0) error = copyOldWorld(oldWorldFile, folder, now);
    if (error == 0 && ::rename(staging.c_str(), root.c_str()) != 0) error = errno;
    if (error != 0) {
        fs::remove_all(staging, ignored);
        // Another copy of the game took the old world in first.
        return exists(root) ? 0 : error;
    }
    const std::string parent = fs::path(root).parent_path().string();
    return syncFolder(parent.empty() ? "." : parent);
}

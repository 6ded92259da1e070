// The world file: the saved band of the grid and the player's position.
//
// Grammar, one line each, nothing else:
//   8000 cell lines  <x>.<y>[<level>] = <id>   levels 0..19, then y, then x
//                                              (x innermost), each 0..19
//   player lines     p_x = <x>  and  p_y = <y>
//   record lines     the player's record (game/player_record.h), any number;
//                    readers of the lines above alone stop before them
// Numbers are decimal as "%i" prints them. The reader trusts line positions:
// line k is cell k, and the key only decides whether its value is taken.
#include "game/world_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <vector>

#include "game/paths.h"
#include "rules/player_state.h"
#include "util/util.h"
#include "world/world_grid.h"

namespace {

// Longer lines keep only their start: a real line is under 40 bytes, and a
// damaged file must not make the reader hold gigabytes.
constexpr std::size_t kMaxLine = 4096;
constexpr mode_t kFileMode = 0644;  // the player's to change, everyone's to read

// ---- reading

// One line up to a line feed (dropped); false at the end of the stream.
bool readLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!in.good() || buffer == nullptr) return false;
    bool any = false;
    for (;;) {
        int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return any;
        }
        any = true;
        if (c == '\n') return true;
        if (line.size() < kMaxLine) line.push_back(static_cast<char>(c));
    }
}

// Everything after the first '='; a line without one is all value.
const char* valueText(const std::string& line) {
    std::size_t equals = line.find('=');
    return line.c_str() + (equals == std::string::npos ? 0 : equals + 1);
}

// Leading white space, an optional sign, digits; a number beyond 32 bits is
// held at the nearest 32-bit limit. False when no digit follows.
bool parseValue(const char* text, std::int32_t& value) {
    char* end = nullptr;
    long long parsed = std::strtoll(text, &end, 10);
    if (end == text) return false;
    if (parsed > INT32_MAX) parsed = INT32_MAX;
    if (parsed < INT32_MIN) parsed = INT32_MIN;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

// The decimal texts of 0..22, converted once per read or write: band
// coordinates and known block ids make up nearly all of the file's numbers.
class SmallNumbers {
public:
    SmallNumbers() {
        for (int n = 0; n < kBlockTypes; ++n) text_[n] = util::to_string(n);
    }
    void append(std::string& out, int n) const {
        if (n >= 0 && n < kBlockTypes) {
            out += text_[n];
        } else {
            out += util::to_string(n);
        }
    }

private:
    std::string text_[kBlockTypes];
};

void appendKey(const SmallNumbers& numbers, std::string& out, int x, int y, int level) {
    numbers.append(out, x);
    out += '.';
    numbers.append(out, y);
    out += '[';
    numbers.append(out, level);
    out += ']';
}

// A line whose key is missing or whose value does not parse repeats the last
// value read; cells past the end of the file stay empty.
void readBand(std::istream& in, std::string& line, bool& ended, WorldGrid& grid) {
    const SmallNumbers numbers;
    std::string key;
    std::int32_t lastValue = 0;
    for (int level = 0; level < kBandEdge; ++level) {
        for (int y = 0; y < kBandEdge; ++y) {
            for (int x = 0; x < kBandEdge; ++x) {
                if (!ended && !readLine(in, line)) ended = true;
                if (ended) {
                    setCellOf(grid, x, y, level, Empty);
                    continue;
                }
                key.clear();
                appendKey(numbers, key, x, y, level);
                if (line.find(key) != std::string::npos) parseValue(valueText(line), lastValue);
                setCellOf(grid, x, y, level, lastValue);
            }
        }
    }
}

void readPlayerLine(std::istream& in, std::string& line, const char* key, std::int32_t& field) {
    if (!readLine(in, line)) return;
    if (line.find(key) != std::string::npos) parseValue(valueText(line), field);
}

// ---- writing

std::atomic<void (*)()> diskDelay{nullptr};

void appendCellLine(const SmallNumbers& numbers, std::string& text, const WorldSnapshot& snapshot,
                    int x, int y, int level) {
    appendKey(numbers, text, x, y, level);
    text += " = ";
    numbers.append(text, snapshot.at(x, y, level));
    text += '\n';
}

// Creates every missing folder on the way to the file.
bool makeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Every temporary a save makes is named <file>.tmp.<something>, beside the
// file; older saves used <file>.tmp itself. The prefix covers both.
std::string temporaryPrefix(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp";
}

// A run killed in the middle of a save leaves its temporary behind. The game
// is the only writer of its world folder, so whatever temporaries stand there
// when a save begins are stale and go, and kills never pile them up.
void removeStaleTemporaries(const std::string& path) {
    std::string folder = folderOf(path), prefix = temporaryPrefix(path);
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            stale.emplace_back(entry->d_name);
    }
    for (const std::string& name : stale) ::unlinkat(::dirfd(listing), name.c_str(), 0);
    ::closedir(listing);
}

bool writeAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// Writes, syncs and closes a new file; 0 or the error of the step that failed.
// fdatasync is enough for a file that is only ever read whole after a rename.
int fillAndClose(int fd, const std::string& text, bool sync) {
    int error = 0;
    if (::fchmod(fd, kFileMode) != 0 || !writeAll(fd, text) || (sync && ::fdatasync(fd) != 0))
        error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

int readAll(const std::string& path, std::string& text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return error;
}

// A copy under a name that must not exist yet.
int copyFile(const std::string& from, const std::string& to, bool sync) {
    std::string text;
    if (int error = readAll(from, text)) return error;
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd < 0) return errno;
    return fillAndClose(fd, text, sync);
}

// Where the file system has no hard links (or no more of them for this file).
bool linksRefused(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS;
}

// The world about to be replaced becomes the backup: under a scratch name
// first (a second name for the same file, or a copy where hard links are
// refused), then renamed over the old backup, so that at every moment the
// folder holds a whole backup. 0 when there was no world to keep.
int keepBackup(const std::string& path, const std::string& scratch, bool sync) {
    if (::link(path.c_str(), scratch.c_str()) != 0) {
        if (errno == ENOENT) return 0;
        if (!linksRefused(errno)) return errno;
        if (int error = copyFile(path, scratch, sync)) {
            ::unlink(scratch.c_str());
            return error;
        }
    }
    int error = ::rename(scratch.c_str(), (path + ".bak").c_str()) == 0 ? 0 : errno;
    // A rename between two names of one file does nothing and keeps both.
    ::unlink(scratch.c_str());
    return error;
}

// The new world in a temporary beside the file, then renamed over it. mkstemp
// gives a name nobody else uses and never opens what already stands there, so
// a link planted in the folder is never written through.
int replaceWithTemporary(const std::string& path, const std::string& text, bool sync) {
    std::string temporary = path + ".tmp.XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    int error = fillAndClose(fd, text, sync);
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    return error;
}

// Makes the renames themselves durable.
int syncFolder(const std::string& path, bool sync) {
    if (!sync) return 0;
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

PlayerRecord keptRecord;

void readWorld(std::istream& in) { readWorldInto(in, world, player.x, player.y, keptRecord); }

void readWorldInto(std::istream& in, WorldGrid& grid, std::int32_t& startX, std::int32_t& startY,
                   PlayerRecord& record) {
    record = PlayerRecord{};
    std::string line;
    line.reserve(64);
    bool ended = false;
    readBand(in, line, ended, grid);
    if (ended) return;
    readPlayerLine(in, line, "p_x", startX);
    readPlayerLine(in, line, "p_y", startY);
    while (readLine(in, line)) readRecordLine(line, record);
}

void loadWorld() {
    std::ifstream in(worldFile(), std::ios::binary);
    readWorld(in);
}

void takeSnapshot(WorldSnapshot& snapshot) {
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y)
            for (int level = 0; level < kBandEdge; ++level)
                snapshot.at(x, y, level) = cell(x, y, level);
    snapshot.playerX = player.x;
    snapshot.playerY = player.y;
    snapshot.record = recordOf(player);
}

void formatWorld(const WorldSnapshot& snapshot, std::string& text) {
    const SmallNumbers numbers;
    text.clear();
    text.reserve(kBandEdge * kBandEdge * kBandEdge * 20 + 32);
    for (int level = 0; level < kBandEdge; ++level) {
        for (int y = 0; y < kBandEdge; ++y) {
            for (int x = 0; x < kBandEdge; ++x)
                appendCellLine(numbers, text, snapshot, x, y, level);
        }
    }
    text += "p_x = " + util::to_string(snapshot.playerX) + "\n";
    text += "p_y = " + util::to_string(snapshot.playerY) + "\n";
    formatPlayerRecord(snapshot.record, text);
}

int backUpWorldFile(const std::string& path, bool sync) {
    removeStaleTemporaries(path);
    return keepBackup(path, path + ".tmp.backup", sync);
}

int writeWorldFile(const std::string& path, const WorldSnapshot& snapshot, bool sync) {
    std::string text;
    formatWorld(snapshot, text);
    if (void (*delay)() = diskDelay.load()) delay();
    return replaceFile(path, text, sync);
}

int replaceFile(const std::string& path, const std::string& text, bool sync) {
    if (!makeParentFolders(path)) return errno;
    removeStaleTemporaries(path);
    if (int error = replaceWithTemporary(path, text, sync)) return error;
    return syncFolder(path, sync);
}

void setDiskDelay(void (*delay)()) { diskDelay = delay; }

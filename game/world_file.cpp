// The world file: the saved band of the grid and the player's position.
//
// Grammar, one line each, nothing else:
//   8000 cell lines  <x>.<y>[<level>] = <id>   levels 0..19, then y, then x
//                                              (x innermost), each 0..19
//   player lines     p_x = <x>  and  p_y = <y>
// Numbers are decimal as "%i" prints them. The reader trusts line positions:
// line k is cell k, and the key only decides whether its value is taken.
#include "game/world_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>

#include "player/player_state.h"
#include "util/util.h"
#include "world/world_grid.h"

namespace {

// Longer lines keep only their start: a real line is under 40 bytes, and a
// damaged file must not make the reader hold gigabytes.
constexpr std::size_t kMaxLine = 4096;

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
void readBand(std::istream& in, std::string& line, bool& ended) {
    const SmallNumbers numbers;
    std::string key;
    std::int32_t lastValue = 0;
    for (int level = 0; level < kBandEdge; ++level) {
        for (int y = 0; y < kBandEdge; ++y) {
            for (int x = 0; x < kBandEdge; ++x) {
                if (!ended && !readLine(in, line)) ended = true;
                if (ended) {
                    setCell(x, y, level, Empty);
                    continue;
                }
                key.clear();
                appendKey(numbers, key, x, y, level);
                if (line.find(key) != std::string::npos)
                    parseValue(valueText(line), lastValue);
                setCell(x, y, level, lastValue);
            }
        }
    }
}

void readPlayerLine(std::istream& in, std::string& line, const char* key, std::int32_t& field) {
    if (!readLine(in, line)) return;
    if (line.find(key) != std::string::npos) parseValue(valueText(line), field);
}

// ---- writing

void appendCellLine(const SmallNumbers& numbers, std::string& text, int x, int y, int level) {
    appendKey(numbers, text, x, y, level);
    text += " = ";
    numbers.append(text, cell(x, y, level));
    text += '\n';
}

void reportFailure(const std::string& path, int error) {
    std::fprintf(stderr, "Tessaria: cannot save %s: %s\n", path.c_str(), std::strerror(error));
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

// The whole text into a file of its own, on the disk before it is closed.
bool writeTemporary(const std::string& temporary, const std::string& text, bool sync) {
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, text) && (!sync || ::fsync(fd) == 0);
    int error = errno;
    if (::close(fd) != 0 && ok) return false;
    errno = error;
    return ok;
}

// The old world stays reachable as the backup; a link keeps world.ini in place
// until the rename replaces it, so no moment is without a whole world file.
void keepBackup(const std::string& path) {
    std::string backup = path + ".bak";
    if (::access(path.c_str(), F_OK) != 0) return;
    ::unlink(backup.c_str());
    ::link(path.c_str(), backup.c_str());
}

// Makes the rename itself durable; a file system that cannot sync a folder
// still holds the new world, so this is best effort.
void syncFolder(const std::string& path, bool sync) {
    if (!sync) return;
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void readWorld(std::istream& in) {
    std::string line;
    line.reserve(64);
    bool ended = false;
    readBand(in, line, ended);
    if (ended) return;
    readPlayerLine(in, line, "p_x", player.x);
    readPlayerLine(in, line, "p_y", player.y);
}

void loadWorld() {
    std::ifstream in(kWorldFile, std::ios::binary);
    readWorld(in);
}

void formatWorld(std::string& text) {
    const SmallNumbers numbers;
    text.clear();
    text.reserve(kBandEdge * kBandEdge * kBandEdge * 20 + 32);
    for (int level = 0; level < kBandEdge; ++level) {
        for (int y = 0; y < kBandEdge; ++y) {
            for (int x = 0; x < kBandEdge; ++x) appendCellLine(numbers, text, x, y, level);
        }
    }
    text += "p_x = " + util::to_string(player.x) + "\n";
    text += "p_y = " + util::to_string(player.y) + "\n";
}

bool saveWorldFile(const std::string& path, bool sync) {
    std::string text;
    formatWorld(text);
    std::string temporary = path + ".tmp";
    if (!makeParentFolders(path) || !writeTemporary(temporary, text, sync)) {
        int error = errno;
        ::unlink(temporary.c_str());
        reportFailure(path, error);
        return false;
    }
    keepBackup(path);
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        reportFailure(path, error);
        return false;
    }
    syncFolder(path, sync);
    return true;
}

bool saveWorld() { return saveWorldFile(kWorldFile, true); }

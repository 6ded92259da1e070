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

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <sstream>

#include "game/atomic_file.h"
#include "game/paths.h"
#include "game/settings.h"
#include "rules/player_state.h"
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

}  // namespace

PlayerRecord keptRecord;

void readWorld(std::istream& in) { readWorldInto(in, world, player.x, player.y, keptRecord); }

bool readWorldInto(std::istream& in, WorldGrid& grid, std::int32_t& startX, std::int32_t& startY,
                   PlayerRecord& record) {
    record = PlayerRecord{};
    std::string line;
    line.reserve(64);
    bool ended = false;
    readBand(in, line, ended, grid);
    if (ended) return false;
    readPlayerLine(in, line, "p_x", startX);
    readPlayerLine(in, line, "p_y", startY);
    while (readLine(in, line)) readRecordLine(line, record);
    return true;
}

namespace {

// Why the file at `path` could not be read.
std::string whyUnreadable(const std::string& path, int error) {
    if (error == ENOENT) return "it is a link to " + linkTarget(path) + ", which is missing";
    return std::strerror(error);
}

WorldRead lastRead;

}  // namespace

WorldRead readWorldFile(const std::string& path, WorldGrid& grid, std::int32_t& startX,
                        std::int32_t& startY, PlayerRecord& record) {
    WorldRead read;
    std::string text;
    int error = readWholeFile(path, text);
    if (error == ENOENT && !nameExists(path)) {
        const std::string backup = path + ".bak";
        error = readWholeFile(backup, text);
        if (error == 0) {
            read.fromBackup = true;
            read.note = path + " is missing: playing its backup " + backup;
        } else if (error == ENOENT && !nameExists(backup)) {
            error = 0;  // no world yet
        } else {
            read.readable = false;
            read.note =
                path + " is missing and its backup cannot be read: " + whyUnreadable(backup, error);
        }
    } else if (error == 0) {
        read.found = true;
    } else {
        read.readable = false;
        read.note = "cannot read " + path + ": " + whyUnreadable(path, error);
    }
    read.found = error == 0 && (read.found || read.fromBackup);
    std::istringstream in(read.found ? text : std::string());
    // With nothing read, an empty band.
    read.whole = readWorldInto(in, grid, startX, startY, record) && read.found;
    return read;
}

bool loadWorld() {
    lastRead = readWorldFile(worldFile(), world, player.x, player.y, keptRecord);
    if (!lastRead.note.empty()) std::fprintf(stderr, "Tessaria: %s\n", lastRead.note.c_str());
    return lastRead.readable;
}

const WorldRead& lastWorldRead() { return lastRead; }

void takeSnapshot(WorldSnapshot& snapshot) {
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y)
            for (int level = 0; level < kBandEdge; ++level)
                snapshot.at(x, y, level) = cell(x, y, level);
    snapshot.playerX = player.x;
    snapshot.playerY = player.y;
    // The classic file is the plain 8,002 lines.
    snapshot.record = settings.classic ? PlayerRecord{} : recordOf(player);
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

int backUpWorldFile(const std::string& path, bool sync) { return backUpFile(path, sync); }

int writeWorldFile(const std::string& path, const WorldSnapshot& snapshot, bool sync) {
    std::string text;
    formatWorld(snapshot, text);
    delayForDisk();
    return replaceFile(path, text, sync);
}

void setDiskDelay(void (*delay)()) { diskDelay = delay; }

void delayForDisk() {
    if (void (*delay)() = diskDelay.load()) delay();
}

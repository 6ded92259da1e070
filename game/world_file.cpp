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
                if (line.find(key) != std::string::npos) parseValue(valueText(line), lastValue);
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

void readWorld(std::istream& in) {
    keptRecord = PlayerRecord{};
    std::string line;
    line.reserve(64);
    bool ended = false;
    readBand(in, line, ended);
    if (ended) return;
    readPlayerLine(in, line, "p_x", player.x);
    readPlayerLine(in, line, "p_y", player.y);
    while (readLine(in, line)) readRecordLine(line, keptRecord);
}

bool loadWorld() {
    const std::string path = worldFile();
    std::string text;
    const int error = readWholeFile(path, text);
    std::istringstream in(text);
    readWorld(in);  // with nothing read, an empty band
    if (error == 0 || (error == ENOENT && !nameExists(path))) return true;
    if (error == ENOENT)
        std::fprintf(stderr, "Tessaria: cannot read %s: it is a link to %s, which is missing\n",
                     path.c_str(), linkTarget(path).c_str());
    else std::fprintf(stderr, "Tessaria: cannot read %s: %s\n", path.c_str(), std::strerror(error));
    return false;
}

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
    if (void (*delay)() = diskDelay.load()) delay();
    return replaceFile(path, text, sync);
}

void setDiskDelay(void (*delay)()) { diskDelay = delay; }

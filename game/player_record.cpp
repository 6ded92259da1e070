// The player record's lines: written from the player, read back field by field.
#include "game/player_record.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "util/util.h"

namespace {

constexpr const char kPrefix[] = "player.";
constexpr int kLooks = 7;    // F1 rows
constexpr int kOutfits = 2;  // F2 groups

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Whole decimal numbers separated by blanks, each within 32 bits, at most
// as many as the longest list holds; false for anything else.
bool parseNumbers(const std::string& text, std::vector<std::int32_t>& numbers) {
    numbers.clear();
    const char* p = text.c_str();
    const char* const end = p + text.size();
    while (p < end) {
        if (isBlank(*p)) {
            ++p;
            continue;
        }
        const char* start = p;
        if (*p == '-') ++p;
        if (p == end || !isDigit(*p)) return false;
        while (p < end && isDigit(*p)) ++p;
        if (p < end && !isBlank(*p)) return false;
        if (numbers.size() == kBlockTypes) return false;
        errno = 0;
        const long long value = std::strtoll(start, nullptr, 10);
        if (errno != 0 || value < INT32_MIN || value > INT32_MAX) return false;
        numbers.push_back(static_cast<std::int32_t>(value));
    }
    return true;
}

bool allWithin(const std::vector<std::int32_t>& numbers, std::size_t count, std::int32_t low,
               std::int32_t high) {
    return numbers.size() == count && std::all_of(numbers.begin(), numbers.end(),
                                                  [&](int n) { return n >= low && n <= high; });
}

// A single number within its range into an optional field.
bool takeNumber(const std::vector<std::int32_t>& numbers, std::int32_t low, std::int32_t high,
                std::optional<std::int32_t>& field) {
    if (!allWithin(numbers, 1, low, high)) return false;
    field = numbers[0];
    return true;
}

template <std::size_t N>
bool takeList(const std::vector<std::int32_t>& numbers, std::int32_t low, std::int32_t high,
              std::optional<std::array<std::int32_t, N>>& field) {
    if (!allWithin(numbers, N, low, high)) return false;
    std::array<std::int32_t, N> list{};
    std::copy(numbers.begin(), numbers.end(), list.begin());
    field = list;
    return true;
}

// Counts are held at what a player may hold: a file from before the limit, or
// one whose count ran past the largest number, keeps every count it can.
bool takeCounts(const std::vector<std::int32_t>& numbers,
                std::optional<std::array<std::int32_t, kBlockTypes>>& field) {
    if (numbers.size() != kBlockTypes) return false;
    std::array<std::int32_t, kBlockTypes> counts{};
    for (std::size_t id = 0; id < counts.size(); ++id)
        counts[id] = std::clamp(numbers[id], 0, kMostOfABlock);
    field = counts;
    return true;
}

bool takeField(const std::string& name, const std::vector<std::int32_t>& numbers, int lastColumn,
               PlayerRecord& r) {
    std::optional<std::int32_t> number;
    if (name == "x") return takeNumber(numbers, 0, lastColumn, r.x);
    if (name == "y") return takeNumber(numbers, 0, lastColumn, r.y);
    if (name == "level") return takeNumber(numbers, 0, kBandEdge, r.level);
    if (name == "look") return takeNumber(numbers, 0, kLooks - 1, r.look);
    if (name == "outfit") return takeNumber(numbers, 0, kOutfits - 1, r.outfit);
    if (name == "working_height") return takeNumber(numbers, 0, 1, r.workingHeight);
    if (name == "selected_slot") return takeNumber(numbers, 0, kHotbarSlots - 1, r.selectedSlot);
    if (name == "hotbar") return takeList(numbers, 0, kLastBlock, r.hotbar);
    if (name == "counts") return takeCounts(numbers, r.counts);
    if (name == "facing" && takeNumber(numbers, 0, 3, number)) {
        r.facing = static_cast<Facing>(*number);
        return true;
    }
    if (name == "auto_jump" && takeNumber(numbers, 0, 1, number)) {
        r.autoJump = *number == 1;
        return true;
    }
    return false;
}

void appendLine(std::string& text, const char* name, std::int32_t value) {
    text += kPrefix;
    text += name;
    text += " = " + util::to_string(value) + "\n";
}

template <std::size_t N>
void appendList(std::string& text, const char* name, const std::array<std::int32_t, N>& values) {
    text += kPrefix;
    text += name;
    text += " =";
    for (std::int32_t value : values) text += " " + util::to_string(value);
    text += "\n";
}

}  // namespace

bool PlayerRecord::operator==(const PlayerRecord& o) const {
    return x == o.x && y == o.y && level == o.level && facing == o.facing && look == o.look &&
           outfit == o.outfit && workingHeight == o.workingHeight && autoJump == o.autoJump &&
           selectedSlot == o.selectedSlot && hotbar == o.hotbar && counts == o.counts;
}

PlayerRecord recordOf(const PlayerState& p) {
    PlayerRecord r;
    r.x = p.x;
    r.y = p.y;
    r.level = p.level;
    r.facing = p.facing;
    r.look = p.spriteRow;
    r.outfit = p.spriteGroup;
    r.workingHeight = p.targetRaised;
    r.autoJump = p.autoJump;
    r.selectedSlot = p.selectedSlot;
    r.hotbar.emplace();
    std::copy(std::begin(p.hotbar), std::end(p.hotbar), r.hotbar->begin());
    r.counts.emplace();
    std::copy(std::begin(p.blockCounts), std::end(p.blockCounts), r.counts->begin());
    return r;
}

void applyRecord(const PlayerRecord& r) { applyRecordTo(r, player, camera); }

void applyRecordTo(const PlayerRecord& r, PlayerState& p, Camera& view) {
    if (r.facing) p.facing = *r.facing;
    if (r.look) p.spriteRow = *r.look;
    if (r.outfit) p.spriteGroup = *r.outfit;
    if (r.workingHeight) p.targetRaised = *r.workingHeight;
    if (r.autoJump) p.autoJump = *r.autoJump;
    if (r.selectedSlot) p.selectedSlot = *r.selectedSlot;
    if (r.hotbar) std::copy(r.hotbar->begin(), r.hotbar->end(), std::begin(p.hotbar));
    if (r.counts) std::copy(r.counts->begin(), r.counts->end(), std::begin(p.blockCounts));
    if (r.x && r.y && r.level) {
        placePlayer(p, view, *r.x, *r.y);
        p.level = *r.level;
    }
}

void formatPlayerRecord(const PlayerRecord& r, std::string& text) {
    if (r.x) appendLine(text, "x", *r.x);
    if (r.y) appendLine(text, "y", *r.y);
    if (r.level) appendLine(text, "level", *r.level);
    if (r.facing) appendLine(text, "facing", static_cast<std::int32_t>(*r.facing));
    if (r.look) appendLine(text, "look", *r.look);
    if (r.outfit) appendLine(text, "outfit", *r.outfit);
    if (r.workingHeight) appendLine(text, "working_height", *r.workingHeight);
    if (r.autoJump) appendLine(text, "auto_jump", *r.autoJump ? 1 : 0);
    if (r.selectedSlot) appendLine(text, "selected_slot", *r.selectedSlot);
    if (r.hotbar) appendList(text, "hotbar", *r.hotbar);
    if (r.counts) appendList(text, "counts", *r.counts);
}

bool readRecordLine(const std::string& line, PlayerRecord& record, int lastColumn) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string name = trimmed(line.substr(0, equals));
    const std::size_t prefix = sizeof kPrefix - 1;
    if (name.compare(0, prefix, kPrefix) != 0) return false;
    std::vector<std::int32_t> numbers;
    if (!parseNumbers(line.substr(equals + 1), numbers)) return false;
    return takeField(name.substr(prefix), numbers, lastColumn, record);
}

PlayerRecord parsePlayerRecord(std::istream& in, int lastColumn) {
    PlayerRecord record;
    for (std::string line; std::getline(in, line);) readRecordLine(line, record, lastColumn);
    return record;
}

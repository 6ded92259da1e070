// World files for the end-to-end tests: a band of cells prepared in the test,
// written in the game's format, and what the game saved, read back strictly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The saved band (x, y and level 0..19) and the player lines.
struct WorldFile {
    static constexpr int kSide = 20;
    std::vector<std::int32_t> cells = std::vector<std::int32_t>(kSide * kSide * kSide, 0);
    std::int32_t playerX = 0, playerY = 0;
    std::map<std::string, std::string> record;  // the player's record: "player.x" -> "7"
    static int index(int x, int y, int level) { return (level * kSide + y) * kSide + x; }
    std::int32_t& at(int x, int y, int level) { return cells[index(x, y, level)]; }
    std::int32_t at(int x, int y, int level) const { return cells[index(x, y, level)]; }
};
// Writes the file with the game's own formatter.
void writeWorldFile(const std::filesystem::path& path, const WorldFile& world);
// Reads a file that must be exactly 8,000 lines "x.y[level] = value" (levels
// outermost, x innermost), then "p_x = N" and "p_y = N", every key at its own
// line, then any number of lines "player.NAME = VALUE"; false with the first
// problem otherwise.
bool readWorldFile(const std::filesystem::path& path, WorldFile* world, std::string* problem);
// True once the file on the disk reads whole and its cells differ from
// `before`'s: a change the game made has been saved.
bool cellsChangedOnDisk(const std::filesystem::path& path, const WorldFile& before);

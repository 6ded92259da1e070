// The strict reader is written against the format, not with the game's
// reader, which forgives what this one must catch.
#include "app/world_files.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "game/world_file.h"
#include "support/files.h"

namespace fs = std::filesystem;

void writeWorldFile(const fs::path& path, const WorldFile& world) {
    WorldSnapshot snapshot;
    const int side = WorldFile::kSide;
    for (int level = 0; level < side; ++level)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) snapshot.at(x, y, level) = world.at(x, y, level);
    snapshot.playerX = world.playerX;
    snapshot.playerY = world.playerY;
    std::string text;
    formatWorld(snapshot, text);
    writeText(path, text);
}

namespace {

// "PREFIX" followed by a whole decimal number and nothing else.
bool parseLine(const std::string& line, const std::string& prefix, std::int32_t* value) {
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string number = line.substr(prefix.size());
    if (number.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(number.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number != std::to_string(parsed)) return false;
    *value = static_cast<std::int32_t>(parsed);
    return true;
}

}  // namespace

bool readWorldFile(const fs::path& path, WorldFile* world, std::string* problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *problem = "cannot open " + path.string();
        return false;
    }
    std::string line;
    int number = 0;
    auto next = [&](const std::string& prefix, std::int32_t* value) {
        ++number;
        if (std::getline(in, line) && parseLine(line, prefix, value)) return true;
        *problem =
            "line " + std::to_string(number) + " is \"" + line + "\", expected " + prefix + "N";
        return false;
    };
    const int side = WorldFile::kSide;
    for (int level = 0; level < side; ++level)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::string key = std::to_string(x) + "." + std::to_string(y) + "[" +
                                        std::to_string(level) + "] = ";
                if (!next(key, &world->at(x, y, level))) return false;
            }
    if (!next("p_x = ", &world->playerX) || !next("p_y = ", &world->playerY)) return false;
    while (std::getline(in, line)) {
        ++number;
        const std::size_t equals = line.find(" = ");
        if (line.rfind("player.", 0) != 0 || equals == std::string::npos) {
            *problem = "line " + std::to_string(number) + " is \"" + line +
                       "\", expected player.NAME = VALUE";
            return false;
        }
        world->record[line.substr(0, equals)] = line.substr(equals + 3);
    }
    return true;
}

bool cellsChangedOnDisk(const std::filesystem::path& path, const WorldFile& before) {
    WorldFile saved;
    std::string problem;
    return readWorldFile(path, &saved, &problem) && saved.cells != before.cells;
}

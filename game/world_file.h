// The world file: the saved band of the grid and the player's position.
#pragma once

#include <iosfwd>
#include <string>

constexpr const char* kWorldFile = "data/world/world.ini";
constexpr const char* kWorldBackup = "data/world/world.ini.bak";

// Reads kWorldFile into the saved band and the player's position; a missing
// or damaged file leaves the band partly or wholly empty.
void loadWorld();
// Writes the world atomically, keeping the world it replaces as kWorldBackup.
// False when the world could not be saved; the reason has then been printed on
// standard error, and the old file is intact with a backup beside it.
bool saveWorld();

// The reader on any stream of bytes (the fuzzer feeds it directly).
void readWorld(std::istream& in);
// The whole file text of the current world, as saveWorld writes it.
void formatWorld(std::string& text);
// saveWorld for any path. Without sync nothing is forced to the disk: only
// for measuring what the syncing costs.
bool saveWorldFile(const std::string& path, bool sync);

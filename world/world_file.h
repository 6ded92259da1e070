// The world file: the saved band of the grid and the player's position.
#pragma once

constexpr const char* kWorldFile = "data/world/world.ini";

void loadWorld();
// Writes the world atomically. False when the world could not be saved; the
// reason has then been printed on standard error and the old file is intact.
bool saveWorld();

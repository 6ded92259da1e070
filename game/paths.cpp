// The game's files, all beside data/ in the folder it runs in.
#include "game/paths.h"

std::string worldFile() { return "data/world/world.ini"; }

std::string settingsFile() { return "data/settings.ini"; }

std::string screenshotFolder() { return "screenshots"; }

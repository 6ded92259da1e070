// Where the game keeps its files. Every path is relative to the folder the
// game runs in, beside data/; this is the one place that knows them.
#pragma once

#include <string>

// The saved world; its backup is the same name with ".bak".
std::string worldFile();
// Window size, fullscreen and key bindings, kept between runs.
std::string settingsFile();
// Where F12 puts its pictures.
std::string screenshotFolder();

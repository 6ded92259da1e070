// Allegro's own names for its keys, the same on every platform ("RCTRL",
// "SPACE", "ENTER"): the settings file accepts them beside the names the
// keyboard driver reports (X's "Control_R", "space", "Return" on Linux).
#pragma once

#include <string>

// The key of that name, in any case; -1 for a name Allegro does not use.
int keyByAllegroName(const std::string& name);

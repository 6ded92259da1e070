// The keyboard and the mouse as a player uses them, through xdotool.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "app/x_server.h"
#include "support/waiting.h"

// Runs xdotool against the server; true on success.
bool xdotool(const XServer& server, const std::string& arguments);
// Holds a key for the given time (the game polls the keyboard once per tick).
void holdKey(const XServer& server, Window window, const std::string& key, double seconds);
// Holds a key until what it does is seen, or the time is up, and lets it go;
// true when it was seen. How many ticks a held key lasts in the game is not
// how long the test held it: a loaded machine stretches or squeezes either,
// so a key whose outcome counts (one step, not two) is held by the outcome.
template <typename Predicate>
bool holdKeyUntil(const XServer& server, Window window, const std::string& key, Predicate seen,
                  double seconds) {
    xdotool(server, "windowfocus --sync " + std::to_string(window));
    xdotool(server, "keydown " + key);
    const bool done = waitUntil(seen, seconds);
    xdotool(server, "keyup " + key);
    return done;
}
void clickAt(const XServer& server, int x, int y);

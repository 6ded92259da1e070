// The keyboard and the mouse as a player uses them, through xdotool.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "app/x_server.h"

// Runs xdotool against the server; true on success.
bool xdotool(const XServer& server, const std::string& arguments);
// Holds a key for the given time (the game polls the keyboard once per tick).
void holdKey(const XServer& server, Window window, const std::string& key, double seconds);
void clickAt(const XServer& server, int x, int y);

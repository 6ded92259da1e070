// The game's window as X sees it: found by its title, measured, and asked to
// close the way a window manager's close button does.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "app/x_server.h"

// The game's top-level window, or 0 when none appears within the time.
Window waitForWindow(const XServer& server, double seconds);
std::string windowTitle(const XServer& server, Window window);
void windowSize(const XServer& server, Window window, int* width, int* height);
// A WM_DELETE_WINDOW message: xdotool's windowclose would destroy the window
// and kill the game with an X error instead.
void requestClose(const XServer& server, Window window);

// Keys and clicks slow enough for a game that polls once per 25 ms tick.
#include "app/x_input.h"

#include <cstdlib>

#include "support/waiting.h"

bool xdotool(const XServer& server, const std::string& arguments) {
    std::string command = "DISPLAY=" + server.name() + " xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Without a window manager focus follows the pointer, so the window is focused
// first; a plain "xdotool key" would be released before the next tick.
void holdKey(const XServer& server, Window window, const std::string& key, double seconds) {
    xdotool(server, "windowfocus --sync " + std::to_string(window));
    xdotool(server, "keydown " + key);
    sleepSeconds(seconds);
    xdotool(server, "keyup " + key);
}

void clickAt(const XServer& server, int x, int y) {
    xdotool(server, "mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
    sleepSeconds(0.1);
    xdotool(server, "mousedown 1");
    sleepSeconds(0.15);
    xdotool(server, "mouseup 1");
}

// End-to-end test support: a private X server, the real game binary in a
// prepared run folder, and the keyboard, mouse and window as a player uses them.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// An Xvfb server of its own per test, so tests never share a screen.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& name() const { return displayName_; }
    Display* display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string displayName_;
    Display* display_ = nullptr;
};

// A run folder with a copy of the generated data/ (so a test may remove or
// replace files) and an empty data/world/.
class RunFolder {
public:
    RunFolder();
    ~RunFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path worldFile() const { return path_ / "data/world/world.ini"; }

private:
    std::filesystem::path path_;
};

struct Pixel {
    int r = 0, g = 0, b = 0;
};

class GameProcess {
public:
    GameProcess(const XServer& server, const RunFolder& folder,
                std::vector<std::string> extraEnvironment = {});
    ~GameProcess();
    // Exit status as the shell sees it (0..255), -1 on time-out, 128+n when killed by signal n.
    int waitForExit(double seconds);
    bool running();
    pid_t pid() const { return pid_; }
    const std::string& errorOutput();

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;  // as waitpid reported it
    std::filesystem::path stderrPath_;
    std::string stderrText_;
};

// The game's top-level window, or 0 when none appears within the time.
Window waitForWindow(const XServer& server, double seconds);
std::string windowTitle(const XServer& server, Window window);
void windowSize(const XServer& server, Window window, int* width, int* height);
// Asks the window to close the way a window manager's close button does.
void requestClose(const XServer& server, Window window);
// Runs xdotool against the server; true on success.
bool xdotool(const XServer& server, const std::string& arguments);
// Holds a key for the given time (the game polls the keyboard once per tick).
void holdKey(const XServer& server, Window window, const std::string& key, double seconds);
void clickAt(const XServer& server, int x, int y);
Pixel pixelAt(const XServer& server, int x, int y);
// Saves a screenshot of the whole screen as a test artefact; returns its path.
std::string saveScreenshot(const XServer& server, const std::string& name);
void sleepSeconds(double seconds);
// Waits until the predicate holds or the time is up.
template <typename Predicate>
bool waitUntil(Predicate predicate, double seconds) {
    for (double waited = 0; waited < seconds; waited += 0.05) {
        if (predicate()) return true;
        sleepSeconds(0.05);
    }
    return predicate();
}

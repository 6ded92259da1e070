// End-to-end test support: a private X server, the real game binary in a
// prepared run folder, and the keyboard, mouse and window as a player uses them.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// How long a game may take to open its window and to exit; generous, because
// sanitizer builds on a loaded machine start slowly.
constexpr double kStartSeconds = 30;
constexpr double kExitSeconds = 30;

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
    // `beforeExec` runs in the child just before the game replaces it: limits
    // and filters set there hold for the game.
    GameProcess(const XServer& server, const RunFolder& folder,
                std::vector<std::string> extraEnvironment = {},
                void (*beforeExec)() = nullptr);
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

// --- Pictures: what the screen shows, and the game's own picture files.

// Rows of pixels, top row first.
struct Image {
    int width = 0, height = 0;
    std::vector<Pixel> pixels;
    Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
// The whole screen, read in one request.
Image grabScreen(const XServer& server);
// An uncompressed 24-bit BMP as the asset generator writes them; empty when
// the file is missing or of another kind.
Image readBmp(const std::filesystem::path& path);
// Pixels of the picture's region (px, py, w, h) that are drawn (not the pure
// black that loading turns transparent) and that differ by more than
// `tolerance` in some channel from the screen, the region placed at (sx, sy).
int differingPixels(const Image& screen, int sx, int sy, const Image& picture, int px, int py,
                    int w, int h, int tolerance = 1);
// How many pixels of the screen region (x, y, w, h) are near white.
int whitishPixels(const Image& screen, int x, int y, int w, int h);

// --- World files in the game's format.

// The saved band (x, y and level 0..19) and the player lines.
struct WorldFile {
    static constexpr int kSide = 20;
    std::vector<std::int32_t> cells = std::vector<std::int32_t>(kSide * kSide * kSide, 0);
    std::int32_t playerX = 0, playerY = 0;
    static int index(int x, int y, int level) { return (level * kSide + y) * kSide + x; }
    std::int32_t& at(int x, int y, int level) { return cells[index(x, y, level)]; }
    std::int32_t at(int x, int y, int level) const { return cells[index(x, y, level)]; }
};
// Writes 8,000 lines "x.y[level] = value" (levels outermost, x innermost),
// then "p_x = N" and "p_y = N".
void writeWorldFile(const std::filesystem::path& path, const WorldFile& world);
// Reads a file that must be in exactly that format, every key at its own
// line; false with the first problem otherwise.
bool readWorldFile(const std::filesystem::path& path, WorldFile* world, std::string* problem);
// The whole file as text (empty when missing).
std::string fileText(const std::filesystem::path& path);

// --- Playing.

// Skips the intro with Escape, waits for the title menu and clicks "single
// player"; true once the game screen shows (the hotbar cursor on slot 0).
bool enterGame(const XServer& server, const RunFolder& folder, Window window, double seconds);

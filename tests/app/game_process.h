// The real game binary as a process of its own: started on a private X
// server in a run folder, watched until it exits, and led past the intro and
// the title menu into a game.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/run_folder.h"
#include "app/x_server.h"
#include "support/waiting.h"

// How long a game may take to open its window, to show what was asked, and
// to exit: sanitizer builds on a loaded machine are slow at all three.
constexpr double kStartSeconds = kPatientSeconds;
constexpr double kExitSeconds = kPatientSeconds;

class GameProcess {
public:
    // `beforeExec` runs in the child just before the game replaces it: limits
    // and filters set there hold for the game. `arguments` follow the
    // program's name on its command line.
    GameProcess(const XServer& server, const RunFolder& folder,
                std::vector<std::string> extraEnvironment = {}, void (*beforeExec)() = nullptr,
                std::vector<std::string> arguments = {});
    ~GameProcess();
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;
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

struct Image;
// True while the world list (or the new-world panel: its buttons are there
// too) is on the screen; `button` is the menu button's picture.
std::function<bool()> worldListShown(const XServer& server, const Image& button);

// A menu button's picture, plain or lit, left of its label at (x, y).
bool showsButton(const Image& screen, int x, int y, const Image& button);

// Escape from the intro, the menu or the game (through the pause menu's
// "Title menu"); true once the title menu shows. The pointer is moved away
// from every button first.
bool escapeToTitleMenu(const XServer& server, Window window, const Image& button, double seconds);

// The command line that starts the run folder's world at once.
const std::vector<std::string> kPlayTestWorld = {"--world", kTestWorld};

// Skips the intro (or leaves the game) with Escape, waits for the title menu,
// clicks "single player" and plays the world chosen in the list with Enter;
// true once the game screen shows with the hotbar cursor on `slot`.
bool enterGame(const XServer& server, const RunFolder& folder, Window window, double seconds,
               int slot = 0);

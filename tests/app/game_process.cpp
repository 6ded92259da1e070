// Forking the game with its standard error kept in the run folder, reaping
// it, and the clicks that take it from the intro into a game.
#include "app/game_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "app/screen.h"
#include "app/x_input.h"
#include "support/files.h"
#include "support/waiting.h"

GameProcess::GameProcess(const XServer& server, const RunFolder& folder,
                         std::vector<std::string> extraEnvironment, void (*beforeExec)(),
                         std::vector<std::string> arguments)
    : stderrPath_(folder.path() / "stderr.txt") {
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(folder.path().c_str()) != 0) _exit(126);
        int errors = open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(errors, STDERR_FILENO);
        setenv("DISPLAY", server.name().c_str(), 1);
        if (getenv("ALSOFT_DRIVERS") == nullptr) setenv("ALSOFT_DRIVERS", "null", 1);
        // The window's graphics driver is unloaded at exit with allocations
        // the leak checker can no longer attribute; the game's exit status
        // must stay its own.
        std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (asan + ":detect_leaks=0").c_str(), 1);
        for (const std::string& entry : extraEnvironment) putenv(strdup(entry.c_str()));
        if (beforeExec != nullptr) beforeExec();
        std::vector<char*> argv{const_cast<char*>(TESSARIA_GAME_BINARY)};
        for (std::string& argument : arguments) argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        execv(TESSARIA_GAME_BINARY, argv.data());
        _exit(127);
    }
}

GameProcess::~GameProcess() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool GameProcess::running() {
    if (pid_ <= 0 || exited_) return false;
    pid_t done = waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) exited_ = true;
    return done == 0;
}

int GameProcess::waitForExit(double seconds) {
    if (!waitUntil([this] { return !running(); }, seconds)) return -1;
    if (!exited_) return -1;
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) return 128 + WTERMSIG(status_);
    return -1;
}

const std::string& GameProcess::errorOutput() {
    stderrText_ = readText(stderrPath_);
    return stderrText_;
}

std::function<bool()> worldListShown(const XServer& server, const Image& button) {
    // The "Play" button's plain left end, where the title menu has none.
    return [&server, &button] {
        return differingPixels(grabScreen(server), 120, 380, button, 0, 0, 55, button.height / 2) ==
               0;
    };
}

bool showsButton(const Image& screen, int x, int y, const Image& button) {
    const int half = button.height / 2;
    return differingPixels(screen, x, y, button, 0, 0, 55, half) == 0 ||
           differingPixels(screen, x, y, button, 0, half, 55, half) == 0;
}

bool escapeToTitleMenu(const XServer& server, Window window, const Image& button, double seconds) {
    xdotool(server, "mousemove --sync 630 10");  // away from every button
    // "single player", plain or lit (the menu may show with it chosen), and
    // the plain upper half of the pause menu's "Title menu", left of their labels.
    auto menuShown = [&] { return showsButton(grabScreen(server), 220, 210, button); };
    auto pauseShown = [&] {
        return differingPixels(grabScreen(server), 240, 252, button, 0, 0, 55, button.height / 2) ==
               0;
    };
    // A joined world that arrives meanwhile shows the game again: try anew
    // until the menu stays. Escape on the menu only closes its panel.
    constexpr double trySeconds = 4;
    for (double spent = 0; spent < seconds; spent += 2 * trySeconds) {
        holdKey(server, window, "Escape", 0.15);
        if (!waitUntil([&] { return menuShown() || pauseShown(); }, trySeconds)) continue;
        if (!menuShown()) clickAt(server, 300, 262);
        if (!waitUntil(menuShown, trySeconds)) continue;
        sleepSeconds(0.3);
        if (menuShown()) return true;
    }
    return false;
}

bool enterGame(const XServer& server, const RunFolder& folder, Window window, double seconds,
               int slot) {
    const Image button = readBmp(folder.path() / "data/gfx/008.bmp");
    const Image cursor = readBmp(folder.path() / "data/gfx/004.bmp");
    if (button.width == 0 || cursor.width == 0) return false;
    if (!escapeToTitleMenu(server, window, button, seconds)) return false;
    clickAt(server, 300, 220);
    if (!waitUntil(worldListShown(server, button), seconds)) return false;
    holdKey(server, window, "Return", 0.15);
    return waitUntil(
        [&] {
            return differingPixels(grabScreen(server), 182 + 30 * slot, 416, cursor, 0, 0,
                                   cursor.width, cursor.height) == 0;
        },
        seconds);
}

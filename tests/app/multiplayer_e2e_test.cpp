// Two game windows and the real server on 127.0.0.1: both join from the
// command line, one builds and talks and the other sees and hears it, and a
// server that dies sends each game back to the menu with the reason. And a
// game that hosts its own world from the join panel, with a second player
// joining it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/e2e_harness.h"
#include "client/session.h"
#include "game/world_lock.h"

namespace {

#ifdef TESSARIA_SERVER_BINARY
const char* const kServerBinary = TESSARIA_SERVER_BINARY;
#else
const char* const kServerBinary = "";
#endif

// tessaria-server --port 0 --world DIR, its output kept in a file; with a
// password in its server.ini when one is given.
class HostedServer {
public:
    explicit HostedServer(const std::filesystem::path& folder, const std::string& password = "")
        : log_(folder / "server.log") {
        std::filesystem::create_directories(folder / "world");
        if (!password.empty())
            writeText(folder / "world/server.ini", "password = " + password + "\n");
        pid_ = fork();
        if (pid_ == 0) {
            const int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            const std::string world = (folder / "world").string();
            execl(kServerBinary, kServerBinary, "--port", "0", "--world", world.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~HostedServer() { stop(SIGKILL); }
    std::string log() const { return readText(log_); }
    bool saw(const std::string& text, double seconds = kPatientSeconds) {
        return waitUntil([&] { return log().find(text) != std::string::npos; }, seconds);
    }
    int port() {
        const std::string mark = "listening on port ";
        if (!saw(mark)) return 0;
        const std::string text = log();
        return std::atoi(text.c_str() + text.find(mark) + mark.size());
    }
    void stop(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::filesystem::path log_;
    pid_t pid_ = -1;
};

// The game screen, not the menu nor the line shown while joining: the
// HUD's frame is on it, but for a few pixels of chat and names.
bool showsGame(const XServer& x, const Image& hud) {
    return differingPixels(grabScreen(x), 0, 0, hud, 0, 0, hud.width, hud.height) < 400;
}

bool showsMenu(const XServer& x, const Image& button) {
    return showsButton(grabScreen(x), 220, 210, button);
}

int changedPixels(const Image& a, const Image& b) {
    int changed = 0;
    for (int y = 0; y < a.height && y < b.height; ++y)
        for (int x = 0; x < a.width && x < b.width; ++x) changed += !(a.at(x, y) == b.at(x, y));
    return changed;
}

// A second player in the test process: the game's own client, pumped 40
// times a second on a thread, its picture of the band read under a lock.
class Guest {
public:
    Guest(int port, const std::string& name) : session_("127.0.0.1", port, name) {
        grid_->maxX = grid_->maxY = kBandEdge;
        thread_ = std::thread([this] {
            while (!done_) {
                {
                    std::lock_guard<std::mutex> guard(lock_);
                    session_.pump(World{*grid_, weather_, clock_}, self_, view_);
                }
                sleepSeconds(0.025);
            }
        });
    }
    ~Guest() {
        done_ = true;
        thread_.join();
    }
    bool reaches(SessionPhase phase) {
        return waitUntil([&] {
            std::lock_guard<std::mutex> guard(lock_);
            return session_.phase() == phase;
        });
    }
    WorldFile band() {
        std::lock_guard<std::mutex> guard(lock_);
        WorldFile seen;
        for (int level = 0; level < WorldFile::kSide; ++level)
            for (int y = 0; y < WorldFile::kSide; ++y)
                for (int x = 0; x < WorldFile::kSide; ++x)
                    seen.at(x, y, level) = cellOf(*grid_, x, y, level);
        return seen;
    }

private:
    std::mutex lock_;
    Session session_;
    std::unique_ptr<WorldGrid> grid_ = std::make_unique<WorldGrid>();
    WeatherState weather_;
    WorldClock clock_;
    PlayerState self_;
    Camera view_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The one cell in which two bands differ, as its index; -1 for none or several.
int changedCell(const WorldFile& before, const WorldFile& after) {
    int found = -1;
    for (std::size_t i = 0; i < before.cells.size(); ++i) {
        if (before.cells[i] == after.cells[i]) continue;
        if (found >= 0) return -1;
        found = static_cast<int>(i);
    }
    return found;
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(MultiplayerE2e, TwoGamesBuildAndTalkTogetherAndGoBackToTheMenuWhenTheServerDies) {
    if (std::string(kServerBinary).empty() || !std::filesystem::exists(kServerBinary))
        GTEST_SKIP() << "no tessaria-server in this build";
    RunFolder hostFolder;
    HostedServer server(hostFolder.path());
    const int port = server.port();
    ASSERT_GT(port, 0) << server.log();
    const std::string address = "127.0.0.1:" + std::to_string(port);

    XServer screenA, screenB;
    RunFolder folderA, folderB;
    GameProcess ann(screenA, folderA, {}, nullptr, {"--connect", address, "--name", "ann"});
    GameProcess bo(screenB, folderB, {}, nullptr, {"--connect", address, "--name", "bo"});
    const Window windowA = waitForWindow(screenA, kStartSeconds);
    const Window windowB = waitForWindow(screenB, kStartSeconds);
    ASSERT_NE(windowA, 0u);
    ASSERT_NE(windowB, 0u);
    ASSERT_TRUE(server.saw("ann joined")) << server.log();
    ASSERT_TRUE(server.saw("bo joined")) << server.log();
    const Image hud = readBmp(folderA.path() / "data/gfx/001.bmp");
    ASSERT_TRUE(waitUntil([&] { return showsGame(screenA, hud); }));
    ASSERT_TRUE(waitUntil([&] { return showsGame(screenB, hud); }));
    EXPECT_TRUE(waitUntil([&] {
        return bo.errorOutput().find("ann joined") != std::string::npos ||
               ann.errorOutput().find("bo joined") != std::string::npos;
    }));
    saveScreenshot(screenB, "multiplayer_together");

    // ann works the cell in front of her (three strikes take a block that is
    // there, then one is placed where none is); bo's picture changes with it.
    const Image before = grabScreen(screenB);
    holdKey(screenA, windowA, "Control_R", 1.6);
    holdKey(screenA, windowA, "space", 0.3);
    EXPECT_TRUE(waitUntil([&] { return changedPixels(before, grabScreen(screenB)) > 100; }));

    // A chat line from ann reaches bo.
    holdKey(screenA, windowA, "t", 0.1);
    xdotool(screenA, "type --delay 30 hello");
    holdKey(screenA, windowA, "Return", 0.1);
    EXPECT_TRUE(server.saw("hello")) << server.log();
    EXPECT_TRUE(waitUntil([&] { return bo.errorOutput().find("ann: hello") != std::string::npos; }))
        << bo.errorOutput();

    // The server dies without a word: both games go back to the menu and say why.
    server.stop(SIGKILL);
    const Image button = readBmp(folderA.path() / "data/gfx/008.bmp");
    EXPECT_TRUE(waitUntil([&] { return showsMenu(screenA, button); }));
    EXPECT_TRUE(waitUntil([&] { return showsMenu(screenB, button); }));
    saveScreenshot(screenA, "multiplayer_lost");
    EXPECT_NE(ann.errorOutput().find("Disconnected: server stopped"), std::string::npos)
        << ann.errorOutput();
    EXPECT_NE(bo.errorOutput().find("Disconnected: server stopped"), std::string::npos)
        << bo.errorOutput();
    requestClose(screenA, windowA);
    requestClose(screenB, windowB);
    EXPECT_EQ(ann.waitForExit(kExitSeconds), 0) << ann.errorOutput();
    EXPECT_EQ(bo.waitForExit(kExitSeconds), 0) << bo.errorOutput();
}

// The game hosts the world it plays from the join panel and joins it itself;
// a second player sees the host's work; leaving (or "single player") gives the
// world back to single player as the server saved it, and quitting while
// hosting leaves it saved by the server alone and free for the next run.
TEST(MultiplayerE2e, TheGameHostsItsWorldAndGetsItBackAsTheServerSavedIt) {
    XServer screen;
    RunFolder folder;
    // A floor at level 10 with a wall on it everywhere but the start column:
    // whichever way the host faces, the cell it works holds a wall block.
    WorldFile start;
    for (int y = 0; y < WorldFile::kSide; ++y)
        for (int x = 0; x < WorldFile::kSide; ++x) {
            start.at(x, y, 10) = 4;
            if (x != 10 || y != 10) start.at(x, y, 9) = 13;
        }
    start.playerX = start.playerY = 10;
    writeWorldFile(folder.worldFile(), start);
    const auto lockFree = [&] {
        WorldLock probe;
        return probe.take(folder.worldFolder().string()) == WorldLock::Outcome::Taken;
    };
    const auto savedCell = [&](int index) {
        WorldFile saved;
        std::string problem;
        EXPECT_TRUE(readWorldFile(folder.worldFile(), &saved, &problem)) << problem;
        return saved.cells[index];
    };

    GameProcess game(screen, folder, {}, nullptr, kPlayTestWorld);
    const Window window = waitForWindow(screen, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    const Image button = readBmp(folder.path() / "data/gfx/008.bmp");
    const Image hud = readBmp(folder.path() / "data/gfx/001.bmp");
    const Image cursor = readBmp(folder.path() / "data/gfx/004.bmp");
    ASSERT_TRUE(waitUntil(
        [&] {
            return differingPixels(grabScreen(screen), 182, 416, cursor, 0, 0, cursor.width,
                                   cursor.height) == 0;
        },
        kStartSeconds))
        << "the world is not played";
    // Escape to the menu, "Multiplayer", then "Host this world": the port the
    // game prints is the one the second player joins. The panel is open once
    // its "Join" (or "Leave") button is drawn.
    const auto openPanel = [&] {
        if (!escapeToTitleMenu(screen, window, button, kStartSeconds)) {
            ADD_FAILURE() << "no title menu " << saveScreenshot(screen, "host-no-menu");
            return false;
        }
        clickAt(screen, 230, 250);
        if (waitUntil([&] {
                return differingPixels(grabScreen(screen), 433, 312, button, 0, 0, 55,
                                       button.height / 2) == 0;
            }))
            return true;
        ADD_FAILURE() << "no join panel " << saveScreenshot(screen, "host-no-panel");
        return false;
    };
    int hosted = 0;
    const auto host = [&] {
        if (!openPanel()) return 0;
        if (hosted == 0) {
            clickAt(screen, 450, 260);  // the name field
            xdotool(screen, "type --delay 40 host");
        }
        clickAt(screen, 460, 348);  // "Host this world"
        const std::string mark = "Tessaria: Hosting at ";
        if (!waitUntil([&] { return count(game.errorOutput(), mark) > hosted; })) return 0;
        const std::string& text = game.errorOutput();
        ++hosted;
        const auto line = text.rfind(mark);
        return std::atoi(text.c_str() + text.find(':', line + mark.size()) + 1);
    };

    // Hosted: the guest joins, and the wall block the host strikes three
    // times disappears from the guest's band.
    const int port = host();
    ASSERT_GT(port, 0) << game.errorOutput();
    auto guest = std::make_unique<Guest>(port, "guest");
    ASSERT_TRUE(guest->reaches(SessionPhase::Playing)) << game.errorOutput();
    ASSERT_TRUE(waitUntil([&] { return showsGame(screen, hud); }));
    EXPECT_NE(game.errorOutput().find("Tessaria server: host joined"), std::string::npos);
    const WorldFile before = guest->band();
    // Held until the guest sees the block go: a starved game strikes slower
    // than the clock on the wall.
    int cell = -1;
    EXPECT_TRUE(holdKeyUntil(
        screen, window, "Control_R",
        [&] { return (cell = changedCell(before, guest->band())) >= 0; }, kStartSeconds))
        << game.errorOutput();
    ASSERT_GE(cell, 0);
    EXPECT_EQ(before.cells[cell], 13);
    EXPECT_EQ(guest->band().cells[cell], 0);

    // Leave: the server stops and saves, the guest is told, and the world
    // is the single player's again (its lock taken back), read as saved.
    ASSERT_TRUE(openPanel());
    saveScreenshot(screen, "host-panel");
    clickAt(screen, 460, 322);  // "Leave" where "Join" was
    EXPECT_TRUE(waitUntil([&] {
        return game.errorOutput().find("Tessaria server: stopped; world saved") !=
               std::string::npos;
    })) << game.errorOutput();
    EXPECT_TRUE(guest->reaches(SessionPhase::Ended));
    EXPECT_EQ(savedCell(cell), 0);
    EXPECT_TRUE(waitUntil([&] { return !lockFree(); })) << "not reopened here";
    ASSERT_TRUE(enterGame(screen, folder, window, kStartSeconds)) << game.errorOutput();

    // Hosted, then "single player": the list plays the world the server left.
    ASSERT_GT(host(), 0) << game.errorOutput();
    ASSERT_TRUE(enterGame(screen, folder, window, kStartSeconds)) << game.errorOutput();
    EXPECT_EQ(count(game.errorOutput(), "Tessaria server: stopped; world saved"), 2);
    EXPECT_FALSE(lockFree());

    // Hosted again, a block placed in the cell mined, and the game quits
    // while hosting: only the server's save counts, and the folder is free.
    const int again = host();
    ASSERT_GT(again, 0) << game.errorOutput();
    guest = std::make_unique<Guest>(again, "guest2");  // "guest" is owned by the first one's key
    ASSERT_TRUE(guest->reaches(SessionPhase::Playing)) << game.errorOutput();
    ASSERT_TRUE(waitUntil([&] { return showsGame(screen, hud); }));
    EXPECT_TRUE(holdKeyUntil(
        screen, window, "space", [&] { return guest->band().cells[cell] != 0; }, kStartSeconds));
    const int placed = guest->band().cells[cell];
    requestClose(screen, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    EXPECT_EQ(count(game.errorOutput(), "Tessaria server: stopped; world saved"), 3)
        << game.errorOutput();
    EXPECT_NE(placed, 0);
    EXPECT_EQ(savedCell(cell), placed);
    EXPECT_TRUE(lockFree());
}

// A server with a password: the panel's wrong one is refused with the
// server's reason and not kept; the right one joins and is kept for the
// player alone; a second game joins with the password from a file.
TEST(MultiplayerE2e, APasswordedServerRefusesAWrongPasswordInThePanelAndTakesTheRightOne) {
    if (std::string(kServerBinary).empty() || !std::filesystem::exists(kServerBinary))
        GTEST_SKIP() << "no tessaria-server in this build";
    RunFolder hostFolder;
    HostedServer server(hostFolder.path(), "open sesame");
    const int port = server.port();
    ASSERT_GT(port, 0) << server.log();
    const std::string address = "127.0.0.1:" + std::to_string(port);

    XServer screen;
    RunFolder folder;
    GameProcess game(screen, folder);
    const Window window = waitForWindow(screen, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    const Image button = readBmp(folder.path() / "data/gfx/008.bmp");
    xdotool(screen, "mousemove --sync 630 10");
    holdKey(screen, window, "Escape", 0.15);
    ASSERT_TRUE(waitUntil([&] { return showsMenu(screen, button); }, kStartSeconds));
    clickAt(screen, 230, 250);  // "Multiplayer"
    clickAt(screen, 450, 225);  // the address field
    std::string erase = "key --delay 20";
    for (int n = 0; n < 20; ++n) erase += " BackSpace";
    xdotool(screen, erase);
    xdotool(screen, "type --delay 40 " + address);
    xdotool(screen, "key Tab");
    xdotool(screen, "type --delay 40 ann");
    xdotool(screen, "key Tab");
    xdotool(screen, "type --delay 40 'open sesam'");
    xdotool(screen, "key Return");
    EXPECT_TRUE(waitUntil([&] {
        return game.errorOutput().find("Tessaria: Could not join: wrong password") !=
               std::string::npos;
    })) << game.errorOutput();
    EXPECT_TRUE(server.saw("ann gave a wrong password")) << server.log();
    saveScreenshot(screen, "join-refused");
    const std::filesystem::path secrets = folder.path() / "data/join_secrets";
    EXPECT_EQ(readText(secrets).find("sesam"), std::string::npos) << "a refused password kept";

    // The refusal leaves the typing in the password field: one letter more joins.
    xdotool(screen, "type --delay 40 e");
    xdotool(screen, "key Return");
    EXPECT_TRUE(server.saw("ann joined")) << server.log();
    EXPECT_TRUE(waitUntil(
        [&] { return readText(secrets).find(address + " open sesame") != std::string::npos; }));
    EXPECT_EQ(std::filesystem::status(secrets).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    XServer otherScreen;
    RunFolder otherFolder;
    writeText(otherFolder.path() / "password", "open sesame\n");
    GameProcess bo(otherScreen, otherFolder, {}, nullptr,
                   {"--connect", address, "--name", "bo", "--password-file",
                    (otherFolder.path() / "password").string()});
    EXPECT_TRUE(server.saw("bo joined")) << server.log() << bo.errorOutput();
    requestClose(screen, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
}

// Two game windows and the real server on 127.0.0.1: both join from the
// command line, one builds and talks and the other sees and hears it, and a
// server that dies sends each game back to the menu with the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/e2e_harness.h"

namespace {

#ifdef TESSARIA_SERVER_BINARY
const char* const kServerBinary = TESSARIA_SERVER_BINARY;
#else
const char* const kServerBinary = "";
#endif

// tessaria-server --port 0 --world DIR, its output kept in a file.
class HostedServer {
public:
    explicit HostedServer(const std::filesystem::path& folder) : log_(folder / "server.log") {
        std::filesystem::create_directories(folder / "world");
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
    bool saw(const std::string& text, double seconds = 20) {
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
    return differingPixels(grabScreen(x), 220, 210, button, 0, 0, 55, button.height / 2) == 0;
}

int changedPixels(const Image& a, const Image& b) {
    int changed = 0;
    for (int y = 0; y < a.height && y < b.height; ++y)
        for (int x = 0; x < a.width && x < b.width; ++x) changed += !(a.at(x, y) == b.at(x, y));
    return changed;
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
    ASSERT_TRUE(waitUntil([&] { return showsGame(screenA, hud); }, 20));
    ASSERT_TRUE(waitUntil([&] { return showsGame(screenB, hud); }, 20));
    EXPECT_TRUE(waitUntil(
        [&] {
            return bo.errorOutput().find("ann joined") != std::string::npos ||
                   ann.errorOutput().find("bo joined") != std::string::npos;
        },
        10));
    saveScreenshot(screenB, "multiplayer_together");

    // ann works the cell in front of her (three strikes take a block that is
    // there, then one is placed where none is); bo's picture changes with it.
    const Image before = grabScreen(screenB);
    holdKey(screenA, windowA, "Control_R", 1.6);
    holdKey(screenA, windowA, "space", 0.3);
    EXPECT_TRUE(waitUntil([&] { return changedPixels(before, grabScreen(screenB)) > 100; }, 10));

    // A chat line from ann reaches bo.
    holdKey(screenA, windowA, "t", 0.1);
    xdotool(screenA, "type --delay 30 hello");
    holdKey(screenA, windowA, "Return", 0.1);
    EXPECT_TRUE(server.saw("hello")) << server.log();
    EXPECT_TRUE(
        waitUntil([&] { return bo.errorOutput().find("ann: hello") != std::string::npos; }, 10))
        << bo.errorOutput();

    // The server dies without a word: both games go back to the menu and say why.
    server.stop(SIGKILL);
    const Image button = readBmp(folderA.path() / "data/gfx/008.bmp");
    EXPECT_TRUE(waitUntil([&] { return showsMenu(screenA, button); }, 30));
    EXPECT_TRUE(waitUntil([&] { return showsMenu(screenB, button); }, 30));
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

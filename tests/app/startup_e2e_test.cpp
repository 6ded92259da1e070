// The real game in a real window: start-up, its failures, and the ways to quit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <filesystem>
#include <fstream>

#include "app/e2e_harness.h"
#include "game/world_lock.h"

namespace fs = std::filesystem;

namespace {

class GameWindow : public ::testing::Test {
protected:
    XServer server;
    RunFolder folder;
};

TEST_F(GameWindow, OpensA640x480WindowTitledTessaria) {
    GameProcess game(server, folder);
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    EXPECT_EQ(windowTitle(server, window), "Tessaria");
    int width = 0, height = 0;
    windowSize(server, window, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
}

// A window manager still starting up, which drops the first request to show
// a window and carries out every later one, on its own connection.
class ForgetfulManager {
public:
    explicit ForgetfulManager(const XServer& server) : x_(XOpenDisplay(server.name().c_str())) {
        XSelectInput(x_, DefaultRootWindow(x_), SubstructureRedirectMask);
        XSync(x_, False);
    }
    ~ForgetfulManager() { XCloseDisplay(x_); }
    void answerRequests() {
        while (XPending(x_) > 0) {
            XEvent event;
            XNextEvent(x_, &event);
            if (event.type == MapRequest && ++showRequests_ > 1)
                XMapWindow(x_, event.xmaprequest.window);
        }
        XFlush(x_);
    }

private:
    Display* x_;
    int showRequests_ = 0;
};

TEST_F(GameWindow, AWindowManagerThatDropsTheFirstRequestToShowTheWindowStillShowsIt) {
    ForgetfulManager manager(server);
    GameProcess game(server, folder);
    Window window = 0;
    const bool shown = waitUntil(
        [&] {
            manager.answerRequests();
            window = waitForWindow(server, 0);
            XWindowAttributes attributes = {};
            return window != 0 && XGetWindowAttributes(server.display(), window, &attributes) &&
                   attributes.map_state == IsViewable;
        },
        kStartSeconds);
    ASSERT_TRUE(shown) << game.errorOutput();
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
}

// A size kept from a larger monitor would open partly off this 640 x 480 one.
TEST_F(GameWindow, AKeptSizeLargerThanTheScreenOpensWhollyOnIt) {
    writeText(folder.path() / "data/settings.ini", "window.width = 1000\nwindow.height = 800\n");
    GameProcess game(server, folder);
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    int width = 0, height = 0;
    windowSize(server, window, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
}

TEST_F(GameWindow, ClosingTheWindowSavesTheWorldAndExitsZero) {
    GameProcess game(server, folder, {}, nullptr, kPlayTestWorld);
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    sleepSeconds(0.5);
    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    EXPECT_TRUE(fs::exists(folder.worldFile()));
}

TEST_F(GameWindow, TerminateInterruptAndHangUpSaveTheWorldAndExitZero) {
    for (int quitSignal : {SIGTERM, SIGINT, SIGHUP}) {
        fs::remove(folder.worldFile());
        GameProcess game(server, folder, {}, nullptr, kPlayTestWorld);
        ASSERT_NE(waitForWindow(server, kStartSeconds), 0u) << game.errorOutput();
        sleepSeconds(0.5);
        kill(game.pid(), quitSignal);
        EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << "signal " << quitSignal << "\n"
                                                     << game.errorOutput();
        EXPECT_TRUE(fs::exists(folder.worldFile())) << "signal " << quitSignal;
        waitUntil([&] { return waitForWindow(server, 0) == 0; });
    }
}

// A save that never finishes, as on a hung disk: syncing a file goes to a
// listener that the game itself holds and nobody answers.
void hangFileSyncs() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fdatasync, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{4, filter};
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    long listener =
        syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program);
    if (listener >= 0) fcntl(static_cast<int>(listener), F_SETFD, 0);  // kept across exec
}

TEST_F(GameWindow, ASecondSignalWhileTheSaveHangsEndsTheGameAtOnce) {
    GameProcess game(server, folder, {}, hangFileSyncs, kPlayTestWorld);
    ASSERT_NE(waitForWindow(server, kStartSeconds), 0u) << game.errorOutput();
    kill(game.pid(), SIGTERM);
    sleepSeconds(1);
    ASSERT_TRUE(game.running()) << "the save should hang\n" << game.errorOutput();
    kill(game.pid(), SIGINT);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 128 + SIGINT) << game.errorOutput();
    EXPECT_FALSE(fs::exists(folder.worldFile()));
}

// Two copies on one world would overwrite each other's saves.
TEST_F(GameWindow, AWorldOpenInAnotherCopyIsLeftAloneAndTheGameExitsOne) {
    WorldLock other;
    ASSERT_EQ(other.take(folder.worldFolder().string()), WorldLock::Outcome::Taken);
    GameProcess game(server, folder, {}, nullptr, kPlayTestWorld);
    EXPECT_EQ(game.waitForExit(kStartSeconds), 1);
    EXPECT_EQ(game.errorOutput(), "Tessaria: the world is open in another copy of the game\n");
    EXPECT_FALSE(fs::exists(folder.worldFile()));
}

TEST_F(GameWindow, WithoutAnXServerStartUpStopsAtTheMouseAndSaysSo) {
    GameProcess game(server, folder, {"DISPLAY="});
    EXPECT_EQ(game.waitForExit(kStartSeconds), 255);
    EXPECT_NE(game.errorOutput().find("Tessaria: cannot install the mouse\n"), std::string::npos)
        << game.errorOutput();
    EXPECT_FALSE(fs::exists(folder.worldFile()));
}

class BrokenData : public GameWindow {
protected:
    // Start-up stops at the first picture that does not load, names it, and
    // exits -1 (255 to the shell) without opening the game.
    void expectStartupFailureNaming(const std::string& file) {
        GameProcess game(server, folder);
        EXPECT_EQ(game.waitForExit(kStartSeconds), 255);
        EXPECT_NE(game.errorOutput().find("Tessaria: cannot load " + file), std::string::npos)
            << game.errorOutput();
        EXPECT_FALSE(fs::exists(folder.worldFile()));
    }
};

TEST_F(BrokenData, AMissingPictureThatIsNeverDrawnStillStopsStartUp) {
    fs::remove(folder.path() / "data/gfx/005.bmp");
    expectStartupFailureNaming("data/gfx/005.bmp");
}

TEST_F(BrokenData, AMissingTileStopsStartUpAtThatFile) {
    fs::remove(folder.path() / "data/gfx/map/tile/015.bmp");
    // Files after it are not attempted: their absence must not be the one named.
    fs::remove(folder.path() / "data/gfx/map/rain.bmp");
    expectStartupFailureNaming("data/gfx/map/tile/015.bmp");
}

TEST_F(BrokenData, AMissingFontStopsStartUpInsteadOfCrashingLater) {
    fs::remove(folder.path() / "data/fonts/01.ttf");
    expectStartupFailureNaming("data/fonts/01.ttf");
}

TEST_F(BrokenData, AnUnreadablePictureCountsAsMissing) {
    std::ofstream(folder.path() / "data/gfx/map/tile/003.bmp", std::ios::trunc) << "not a picture";
    expectStartupFailureNaming("data/gfx/map/tile/003.bmp");
}

}  // namespace

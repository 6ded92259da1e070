// The window on a 1920 x 1080 desktop with a real window manager: the size it
// opens at, the picture in exact 2 x 2 blocks, the menu under a scaled
// pointer, F12's picture, fullscreen with black bars and back, and the size
// and fullscreen state kept in the settings file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/e2e_harness.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kClearDaySeed = "TESSARIA_SEED=11";

// Openbox on the test's X server, as a desktop runs it.
class WindowManager {
public:
    explicit WindowManager(const XServer& server) : server_(server) {
        pid_ = fork();
        if (pid_ == 0) {
            setenv("DISPLAY", server.name().c_str(), 1);
            std::freopen("/dev/null", "w", stderr);
            execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~WindowManager() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    // Once it shows a window it is asked to show. Announcing itself on the
    // root window is not enough: a request made while it is still starting
    // may be dropped, and the game would then wait for its window forever.
    bool showsWindows() const {
        Display* x = server_.display();
        const Window probe = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 8, 8, 0, 0, 0);
        XMapWindow(x, probe);
        XFlush(x);
        const bool shown = waitUntil(
            [&] {
                XWindowAttributes attributes = {};
                return XGetWindowAttributes(x, probe, &attributes) &&
                       attributes.map_state == IsViewable;
            },
            0.5);
        XDestroyWindow(x, probe);
        XSync(x, False);
        return shown;
    }

private:
    const XServer& server_;
    pid_t pid_ = -1;
};

struct Origin {
    int x = 0, y = 0;
};

// Where the window's inside starts on the screen, within the manager's frame.
Origin originOf(const XServer& server, Window window) {
    Origin origin;
    Window child = 0;
    XTranslateCoordinates(server.display(), window, DefaultRootWindow(server.display()), 0, 0,
                          &origin.x, &origin.y, &child);
    return origin;
}

// Drawn pixels of the picture region (px, py, w, h), placed at (sx, sy) in a
// picture shown `scale` times from `origin`, whose block on the screen is not
// one even patch of the pixel's colour.
int blocksOff(const Image& screen, Origin origin, int scale, const Image& picture, int px, int py,
              int w, int h, int sx, int sy) {
    int off = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = picture.at(px + x, py + y);
            if (p.r == 0 && p.g == 0 && p.b == 0) continue;
            const int left = origin.x + (sx + x) * scale, top = origin.y + (sy + y) * scale;
            bool even = true;
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx) {
                    const Pixel s = screen.at(left + dx, top + dy);
                    even = even && std::abs(s.r - p.r) <= 1 && std::abs(s.g - p.g) <= 1 &&
                           std::abs(s.b - p.b) <= 1;
                }
            off += !even;
        }
    return off;
}

int nonBlack(const Image& screen, int x, int y, int w, int h) {
    int count = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) {
            const Pixel p = screen.at(column, row);
            count += p.r != 0 || p.g != 0 || p.b != 0;
        }
    return count;
}

class WindowOnADesktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(waitUntil([&] { return manager.showsWindows(); }, kStartSeconds))
            << "no window manager (the test command installs openbox)";
        logo = readBmp(folder.path() / "data/gfx/logo.bmp");
        backdrop = readBmp(folder.path() / "data/gfx/007.bmp");
        cursor = readBmp(folder.path() / "data/gfx/004.bmp");
        button = readBmp(folder.path() / "data/gfx/008.bmp");
        ASSERT_TRUE(logo.width > 0 && backdrop.width == 640 && cursor.width > 0 &&
                    button.width > 0);
    }

    std::function<bool()> sizeIsNow(Window window, int width, int height) {
        return [this, window, width, height] {
            int w = 0, h = 0;
            windowSize(server, window, &w, &h);
            return w == width && h == height;
        };
    }
    bool sizeIs(Window window, int width, int height) {
        return waitUntil(sizeIsNow(window, width, height), kStartSeconds);
    }
    // The backdrop left of the buttons, which no frame of the menu changes.
    bool menuShown(Origin origin, int scale) {
        return blocksOff(grabScreen(server), origin, scale, backdrop, 0, 180, 210, 300, 0, 180) ==
               0;
    }
    std::string settingsText() { return readText(folder.path() / "data/settings.ini"); }

    XServer server{"1920x1080x24"};
    WindowManager manager{server};
    RunFolder folder;
    Image logo, backdrop, cursor, button;
};

TEST_F(WindowOnADesktop, OpensAtTwiceThePictureInExactBlocksWhereAScaledClickAndF12Work) {
    GameProcess game(server, folder, {kClearDaySeed});
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    // 1280 x 960 and its frame fit 1920 x 1080; three times would not.
    ASSERT_TRUE(sizeIs(window, 1280, 960)) << saveScreenshot(server, "desktop-size");
    const Origin origin = originOf(server, window);
    xdotool(server, "mousemove --sync 5 5");  // outside the window
    EXPECT_TRUE(waitUntil(
        [&] {
            return blocksOff(grabScreen(server), origin, 2, logo, 0, 0, logo.width, logo.height, 60,
                             150) == 0;
        },
        kStartSeconds))
        << saveScreenshot(server, "desktop-intro");

    holdKey(server, window, "Escape", 0.15);
    ASSERT_TRUE(waitUntil([&] { return menuShown(origin, 2); }, kStartSeconds))
        << saveScreenshot(server, "desktop-menu");
    // F12 keeps the picture at its own size; left of the blinking title
    // slogan it is what the window shows doubled.
    holdKey(server, window, "F12", 0.3);
    const fs::path shots = folder.path() / "screenshots";
    ASSERT_TRUE(
        waitUntil([&] { return fs::is_directory(shots) && !fs::is_empty(shots); }, kStartSeconds));
    const fs::path shot = fs::directory_iterator(shots)->path(), bmp = folder.path() / "shot.bmp";
    EXPECT_EQ(shot.extension(), ".png");
    // Read again until the file is written whole; a loaded machine may take a while.
    Image picture;
    waitUntil(
        [&] {
            const std::string convert = "convert " + shot.string() +
                                        " -alpha off -type TrueColor BMP3:" + bmp.string() +
                                        " 2>/dev/null";
            if (std::system(convert.c_str()) != 0) return false;
            picture = readBmp(bmp);
            return picture.width == 640 && picture.height == 480;
        },
        kStartSeconds);
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 480);
    EXPECT_EQ(blocksOff(grabScreen(server), origin, 2, picture, 0, 0, 400, 480, 0, 0), 0);

    // "single player" at (220, 210) in the picture is at twice that in the
    // window; the world list's "Play" at (120, 380).
    clickAt(server, origin.x + 2 * 300, origin.y + 2 * 220);
    ASSERT_TRUE(waitUntil(
        [&] {
            return blocksOff(grabScreen(server), origin, 2, button, 0, 0, 55, button.height / 2,
                             120, 380) == 0;
        },
        kStartSeconds))
        << "the world list did not open " << saveScreenshot(server, "desktop-list");
    clickAt(server, origin.x + 2 * 200, origin.y + 2 * 390);
    EXPECT_TRUE(waitUntil(
        [&] {
            return blocksOff(grabScreen(server), origin, 2, cursor, 0, 0, cursor.width,
                             cursor.height, 182, 416) == 0;
        },
        kStartSeconds))
        << "the game did not open " << saveScreenshot(server, "desktop-game");

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    EXPECT_NE(
        settingsText().find("\nwindow.width = 1280\nwindow.height = 960\nwindow.fullscreen = 0\n"),
        std::string::npos)
        << settingsText();
}

TEST_F(WindowOnADesktop, AltEnterLeavesTheKeptFullscreenWithItsBlackBarsAndComesBack) {
    writeText(folder.path() / "data/settings.ini",
              "window.width = 1000\nwindow.height = 800\nwindow.fullscreen = 1\n");
    GameProcess game(server, folder, {kClearDaySeed});
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    ASSERT_TRUE(sizeIs(window, 1920, 1080)) << saveScreenshot(server, "fullscreen-size");
    // 1280 x 960 in the middle: bars of 320 at the sides and 60 above and below.
    const Origin fullscreen{320, 60};
    holdKey(server, window, "Escape", 0.15);
    ASSERT_TRUE(waitUntil([&] { return menuShown(fullscreen, 2); }, kStartSeconds))
        << saveScreenshot(server, "fullscreen-menu");
    const Image screen = grabScreen(server);
    EXPECT_EQ(nonBlack(screen, 0, 0, 1920, 60) + nonBlack(screen, 0, 1020, 1920, 60), 0);
    EXPECT_EQ(nonBlack(screen, 0, 60, 320, 960) + nonBlack(screen, 1600, 60, 320, 960), 0);

    // Held until the window changes: the game reads Alt as held at its next
    // tick, however long a loaded machine takes to come to it.
    EXPECT_TRUE(
        holdKeyUntil(server, window, "alt+Return", sizeIsNow(window, 1000, 800), kStartSeconds));
    ASSERT_TRUE(sizeIs(window, 1000, 800)) << saveScreenshot(server, "windowed-size");
    // 1000 x 800 holds the picture once: 180 and 160 in, black around it.
    // The manager may still be placing the window: its place is read anew.
    EXPECT_TRUE(waitUntil([&] {
        const Origin inside = originOf(server, window);
        return menuShown({inside.x + 180, inside.y + 160}, 1) &&
               nonBlack(grabScreen(server), inside.x, inside.y, 1000, 160) == 0;
    })) << saveScreenshot(server, "windowed-menu");

    EXPECT_TRUE(
        holdKeyUntil(server, window, "alt+Return", sizeIsNow(window, 1920, 1080), kStartSeconds));
    ASSERT_TRUE(sizeIs(window, 1920, 1080)) << saveScreenshot(server, "fullscreen-again");
    EXPECT_TRUE(waitUntil([&] { return menuShown(fullscreen, 2); }))
        << saveScreenshot(server, "fullscreen-menu-again");

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    EXPECT_NE(
        settingsText().find("window.width = 1000\nwindow.height = 800\nwindow.fullscreen = 1\n"),
        std::string::npos)
        << settingsText();
}

}  // namespace

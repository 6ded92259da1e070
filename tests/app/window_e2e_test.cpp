// The window on a 1920 x 1080 desktop with a real window manager: the size it
// opens at, the picture in exact 2 x 2 blocks, the menu under a scaled
// pointer, fullscreen with black bars and back, F12's picture, and the size
// and fullscreen state kept in the settings file.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/e2e_harness.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDesktop = "1920x1080x24";
constexpr const char* kClearDaySeed = "TESSARIA_SEED=11";

// Openbox on the test's X server, as a desktop would run it.
class WindowManager {
public:
    explicit WindowManager(const XServer& server) : server_(server) {
        pid_ = fork();
        if (pid_ == 0) {
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
            setenv("DISPLAY", server.name().c_str(), 1);
            execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~WindowManager() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    // True once the manager has announced itself on the root window.
    bool running() const {
        Display* display = server_.display();
        Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                           &type, &format, &items, &after, &data);
        if (data != nullptr) XFree(data);
        return items == 1;
    }

private:
    const XServer& server_;
    pid_t pid_ = -1;
};

struct Origin {
    int x = 0, y = 0;
};

// Where the window's inside starts on the screen; the manager's frame is around it.
Origin originOf(const XServer& server, Window window) {
    Origin origin;
    Window child = 0;
    XTranslateCoordinates(server.display(), window, DefaultRootWindow(server.display()), 0, 0,
                          &origin.x, &origin.y, &child);
    return origin;
}

bool same(Pixel a, Pixel b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// Pixels of the picture region (px, py, w, h), shown at `scale` with the
// picture's corner at `origin`, whose scale x scale block on the screen is not
// one even patch of the pixel's colour. Pure black is skipped when
// `skipBlack` is set (pictures load it as transparent).
int blocksOff(const Image& screen, Origin origin, int scale, const Image& picture, int px, int py,
              int w, int h, bool skipBlack = true, int sx = 0, int sy = 0) {
    int off = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = picture.at(px + x, py + y);
            if (skipBlack && p.r == 0 && p.g == 0 && p.b == 0) continue;
            const int left = origin.x + (sx + x) * scale, top = origin.y + (sy + y) * scale;
            const Pixel first = screen.at(left, top);
            bool even = same(first, p, 1);
            for (int dy = 0; dy < scale && even; ++dy)
                for (int dx = 0; dx < scale && even; ++dx)
                    even = same(screen.at(left + dx, top + dy), first, 0);
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

// A PNG as rows of pixels, read by Allegro's image add-on.
Image readPng(const fs::path& path) {
    Image image;
    if (!al_init() || !al_init_image_addon()) return image;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* bitmap = al_load_bitmap(path.c_str());
    if (bitmap == nullptr) return image;
    image.width = al_get_bitmap_width(bitmap);
    image.height = al_get_bitmap_height(bitmap);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            unsigned char r, g, b;
            al_unmap_rgb(al_get_pixel(bitmap, x, y), &r, &g, &b);
            image.pixels.push_back(Pixel{r, g, b});
        }
    al_destroy_bitmap(bitmap);
    return image;
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    return files;
}

class WindowOnADesktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(waitUntil([&] { return manager.running(); }, kStartSeconds))
            << "no window manager (the test command installs openbox)";
        logo = readBmp(folder.path() / "data/gfx/logo.bmp");
        backdrop = readBmp(folder.path() / "data/gfx/007.bmp");
        cursor = readBmp(folder.path() / "data/gfx/004.bmp");
        ASSERT_GT(logo.width, 0);
        ASSERT_EQ(backdrop.width, 640);
        ASSERT_GT(cursor.width, 0);
    }

    Window start(GameProcess& game) {
        Window window = waitForWindow(server, kStartSeconds);
        EXPECT_NE(window, 0u) << game.errorOutput();
        return window;
    }
    bool sizeIs(Window window, int width, int height) {
        return waitUntil(
            [&] {
                int w = 0, h = 0;
                windowSize(server, window, &w, &h);
                return w == width && h == height;
            },
            kStartSeconds);
    }
    // The backdrop left of the buttons, which no frame of the menu changes.
    bool menuShown(Origin origin, int scale) {
        return blocksOff(grabScreen(server), origin, scale, backdrop, 0, 180, 210, 300, false, 0,
                         180) == 0;
    }
    std::string settingsText() { return fileText(folder.path() / "data/settings.ini"); }

    XServer server{kDesktop};
    WindowManager manager{server};
    RunFolder folder;
    Image logo, backdrop, cursor;
};

TEST_F(WindowOnADesktop, OpensAtTwiceThePictureInExactBlocksWhereAScaledClickAndF12Work) {
    GameProcess game(server, folder, {kClearDaySeed});
    Window window = start(game);
    ASSERT_NE(window, 0u);
    // 1280 x 960 and its frame fit 1920 x 1080; three times would not.
    ASSERT_TRUE(sizeIs(window, 1280, 960)) << saveScreenshot(server, "desktop-size");
    const Origin origin = originOf(server, window);
    xdotool(server, "mousemove --sync 5 5");  // outside the window

    auto logoShown = [&] {
        return blocksOff(grabScreen(server), origin, 2, logo, 0, 0, logo.width, logo.height, true,
                         60, 150) == 0;
    };
    EXPECT_TRUE(waitUntil(logoShown, kStartSeconds)) << saveScreenshot(server, "desktop-intro");

    holdKey(server, window, "Escape", 0.15);
    ASSERT_TRUE(waitUntil([&] { return menuShown(origin, 2); }, kStartSeconds))
        << saveScreenshot(server, "desktop-menu");
    // F12 keeps the picture at its own size, as the window shows it doubled.
    holdKey(server, window, "F12", 0.15);
    ASSERT_TRUE(waitUntil([&] { return filesIn(folder.path() / "screenshots").size() == 1; }, 5));
    sleepSeconds(0.2);  // written whole
    const Image shot = readPng(filesIn(folder.path() / "screenshots")[0]);
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    // Left of the blinking title slogan nothing changes from frame to frame.
    EXPECT_EQ(blocksOff(grabScreen(server), origin, 2, shot, 0, 0, 400, 480, false), 0);

    // "single player" at (220, 210) in the picture is at twice that in the window.
    clickAt(server, origin.x + 2 * 300, origin.y + 2 * 220);
    EXPECT_TRUE(waitUntil(
        [&] {
            return blocksOff(grabScreen(server), origin, 2, cursor, 0, 0, cursor.width,
                             cursor.height, true, 182, 416) == 0;
        },
        kStartSeconds))
        << "the game did not open " << saveScreenshot(server, "desktop-game");

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    const std::string settings = settingsText();
    EXPECT_NE(settings.find("\nwindow.width = 1280\nwindow.height = 960\nwindow.fullscreen = 0\n"),
              std::string::npos)
        << settings;
}

TEST_F(WindowOnADesktop, AltEnterLeavesTheKeptFullscreenWithItsBlackBarsAndComesBack) {
    writeText(folder.path() / "data/settings.ini",
              "window.width = 1000\nwindow.height = 800\nwindow.fullscreen = 1\n");
    GameProcess game(server, folder, {kClearDaySeed});
    Window window = start(game);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(sizeIs(window, 1920, 1080)) << saveScreenshot(server, "fullscreen-size");
    // 1280 x 960 in the middle: bars of 320 at the sides and 60 above and below.
    const Origin fullscreen{320, 60};
    holdKey(server, window, "Escape", 0.15);
    ASSERT_TRUE(waitUntil([&] { return menuShown(fullscreen, 2); }, kStartSeconds))
        << saveScreenshot(server, "fullscreen-menu");
    const Image screen = grabScreen(server);
    EXPECT_EQ(nonBlack(screen, 0, 0, 1920, 60), 0);
    EXPECT_EQ(nonBlack(screen, 0, 1020, 1920, 60), 0);
    EXPECT_EQ(nonBlack(screen, 0, 60, 320, 960), 0);
    EXPECT_EQ(nonBlack(screen, 1600, 60, 320, 960), 0);

    holdKey(server, window, "alt+Return", 0.15);
    ASSERT_TRUE(sizeIs(window, 1000, 800)) << saveScreenshot(server, "windowed-size");
    // 1000 x 800 holds the picture once: it sits 180 and 160 in, black around it.
    const Origin inside = originOf(server, window);
    const Origin windowed{inside.x + 180, inside.y + 160};
    EXPECT_TRUE(waitUntil([&] { return menuShown(windowed, 1); }, 5))
        << saveScreenshot(server, "windowed-menu");
    EXPECT_EQ(nonBlack(grabScreen(server), inside.x, inside.y, 1000, 160), 0);

    holdKey(server, window, "alt+Return", 0.15);
    ASSERT_TRUE(sizeIs(window, 1920, 1080)) << saveScreenshot(server, "fullscreen-again");
    EXPECT_TRUE(waitUntil([&] { return menuShown(fullscreen, 2); }, 5));

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
    const std::string settings = settingsText();
    EXPECT_NE(settings.find("\nwindow.width = 1000\nwindow.height = 800\nwindow.fullscreen = 1\n"),
              std::string::npos)
        << settings;
}

}  // namespace

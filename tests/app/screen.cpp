// Screen pixels from XGetImage (exact, as `import` is) and the comparisons
// the end-to-end tests make with them.
#include "app/screen.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include "support/waiting.h"

namespace {

Pixel pixelOf(XImage* image, int x, int y) {
    unsigned long value = XGetPixel(image, x, y);
    return Pixel{static_cast<int>((value & image->red_mask) >> 16),
                 static_cast<int>((value & image->green_mask) >> 8),
                 static_cast<int>(value & image->blue_mask)};
}

}  // namespace

Pixel pixelAt(const XServer& server, int x, int y) {
    Display* display = server.display();
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return Pixel{};
    Pixel pixel = pixelOf(image, 0, 0);
    XDestroyImage(image);
    return pixel;
}

Image grabScreen(const XServer& server) {
    Display* display = server.display();
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display, root, &attributes);
    Image screen;
    XImage* image =
        XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return screen;
    screen.width = attributes.width;
    screen.height = attributes.height;
    screen.pixels.reserve(static_cast<size_t>(screen.width) * screen.height);
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x) screen.pixels.push_back(pixelOf(image, x, y));
    XDestroyImage(image);
    return screen;
}

std::string saveScreenshot(const XServer& server, const std::string& name) {
    std::filesystem::path folder = std::filesystem::current_path() / "screenshots";
    std::filesystem::create_directories(folder);
    std::string path = (folder / (name + ".png")).string();
    std::string command =
        "DISPLAY=" + server.name() + " import -window root " + path + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return "";
    return path;
}

int differingPixels(const Image& screen, int sx, int sy, const Image& picture, int px, int py,
                    int w, int h, int tolerance) {
    int differing = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Pixel p = picture.at(px + x, py + y);
            if (p.clear()) continue;
            const int screenX = sx + x, screenY = sy + y;
            if (screenX < 0 || screenY < 0 || screenX >= screen.width || screenY >= screen.height) {
                ++differing;
                continue;
            }
            const Pixel s = screen.at(screenX, screenY);
            if (std::abs(s.r - p.r) > tolerance || std::abs(s.g - p.g) > tolerance ||
                std::abs(s.b - p.b) > tolerance)
                ++differing;
        }
    }
    return differing;
}

namespace {

bool near(const Pixel& a, const Pixel& b) {
    constexpr int kTolerance = 8;
    return std::abs(a.r - b.r) <= kTolerance && std::abs(a.g - b.g) <= kTolerance &&
           std::abs(a.b - b.b) <= kTolerance;
}

// Pixels of `now` (every second one) that differ from `before` moved by (dx, dy).
int differingMoved(const Image& before, const Image& now, int dx, int dy) {
    constexpr int kTop = 40, kBottom = 390;  // the hotbar lies below
    int differing = 0;
    for (int y = kTop; y < kBottom; y += 2) {
        for (int x = 40; x < now.width - 40; x += 2) {
            if (x > 220 && x < 420 && y > 100 && y < 330) continue;  // the figure
            const int bx = x - dx, by = y - dy;
            if (bx < 0 || by < 0 || bx >= before.width || by >= before.height) continue;
            if (!near(before.at(bx, by), now.at(x, y))) ++differing;
        }
    }
    return differing;
}

}  // namespace

bool worldShifted(const Image& before, const Image& now, int stepX, int stepY) {
    if (before.width != now.width || before.height != now.height || now.width < 640) return false;
    const int still = differingMoved(before, now, 0, 0);
    for (int quarter = 1; quarter <= 16; ++quarter) {
        const int moved = differingMoved(before, now, stepX * quarter / 4, stepY * quarter / 4);
        if (still > 400 && 3 * moved < still) return true;
    }
    return false;
}

Image settledScreen(const XServer& server, double seconds) {
    Image last = grabScreen(server);
    for (double waited = 0; waited < seconds; waited += 0.1) {
        sleepSeconds(0.1);
        Image now = grabScreen(server);
        const bool same = differingMoved(last, now, 0, 0) < 400;
        last = std::move(now);
        if (same) break;
    }
    return last;
}

int whitishPixels(const Image& screen, int x, int y, int w, int h) {
    int count = 0;
    for (int row = y; row < y + h; ++row) {
        for (int column = x; column < x + w; ++column) {
            const Pixel p = screen.at(column, row);
            if (p.r >= 200 && p.g >= 200 && p.b >= 200) ++count;
        }
    }
    return count;
}

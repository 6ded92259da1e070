// The window's size, fullscreen and the window keys. Fullscreen is a window
// as large as the desktop, which the window manager arranges.
#include "app/window.h"

#include <algorithm>
#include <cstdio>

#include "app/desktop.h"
#include "app/presentation.h"
#include "app/startup.h"
#include "game/settings.h"
#include "render/assets.h"

namespace {

struct WindowKeys {
    bool screenshotRequested = false;
};
WindowKeys windowKeys;

// The size the window has when it is not fullscreen, kept for the settings.
int windowedWidth = kScreenWidth, windowedHeight = kScreenHeight;
// Measured once: asking the X server again each time the options are drawn
// would cost a round trip a frame.
int fittingScale = 1;

bool fullscreen() {
    return app.display != nullptr &&
           (al_get_display_flags(app.display) & ALLEGRO_FULLSCREEN_WINDOW) != 0;
}

void toggleFullscreen() {
    const bool on = !fullscreen();
    if (on) {
        windowedWidth = al_get_display_width(app.display);
        windowedHeight = al_get_display_height(app.display);
    }
    al_set_display_flag(app.display, ALLEGRO_FULLSCREEN_WINDOW, on);
}

}  // namespace

ALLEGRO_DISPLAY* openWindow() {
    const DesktopRoom room = measureDesktop();
    const int roomWidth = room.width - room.frameWidth, roomHeight = room.height - room.frameHeight;
    const int scale = largestScale(roomWidth, roomHeight);
    fittingScale = std::max(1, scale);
    const int measuredWidth = kScreenWidth * scale, measuredHeight = kScreenHeight * scale;
    int width = settings.windowWidth, height = settings.windowHeight;
    if (width == 0 || height == 0) {
        width = measuredWidth;
        height = measuredHeight;
    } else if (room.width > 0 && room.height > 0) {
        // A size kept on a larger desktop would open partly off this one.
        width = std::max(kMinWindowWidth, std::min(width, roomWidth));
        height = std::max(kMinWindowHeight, std::min(height, roomHeight));
    }
    al_set_new_display_flags(ALLEGRO_WINDOWED | ALLEGRO_RESIZABLE);
    ALLEGRO_DISPLAY* display = nullptr;
    {
        const ShowRequestRepeater repeater;
        display = al_create_display(width, height);
        if (display == nullptr && (width != measuredWidth || height != measuredHeight)) {
            std::fprintf(stderr,
                         "Tessaria: the window cannot open at the kept size %d x %d; it opens at "
                         "%d x %d\n",
                         width, height, measuredWidth, measuredHeight);
            width = measuredWidth;
            height = measuredHeight;
            display = al_create_display(width, height);
        }
    }
    if (display == nullptr) return nullptr;
    al_set_window_title(display, "Tessaria");
    al_set_window_constraints(display, kMinWindowWidth, kMinWindowHeight, 0, 0);
    al_apply_window_constraints(display, true);
    windowedWidth = width;
    windowedHeight = height;
    if (settings.fullscreen) al_set_display_flag(display, ALLEGRO_FULLSCREEN_WINDOW, true);
    return display;
}

void pollWindowKeys(KeyDownFn pressed, KeyDownFn held) {
    if (app.display == nullptr) return;
    const bool alt = held(ALLEGRO_KEY_ALT) || held(ALLEGRO_KEY_ALTGR);
    // On the press only: a held key acts once.
    if (alt && (pressed(ALLEGRO_KEY_ENTER) || pressed(ALLEGRO_KEY_PAD_ENTER))) toggleFullscreen();
    if (pressed(ALLEGRO_KEY_F12)) windowKeys.screenshotRequested = true;
}

bool takeScreenshotRequest() {
    const bool requested = windowKeys.screenshotRequested;
    windowKeys.screenshotRequested = false;
    return requested;
}

void windowResized() {
    if (app.display == nullptr) return;
    al_acknowledge_resize(app.display);
    if (!fullscreen()) {
        windowedWidth = al_get_display_width(app.display);
        windowedHeight = al_get_display_height(app.display);
    }
    remapPointer();
}

bool keepWindowSettings() {
    if (app.display == nullptr) return false;
    settings.windowWidth = windowedWidth;
    settings.windowHeight = windowedHeight;
    settings.fullscreen = fullscreen();
    return saveSettings();
}

int fittingWindowScale() { return app.display != nullptr ? fittingScale : 1; }

int windowScale() {
    const int scale = windowedWidth / kScreenWidth;
    return windowedWidth == kScreenWidth * scale && windowedHeight == kScreenHeight * scale ? scale
                                                                                            : 0;
}

bool setWindowScale(int scale) {
    if (app.display == nullptr) return false;
    scale = std::max(1, std::min(scale, fittingWindowScale()));
    if (fullscreen()) al_set_display_flag(app.display, ALLEGRO_FULLSCREEN_WINDOW, false);
    if (al_resize_display(app.display, kScreenWidth * scale, kScreenHeight * scale)) {
        windowedWidth = kScreenWidth * scale;
        windowedHeight = kScreenHeight * scale;
    }
    windowResized();
    return keepWindowSettings();
}

bool windowFullscreen() { return fullscreen(); }

bool setWindowFullscreen(bool on) {
    if (app.display == nullptr) return false;
    if (on != fullscreen()) toggleFullscreen();
    return keepWindowSettings();
}

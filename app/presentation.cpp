// The frame buffer scaled into the window, and the pointer mapped back.
#include "app/presentation.h"

#include <algorithm>

#include "app/pointer.h"
#include "app/startup.h"
#include "render/assets.h"

namespace {

// Where the pointer was last seen, in window coordinates.
int windowPointerX = 0, windowPointerY = 0;

}  // namespace

int largestScale(int width, int height) {
    return std::max(1, std::min(width / kScreenWidth, height / kScreenHeight));
}

Placement placePicture(int windowWidth, int windowHeight) {
    Placement placement;
    placement.scale = largestScale(windowWidth, windowHeight);
    placement.x = (windowWidth - kScreenWidth * placement.scale) / 2;
    placement.y = (windowHeight - kScreenHeight * placement.scale) / 2;
    return placement;
}

bool windowToPicture(const Placement& placement, int windowX, int windowY, int* x, int* y) {
    const int dx = windowX - placement.x, dy = windowY - placement.y;
    if (dx < 0 || dy < 0) return false;
    *x = dx / placement.scale;
    *y = dy / placement.scale;
    return *x < kScreenWidth && *y < kScreenHeight;
}

Placement currentPlacement() {
    if (app.display == nullptr) return Placement{};
    return placePicture(al_get_display_width(app.display), al_get_display_height(app.display));
}

void presentPicture(ALLEGRO_BITMAP* picture) {
    ALLEGRO_DISPLAY* display = app.display;
    al_set_target_backbuffer(display);
    const Placement placement = currentPlacement();
    const int width = kScreenWidth * placement.scale, height = kScreenHeight * placement.scale;
    const bool bars =
        width != al_get_display_width(display) || height != al_get_display_height(display);
    if (bars) al_clear_to_color(al_map_rgb(0, 0, 0));
    // One textured draw for the whole picture; no blending, since the picture
    // replaces what the back buffer held.
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_BLENDER);
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
    al_draw_scaled_bitmap(picture, 0, 0, kScreenWidth, kScreenHeight, placement.x, placement.y,
                          width, height, 0);
    al_restore_state(&state);
}

void pointerAt(int windowX, int windowY) {
    windowPointerX = windowX;
    windowPointerY = windowY;
    int x = 0, y = 0;
    if (windowToPicture(currentPlacement(), windowX, windowY, &x, &y)) {
        pointer.x = x;
        pointer.y = y;
    } else {
        // Left of and above every button: the menu's strict test finds none.
        pointer.x = -1;
        pointer.y = -1;
    }
}

void remapPointer() { pointerAt(windowPointerX, windowPointerY); }

// The menus' widgets.
#include "app/widgets.h"

#include <allegro5/allegro.h>

#include "app/pointer.h"
#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/text.h"

namespace {

constexpr int kLabelOffsetX = 60;
constexpr int kLabelOffsetY = 3;
constexpr int kTallBoxBottom = 446;  // above the backdrop's bottom bar

// The backdrop's panel is the scene mixed 60 % toward a deep violet; the
// part added below it is mixed the same way, so the two read as one box.
// The mix is a clear to the violet's share and the scene added over it at
// 40 %.
void darkenBackdrop(int x, int y, int w, int h) {
    ALLEGRO_BITMAP* backdrop = assets.menuBackground;
    if (backdrop == nullptr || w <= 0 || h <= 0) return;
    int cx, cy, cw, ch;
    al_get_clipping_rectangle(&cx, &cy, &cw, &ch);
    al_set_clipping_rectangle(x, y, w, h);
    al_clear_to_color(al_map_rgb(12, 10, 20));
    al_set_clipping_rectangle(cx, cy, cw, ch);
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_BLENDER);
    al_set_blend_color(al_map_rgba_f(0.4f, 0.4f, 0.4f, 1));
    al_set_blender(ALLEGRO_ADD, ALLEGRO_CONST_COLOR, ALLEGRO_ONE);
    al_draw_bitmap_region(backdrop, x, y, w, h, x, y, 0);
    al_restore_state(&state);
}

// True when no pixel of the picture lets anything through. Asked of the one
// menu backdrop, so the answer is kept for the last picture asked about.
bool isOpaque(ALLEGRO_BITMAP* picture) {
    static ALLEGRO_BITMAP* known = nullptr;
    static bool knownOpaque = false;
    if (picture == known) return knownOpaque;
    known = picture;
    knownOpaque = false;
    ALLEGRO_LOCKED_REGION* region =
        al_lock_bitmap(picture, ALLEGRO_PIXEL_FORMAT_ABGR_8888, ALLEGRO_LOCK_READONLY);
    if (region == nullptr) return false;
    knownOpaque = true;
    const int w = al_get_bitmap_width(picture), h = al_get_bitmap_height(picture);
    for (int y = 0; y < h && knownOpaque; ++y) {
        const unsigned char* row =
            static_cast<const unsigned char*>(region->data) + y * region->pitch;
        for (int x = 0; x < w && knownOpaque; ++x) knownOpaque = row[4 * x + 3] == 255;
    }
    al_unlock_bitmap(picture);
    return knownOpaque;
}

// An opaque backdrop as large as the screen hides the black clear entirely, so
// copying it gives the same pixels as drawing it, for a fraction of the cost
// on a machine that draws in software.
void drawBackdrop(ALLEGRO_BITMAP* backdrop) {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    const bool coversScreen = backdrop != nullptr && target != nullptr &&
                              al_get_bitmap_width(backdrop) == al_get_bitmap_width(target) &&
                              al_get_bitmap_height(backdrop) == al_get_bitmap_height(target);
    if (coversScreen && isOpaque(backdrop)) {
        copyWholeBitmap(backdrop, target);
    } else {
        drawBitmap(backdrop, 0, 0);
    }
}

}  // namespace

void drawMenuPanel(int x, int y, int w, int h) {
    darkenBackdrop(x + 1, y, w - 2, 1);
    darkenBackdrop(x, y + 1, w, h - 2);
    darkenBackdrop(x + 1, y + h - 1, w - 2, 1);
}

void extendMenuPanel(int x, int width) {
    const int right = x + width - 1;
    // The backdrop leaves its panel's corners bare; the two at the join are
    // inside the taller box now.
    darkenBackdrop(x, kPanelBoxBottom - 1, 1, 1);
    darkenBackdrop(right, kPanelBoxBottom - 1, 1, 1);
    darkenBackdrop(x, kPanelBoxBottom, width, kTallBoxBottom - kPanelBoxBottom - 1);
    darkenBackdrop(x + 1, kTallBoxBottom - 1, width - 2, 1);
}

void extendMenuBar(int right) {
    const int end = kBarX + kBarW - 1;
    if (right <= kBarX + kBarW) return;
    // Its right corners stay bare, as the backdrop's own are.
    darkenBackdrop(end, kBarY + 1, right - end, kBarH - 2);
    darkenBackdrop(end, kBarY, right - end - 1, 1);
    darkenBackdrop(end, kBarY + kBarH - 1, right - end - 1, 1);
}

// Strict on all four sides: the first row and column do not count.
bool pointerOverButton(int x, int y) {
    ALLEGRO_BITMAP* picture = assets.menuButton;
    const int w = picture != nullptr ? al_get_bitmap_width(picture) : 0;
    const int h = picture != nullptr ? al_get_bitmap_height(picture) / 2 : 0;
    return x < pointer.x && pointer.x < x + w && y < pointer.y && pointer.y < y + h;
}

void drawMenuBackdrop() {
    drawBackdrop(assets.menuBackground);
    drawMenuPanel(kPanelBoxX, kPanelBoxY, kPanelBoxW, kPanelBoxH);
    drawMenuPanel(kBarX, kBarY, kBarW, kBarH);
}

void drawTitleBackdrop() { drawBackdrop(assets.menuBackground); }

void drawMenuButton(int x, int y, const char* label) {
    drawMenuButton(x, y, label, pointerOverButton(x, y));
}

void drawMenuButton(int x, int y, const char* label, bool lit) {
    ALLEGRO_BITMAP* picture = assets.menuButton;
    const int w = picture != nullptr ? al_get_bitmap_width(picture) : 0;
    const int h = picture != nullptr ? al_get_bitmap_height(picture) / 2 : 0;
    drawBitmapRegion(picture, 0, lit ? h : 0, w, h, x, y);
    drawText(label, x + kLabelOffsetX, y + kLabelOffsetY);
}

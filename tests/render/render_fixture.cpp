// The headless drawing fixture and its test pictures.
#include "render/render_fixture.h"

#include "app/main_loop.h"
#include "app/sound.h"
#include "game/settings.h"

#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include <algorithm>
#include <cmath>

#include "app/game_screen.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "render/tint.h"
#include "render/world_renderer.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

std::ostream& operator<<(std::ostream& out, const SheetCell& c) {
    return out << "sheet " << c.sheet << " column " << c.column << " row " << c.row
               << (c.marked ? " (marked edge)" : "");
}

Rgb pixelOf(ALLEGRO_BITMAP* bitmap, int x, int y) {
    unsigned char r = 0, g = 0, b = 0;
    al_unmap_rgb(al_get_pixel(bitmap, x, y), &r, &g, &b);
    return Rgb{r, g, b};
}

::testing::AssertionResult near(const Rgb& actual, const Rgb& expected) {
    if (std::abs(actual.r - expected.r) <= 1 && std::abs(actual.g - expected.g) <= 1 &&
        std::abs(actual.b - expected.b) <= 1) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << actual << " is not within 1 of " << expected;
}

int differingPixels(ALLEGRO_BITMAP* a, ALLEGRO_BITMAP* b) {
    int count = 0;
    for (int y = 0; y < al_get_bitmap_height(a); ++y) {
        for (int x = 0; x < al_get_bitmap_width(a); ++x) {
            if (!(pixelOf(a, x, y) == pixelOf(b, x, y))) ++count;
        }
    }
    return count;
}

int countPixels(ALLEGRO_BITMAP* bitmap, int x, int y, int w, int h, Rgb colour) {
    int count = 0;
    for (int py = y; py < y + h; ++py) {
        for (int px = x; px < x + w; ++px) {
            if (pixelOf(bitmap, px, py) == colour) ++count;
        }
    }
    return count;
}

void fillRect(ALLEGRO_BITMAP* bitmap, int x, int y, int w, int h, Rgb colour) {
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
    al_set_target_bitmap(bitmap);
    ALLEGRO_COLOR c = al_map_rgb(colour.r, colour.g, colour.b);
    for (int py = y; py < y + h; ++py) {
        for (int px = x; px < x + w; ++px) al_put_pixel(px, py, c);
    }
    al_restore_state(&state);
}

GameFrame settledFrame() {
    GameFrame frame;
    frame.scrollBefore = camera.levelScroll;
    return frame;
}

ALLEGRO_BITMAP* solidBitmap(int w, int h, Rgb colour) {
    ALLEGRO_BITMAP* bitmap = al_create_bitmap(w, h);
    fillRect(bitmap, 0, 0, w, h, colour);
    return bitmap;
}

Rgb tileColour(int id) {
    if (id == 1) return Rgb{200, 100, 50};
    if (id == 2) return Rgb{60, 180, 120};
    return Rgb{11 * id, 255 - 9 * id, 100 + id};
}

Rgb tileIconColour(int id) { return Rgb{11 * id + 5, 20, 230 - 3 * id}; }

Rgb stripColour(int id, int frame) {
    if (id == Water) return Rgb{0, 0, 200 - 40 * frame};
    return Rgb{250 - 10 * frame, 120 - 10 * frame, 10};
}

Rgb crackColour(int strike) { return Rgb{250, 10 + 80 * strike, 250}; }

Rgb weatherColour(int kind, int frame) {
    return kind == 1 ? Rgb{10, 200, 100 + 40 * frame} : Rgb{220, 220 - 20 * frame, 250};
}

Rgb sheetColour(int sheet, int column, int row, bool marked) {
    return Rgb{8 + 15 * column, 10 + 30 * row, marked ? 255 : 40 * sheet};
}

SheetCell sheetCellOf(Rgb colour) {
    bool marked = colour.b == 255;
    return SheetCell{marked ? 0 : colour.b / 40, (colour.r - 8) / 15, (colour.g - 10) / 30, marked};
}

namespace {

constexpr int kSheetColumns[5] = {0, 4, 16, 4, 8};

ALLEGRO_BITMAP* masked(ALLEGRO_BITMAP* bitmap) {
    al_convert_mask_to_alpha(bitmap, al_map_rgb(0, 0, 0));
    return bitmap;
}

ALLEGRO_BITMAP* tilePicture(int id) {
    if (id == Water || id == Lava) {
        ALLEGRO_BITMAP* strip = al_create_bitmap(256, 64);
        for (int frame = 0; frame < 4; ++frame)
            fillRect(strip, 64 * frame, 0, 64, 64, stripColour(id, frame));
        return strip;
    }
    ALLEGRO_BITMAP* tile = solidBitmap(64, 64, tileColour(id));
    fillRect(tile, 30, 30, 26, 26, tileIconColour(id));
    return tile;
}

ALLEGRO_BITMAP* sheetPicture(int sheet) {
    ALLEGRO_BITMAP* bitmap = al_create_bitmap(kFrameW * kSheetColumns[sheet], kFrameH * 7);
    for (int column = 0; column < kSheetColumns[sheet]; ++column) {
        for (int row = 0; row < 7; ++row) {
            int x = kFrameW * column, y = kFrameH * row;
            fillRect(bitmap, x, y, kFrameW, kFrameH, sheetColour(sheet, column, row, false));
            fillRect(bitmap, x, y, 1, kFrameH, sheetColour(sheet, column, row, true));
        }
    }
    return bitmap;
}

// A strip of four frames, transparent but for a mark at each frame's corner.
ALLEGRO_BITMAP* markedStrip(int frameW, int frameH, int mark, Rgb (*colour)(int)) {
    ALLEGRO_BITMAP* strip = solidBitmap(4 * frameW, frameH, kBlack);
    for (int frame = 0; frame < 4; ++frame)
        fillRect(strip, frameW * frame, 0, mark, mark, colour(frame));
    return masked(strip);
}

Rgb rainColour(int frame) { return weatherColour(1, frame); }
Rgb snowColour(int frame) { return weatherColour(2, frame); }

ALLEGRO_BITMAP* cursorPicture() {
    ALLEGRO_BITMAP* cursor = solidBitmap(30, 32, kWhite);
    fillRect(cursor, 1, 1, 28, 30, kBlack);
    return masked(cursor);
}

ALLEGRO_BITMAP* hudPicture() {
    ALLEGRO_BITMAP* hud = solidBitmap(640, 480, kBlack);
    fillRect(hud, 630, 0, 10, 10, Rgb{9, 9, 9});
    return masked(hud);
}

ALLEGRO_BITMAP* buttonPicture() {
    ALLEGRO_BITMAP* button = solidBitmap(160, 40, Rgb{0, 100, 0});
    fillRect(button, 0, 20, 160, 20, Rgb{0, 200, 0});
    return button;
}

void loadTestPictures() {
    for (int id = 1; id < kBlockTypes; ++id) assets.tileBitmap[id] = tilePicture(id);
    for (int sheet = 1; sheet <= 4; ++sheet) assets.playerBitmap[sheet] = sheetPicture(sheet);
    assets.crackBitmap = markedStrip(64, 64, 8, crackColour);
    assets.weatherBitmap[1] = markedStrip(80, 100, 4, rainColour);
    assets.weatherBitmap[2] = markedStrip(80, 100, 4, snowColour);
    assets.nightSky = solidBitmap(640, 480, Rgb{0, 0, 100});
    assets.hudFrame = hudPicture();
    assets.hotbarStrip = solidBitmap(276, 34, Rgb{120, 60, 200});
    assets.hotbarCursor = cursorPicture();
    assets.menuBackground = solidBitmap(640, 480, Rgb{30, 30, 60});
    assets.menuButton = buttonPicture();
    assets.logo = solidBitmap(100, 50, Rgb{200, 0, 0});
    assets.smallFont = al_create_builtin_font();
    assets.largeFont = al_create_builtin_font();
}

void destroy(ALLEGRO_BITMAP* bitmap) {
    if (bitmap != nullptr) al_destroy_bitmap(bitmap);
}

void releaseTestPictures() {
    for (ALLEGRO_BITMAP* tile : assets.tileBitmap) destroy(tile);
    for (ALLEGRO_BITMAP* sheet : assets.playerBitmap) destroy(sheet);
    for (ALLEGRO_BITMAP* strip : assets.weatherBitmap) destroy(strip);
    for (ALLEGRO_BITMAP* picture : {assets.crackBitmap, assets.nightSky, assets.hudFrame,
                                    assets.hotbarStrip, assets.hotbarCursor, assets.menuBackground,
                                    assets.menuButton, assets.logo, assets.frameBuffer}) {
        destroy(picture);
    }
    if (assets.smallFont != nullptr) al_destroy_font(assets.smallFont);
    if (assets.largeFont != nullptr) al_destroy_font(assets.largeFont);
    assets = AssetSet{};
}

}  // namespace

void RenderTest::SetUpTestSuite() {
    ASSERT_TRUE(al_init());
    ASSERT_TRUE(al_init_image_addon());
    ASSERT_TRUE(al_init_font_addon());
    ASSERT_TRUE(al_init_ttf_addon());
}

void RenderTest::SetUp() {
    // These tests pin down the classic picture; the added marks have their own.
    settings.classic = true;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    loadTestPictures();
    assets.frameBuffer = al_create_bitmap(640, 480);
    frame = assets.frameBuffer;
    al_set_target_bitmap(frame);
    resetTint();
    clearFrame(kBlack);

    clearWorld();
    world.maxX = world.maxY = 20;
    player = PlayerState{};
    player.spriteSheet = SpriteSheet::Standing;
    player.facing = Facing::Down;
    camera = Camera{};
    weather = WeatherState{};
    worldClock = WorldClock{};
    gameScreen = GameScreen{};
    setSoundRequest(nullptr);
}

void RenderTest::TearDown() {
    al_set_target_bitmap(nullptr);
    releaseTestPictures();
    frame = nullptr;
}

void RenderTest::clearFrame(Rgb colour) {
    al_clear_to_color(al_map_rgb(colour.r, colour.g, colour.b));
}

void RenderTest::standPlayer(int x, int y, int level) {
    player.x = x;
    player.y = y;
    player.level = level;
    camera.offsetX = 32 * (y - x);
    camera.offsetY = -16 * (x + y);
    camera.levelScroll = 32 * level;
}

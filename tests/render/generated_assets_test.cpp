// The game's own generated pictures, loaded as start-up loads them (masked,
// premultiplied), drawn by the renderer without a change to a single pixel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include <algorithm>
#include <string>

#include "app/main_loop.h"
#include "app/sound.h"
#include "app/startup.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "render/render_fixture.h"
#include "render/world_renderer.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba rgbaOf(ALLEGRO_BITMAP* bitmap, int x, int y) {
    unsigned char r = 0, g = 0, b = 0, a = 0;
    al_unmap_rgba(al_get_pixel(bitmap, x, y), &r, &g, &b, &a);
    return Rgba{r, g, b, a};
}

class GeneratedAssetsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char* previous = getcwd(nullptr, 0);
        previousFolder = previous;
        free(previous);
        ASSERT_EQ(chdir(TESSARIA_RUN_DIR), 0);
        ASSERT_TRUE(al_init());
        al_init_image_addon();
        al_init_font_addon();
        al_init_ttf_addon();
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        ASSERT_TRUE(loadFonts());
        ASSERT_TRUE(loadAssets());
    }
    static void TearDownTestSuite() {
        shutdown();
        ASSERT_EQ(chdir(previousFolder.c_str()), 0);
    }
    void SetUp() override {
        clearWorld();
        world.maxX = world.maxY = 20;
        player = PlayerState{};
        player.x = player.y = 5;
        player.level = 10;
        camera = Camera{0, -160, 0, 0};
        camera.levelScroll = 320;
        worldClock = WorldClock{};
        weather = WeatherState{};
        setSoundRequest(nullptr);
        al_set_target_bitmap(assets.frameBuffer);
        al_clear_to_color(al_map_rgb(0, 0, 0));
    }

    // Pixels of a picture's region that differ from the frame at (x, y):
    // opaque ones must be copied exactly, transparent ones leave black.
    static int mismatches(ALLEGRO_BITMAP* picture, int sx, int sy, int w, int h, int x, int y) {
        int count = 0;
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                Rgba source = rgbaOf(picture, sx + i, sy + j);
                Rgb drawn = pixelOf(assets.frameBuffer, x + i, y + j);
                if (source.a == 255 && !(drawn == Rgb{source.r, source.g, source.b})) ++count;
                if (source.a == 0 && !(drawn == kBlack)) ++count;
            }
        }
        return count;
    }

    static std::string previousFolder;
};
std::string GeneratedAssetsTest::previousFolder;

TEST_F(GeneratedAssetsTest, theGroundTileUnderThePlayerIsDrawnAt288x144UnchangedByDay) {
    setCell(5, 5, 10, Grass);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(mismatches(assets.tileBitmap[1], 0, 0, 64, 64, 288, 144), 0);
}

TEST_F(GeneratedAssetsTest, anAnimatedTileShowsTheCurrentFrameOfItsStrip) {
    setCell(5, 5, 10, Lava);
    worldClock.blockAnimFrame = 2;
    drawWorld(currentGame(), settledFrame());
    ALLEGRO_BITMAP* strip = assets.tileBitmap[Lava];
    const int frameWidth = al_get_bitmap_width(strip) / 4;
    ASSERT_GT(frameWidth, 0);
    EXPECT_EQ(
        mismatches(strip, 2 * frameWidth, 0, frameWidth, al_get_bitmap_height(strip), 288, 144), 0);
}

TEST_F(GeneratedAssetsTest, theHotbarIconIsTheTilesCornerAt30x30) {
    player.hotbar[0] = 6;
    player.blockCounts[6] = 5;
    player.selectedSlot = 8;  // the cursor frames another slot
    playGameFrame();
    // Rows above the count only; the strip behind shows through the icon's holes.
    int wrong = 0;
    for (int j = 0; j < 13; ++j) {
        for (int i = 0; i < 26; ++i) {
            Rgba source = rgbaOf(assets.tileBitmap[6], 30 + i, 30 + j);
            if (source.a == 255 && !(pixelOf(assets.frameBuffer, 184 + i, 420 + j) ==
                                     Rgb{source.r, source.g, source.b})) {
                ++wrong;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace

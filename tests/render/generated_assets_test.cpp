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
#include <vector>

#include "app/main_loop.h"
#include "app/sound.h"
#include "app/startup.h"
#include "game/settings.h"
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
        settings.classic = true;
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

// The figure as drawn in a window round its place, one colour per pixel.
std::vector<Rgb> figureShown(int x, int y, int w, int h) {
    std::vector<Rgb> pixels;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) pixels.push_back(pixelOf(assets.frameBuffer, x + i, y + j));
    return pixels;
}

// Pixels that differ between two drawn figures, at the horizontal shift that
// matches them best (the facings are drawn a pixel or two apart); by colour,
// or only by whether the figure covers them.
int leastDifference(const std::vector<Rgb>& a, const std::vector<Rgb>& b, int w, bool outline) {
    const int h = static_cast<int>(a.size()) / w;
    int least = w * h;
    for (int shift = -4; shift <= 4; ++shift) {
        int differing = 0;
        for (int j = 0; j < h; ++j) {
            for (int i = 4; i < w - 4; ++i) {
                const Rgb p = a[j * w + i], q = b[j * w + i + shift];
                differing += (outline ? (p == kBlack) == (q == kBlack) : p == q) ? 0 : 1;
            }
        }
        least = std::min(least, differing);
    }
    return least;
}

// Two facings of each sheet are the other two mirrored: a figure nearly the
// same on both sides walks right just as it walks down, and up as it walks
// left. Its outline must tell the mirrored pairs apart, not a few pixels of
// face and hair alone.
TEST_F(GeneratedAssetsTest, theFourFacingsDrawFourDifferentFigures) {
    const int x = 286, y = 96, w = 64, h = 72;
    for (SpriteSheet sheet : {SpriteSheet::Standing, SpriteSheet::Walking, SpriteSheet::Resting}) {
        for (int row = 0; row < 7; ++row) {
            for (int group = 0; group < 2; ++group) {
                std::vector<Rgb> shown[4];
                for (int facing = 0; facing < 4; ++facing) {
                    player.spriteSheet = sheet;
                    player.resting = sheet == SpriteSheet::Resting;
                    player.busy = sheet == SpriteSheet::Walking;
                    player.spriteRow = row;
                    player.spriteGroup = group;
                    player.animFrame = 1;
                    player.facing = static_cast<Facing>(facing);
                    al_clear_to_color(al_map_rgb(0, 0, 0));
                    drawPlayer(currentGame(), false);
                    shown[facing] = figureShown(x, y, w, h);
                }
                const std::string pose = "sheet " + std::to_string(static_cast<int>(sheet)) +
                                         " look " + std::to_string(row) + " group " +
                                         std::to_string(group);
                for (int a = 0; a < 4; ++a)
                    for (int b = a + 1; b < 4; ++b)
                        EXPECT_GT(leastDifference(shown[a], shown[b], w, false), 40)
                            << pose << ": facings " << a << " and " << b << " look alike";
                if (sheet != SpriteSheet::Standing) continue;
                EXPECT_GT(leastDifference(shown[1], shown[3], w, true), 50) << pose << ": 1 and 3";
                EXPECT_GT(leastDifference(shown[0], shown[2], w, true), 50) << pose << ": 0 and 2";
            }
        }
    }
}

}  // namespace

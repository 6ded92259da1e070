// The cached game frame against the straight one, frame after frame through
// scripted runs: the same pixels, the same game state, the same sounds.
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "render/assets.h"
#include "render/game_frame.h"
#include "render/other_figures.h"
#include "render/twin_frames.h"
#include "render/world_renderer.h"
#include "render/world_view.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kStrike = 17;  // ticks of one mining or placing action

// Grass from level 14 down, a pond, a house with a window and a tree, the
// player beside them.
void buildVillage() {
    fillGround(14, 16);
    digPond(12, 11, 14, 13, 14);
    buildHouse(4, 4, 8, 8, 14, 3);
    plantTree(14, 6, 14);
}

TEST_F(TwinFrameTest, aDayOfWalkingMiningPlacingAndRestingByAPondAndAHouse) {
    scene = "day";
    buildVillage();
    startRun(10, 10, 14);
    idle(2);
    hold({KeyRight}, 26);  // turn, then two steps
    hold({KeyDown}, 26);   // to the pond's rim
    idle(kStrike);
    hold({KeyI}, 1);                    // work at the ground ahead
    hold({KeyRightCtrl}, 3 * kStrike);  // three strikes take its water
    hold({KeyI}, 1);                    // back to body height
    hold({KeySpace}, kStrike + 1);      // a grass block put there
    hold({KeyF1}, 1);
    hold({KeyF2}, 1);
    hold({KeyRight}, 20);  // walk in the other look
    hold({KeyF11}, 1);     // rest a while
    idle(10);
    hold({KeyF11}, 1);
    hold({KeyLeft}, 26);
    EXPECT_EQ(player.blockCounts[Water], 101);
    EXPECT_EQ(player.blockCounts[1], 99);
    EXPECT_EQ(player.spriteRow, 1);
    EXPECT_EQ(player.spriteGroup, 0);
    EXPECT_FALSE(player.resting);
}

// Other players among the blocks: behind the house, in front of and behind
// one's own figure, half-way through a step, in every facing and look.
void standOthers() {
    const int spots[][3] = {{9, 3, 14}, {10, 11, 14}, {11, 10, 14}, {9, 9, 14},
                            {6, 9, 14}, {14, 7, 13},  {12, 12, 14}, {10, 10, 14}};
    int n = 0;
    for (const auto& spot : spots) {
        OtherFigure other;
        other.figure.x = other.fromX = spot[0];
        other.figure.y = other.fromY = spot[1];
        other.figure.level = other.fromLevel = spot[2];
        other.figure.facing = static_cast<Facing>(n % 4);
        other.figure.spriteRow = n % 7;
        other.figure.spriteGroup = n % 2;
        other.figure.spriteSheet = n % 3 == 0 ? SpriteSheet::Walking : SpriteSheet::Standing;
        other.figure.busy = n % 3 == 0;
        other.figure.animFrame = n % 4;
        if (other.figure.busy) {
            other.fromX -= 1;
            other.quarters = 2;
        }
        other.name = "p" + std::to_string(n++);
        otherFigures().push_back(other);
    }
}

TEST_F(TwinFrameTest, otherPlayersStandAmongTheBlocksInThePaintersOrder) {
    scene = "others";
    buildVillage();
    startRun(10, 10, 14);
    standOthers();
    idle(2);
    hold({KeyRight}, 26);
    hold({KeyUp}, 40);
    otherFigures().clear();
}

// A figure one row behind one's own, half covered by another that comes after
// one's own in the order: both show where their rectangles overlap.
TEST_F(TwinFrameTest, overlappingFiguresOnEitherSideOfOnesOwnBothShow) {
    scene = "overlap";
    buildVillage();
    fillBox(15, 9, 15, 9, 13, 13, Brick);  // a block on the ground between the two in the order
    startRun(10, 10, 14);
    const int spots[][2] = {{10, 9}, {11, 10}};
    for (const auto& spot : spots) {
        OtherFigure other;
        other.figure.x = other.fromX = spot[0];
        other.figure.y = other.fromY = spot[1];
        other.figure.level = other.fromLevel = 14;
        other.figure.spriteSheet = SpriteSheet::Standing;
        otherFigures().push_back(other);
    }
    idle(2);
    weather.weatherActive = true;  // under the rain both are redrawn from the layers
    weather.weatherKind = WeatherKind::Rain;
    idle(2);
    otherFigures().clear();
}

TEST_F(TwinFrameTest, walkingIntoThePondSplashesAndTheWaterShowsThrough) {
    scene = "pond";
    buildVillage();
    startRun(11, 12, 14);
    hold({KeyRight}, 40);
    EXPECT_EQ(cell(player.x, player.y, player.level), Water);
    hold({Key1 + 7}, 1);  // the water slot
    hold({KeySpace}, kStrike);
    EXPECT_EQ(player.blockCounts[Water], 99);
}

// Rest switched on halfway through a step, and off again before it ends:
// the figure keeps to its rest sheet's frame for the facing, in both looks.
TEST_F(TwinFrameTest, restSwitchedOnAndOffHalfwayThroughAStep) {
    scene = "rest mid-step";
    buildVillage();
    startRun(10, 10, 14);
    for (int look = 0; look < 2; ++look) {
        for (int key : {KeyUp, KeyLeft, KeyDown, KeyRight}) {
            hold({key}, 10);  // turned, and three ticks into a step
            hold({KeyF11}, 1);
            idle(4);
            hold({KeyF11}, 1);  // walking again, still on the rest sheet
            hold({key}, 3);
            idle(kStrike);
        }
        hold({KeyF2}, 1);
    }
    EXPECT_FALSE(player.resting);
    EXPECT_EQ(player.spriteGroup, 1);
}

class NightTest : public TwinFrameTest, public ::testing::WithParamInterface<int> {};

TEST_P(NightTest, lavaLightsItsNeighboursAndRoofsShadeAtEveryNightLevel) {
    scene = "night " + std::to_string(GetParam());
    buildVillage();
    pourLava(11, 8, 12, 9, 14);
    startRun(10, 10, 14);
    worldClock.nightLevel = GetParam();
    worldClock.dayTick = 9000;  // far from dusk and dawn: the level holds
    idle(1);
    hold({KeyUp}, 24);  // beside the lava: the figure is lit
    EXPECT_TRUE(player.litByLava);
    hold({KeyRightCtrl}, kStrike + 2);
    hold({KeyLeft}, 8);
}

INSTANTIATE_TEST_SUITE_P(EachNightLevel, NightTest, ::testing::Values(1, 2, 3, 4, 5));

TEST_F(TwinFrameTest, rainWithALightningFlashAndTheFallingAnimation) {
    scene = "rain";
    buildVillage();
    startRun(10, 10, 14);
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    idle(3);
    seedNextFrame(flashSeed());
    idle(1);
    idle(1);
    hold({KeyDown}, 24);
    worldClock.nightLevel = 3;
    worldClock.dayTick = 9000;
    idle(2);
    seedNextFrame(flashSeed());
    idle(2);
}

TEST_F(TwinFrameTest, snowCoversTheGroundWhileThePlayerWalks) {
    scene = "snow";
    buildVillage();
    startRun(10, 10, 14);
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Snow;
    idle(3);
    hold({KeyLeft}, 24);
    EXPECT_EQ(cell(2, 2, 14), SnowCovered);
}

TEST_F(TwinFrameTest, thePlayerAtLevelZeroOnAWorldSolidToTheTop) {
    scene = "level 0";
    fillBox(0, 0, 20, 20, 0, 20, 2);
    pourLava(3, 10, 9, 10, 0);
    fillBox(11, 10, 17, 10, 0, 0, Water);
    startRun(10, 10, 0);
    idle(2);
    hold({KeyRight}, 24);
    hold({KeyRightCtrl}, kStrike + 2);  // body height lies above the band: nothing to strike
    EXPECT_EQ(player.strikes, 0);
    idle(kStrike);
    hold({KeyI}, 1);  // the top level ahead: the crack on it
    hold({KeyRightCtrl}, 2 * kStrike + 2);
    EXPECT_EQ(player.level, 0);
    EXPECT_GE(player.strikes, 1);
}

// From level 17 (the deepest levels cut off at 20) down into a pit to level
// 20 and out again: the level, and with it the scroll, changes mid-run.
TEST_F(TwinFrameTest, thePlayerDeepDownWithFewerLevelsBelowIt) {
    scene = "deep";
    fillBox(0, 0, 20, 20, 17, 20, 2);
    fillBox(9, 9, 12, 12, 17, 19, Empty);
    startRun(13, 10, 17);
    idle(2);
    hold({KeyLeft}, 24);
    idle(kStrike);
    EXPECT_EQ(player.level, 20);
    hold({KeyI}, 1);
    hold({KeyRightCtrl}, 3 * kStrike);  // the pit's floor ahead lies below the band
    hold({KeyRight}, 45);
    EXPECT_EQ(player.level, 17);
    EXPECT_EQ(player.blockCounts[2], 100);
}

TEST_F(TwinFrameTest, walkingAlongTheWorldsEdgesAndCorners) {
    scene = "edges";
    fillGround(16, 18);
    fillBox(0, 0, 4, 0, 16, 16, Water);  // translucent by day, with only sky behind
    fillBox(0, 1, 0, 4, 16, 16, Water);
    startRun(1, 1, 16);
    hold({KeyUp}, 26);
    hold({KeyLeft}, 26);
    startRun(19, 20, 16);
    hold({KeyRight}, 26);
    hold({KeyDown}, 10);
    EXPECT_EQ(player.x, 20);
    EXPECT_EQ(player.y, 20);
}

// A generated island of the largest size, walked near its corner (over the
// sea up to the world's own edge) and across its hills in the middle, where
// the ground's level and with it the scroll change step after step.
TEST_F(TwinFrameTest, aLargeIslandNearItsCornerAndInItsMiddle) {
    scene = "large island";
    const WorldStart start = generateIslandWorld(20261208, kLargestWorld);
    const int edge = world.maxX;
    auto standOn = [&](int x, int y) {
        int top = 0;
        while (top < kBandEdge && !isSolid(cell(x, y, top))) ++top;
        startRun(x, y, top);
        world.maxX = world.maxY = edge;
    };
    standOn(2, 2);
    hold({KeyUp}, 40);
    hold({KeyLeft}, 40);
    EXPECT_EQ(player.x, 0);
    EXPECT_EQ(player.y, 0);
    standOn(start.x, start.y);
    const int level = player.level;
    hold({KeyRight}, 90);
    hold({KeyDown}, 90);
    hold({KeyRightCtrl}, kStrike + 2);
    hold({KeyLeft}, 60);
    EXPECT_NE(player.x, start.x);
    EXPECT_TRUE(player.level != level || framesCompared() > 0);
}

// In a world larger than the band: water running off a step and lava on the
// ground below, drawn lower than their sources, meeting in hard rock, and the
// water draining once its source is mined.
TEST_F(TwinFrameTest, streamsRunLowerThanTheirSourcesAndDrainWhenTheSourceIsMined) {
    scene = "streams";
    fillBox(0, 0, 29, 29, 14, 16, Earth);
    fillBox(8, 8, 12, 12, 12, 13, Cobblestone);
    startRun(14, 15, 14);
    world.maxX = world.maxY = 29;
    fillBox(10, 10, 10, 10, 11, 11, Water);
    fillBox(17, 12, 17, 12, 13, 13, Lava);
    idle(150);
    EXPECT_TRUE(isStream(cell(13, 10, 13)));  // fallen off the step
    keepForDocs("streams");
    fillBox(10, 10, 10, 10, 11, 11, Empty);
    idle(120);
    EXPECT_EQ(cell(13, 10, 13), Empty);
}

namespace {

// How much of the figure the last frame shows: the share of the sheet
// frame's opaque pixels found in their own colour at their place.
double figureShown(ALLEGRO_BITMAP* frame) {
    SpriteDraw d;
    if (!spriteDraw(currentGame(), false, &d)) return 0;
    ALLEGRO_BITMAP* alone = al_create_bitmap(d.sw, d.sh);
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
    al_set_target_bitmap(alone);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    al_draw_bitmap_region(d.bitmap, d.sx, d.sy, d.sw, d.sh, 0, 0, d.flags);
    al_restore_state(&state);
    int opaque = 0, shown = 0;
    for (int y = 0; y < d.sh; ++y)
        for (int x = 0; x < d.sw; ++x) {
            unsigned char r, g, b, a, fr, fg, fb;
            al_unmap_rgba(al_get_pixel(alone, x, y), &r, &g, &b, &a);
            if (a != 255) continue;
            ++opaque;
            al_unmap_rgb(al_get_pixel(frame, d.dx + x, d.dy + y), &fr, &fg, &fb);
            shown += std::abs(r - fr) <= 3 && std::abs(g - fg) <= 3 && std::abs(b - fb) <= 3;
        }
    al_destroy_bitmap(alone);
    return opaque == 0 ? 0 : static_cast<double>(shown) / opaque;
}

// Pixels of the grass's top face around the figure's feet.
int grassAroundFeet(ALLEGRO_BITMAP* frame) {
    unsigned char gr, gg, gb;
    al_unmap_rgb(al_get_pixel(assets.tileBitmap[Grass], 32, 16), &gr, &gg, &gb);
    int count = 0;
    for (int y = 120; y < 220; ++y)
        for (int x = 240; x < 400; ++x) {
            unsigned char r, g, b;
            al_unmap_rgb(al_get_pixel(frame, x, y), &r, &g, &b);
            count += r == gr && g == gg && b == gb;
        }
    return count;
}

}  // namespace

// A pit dug four levels into the grass, lava in its corner and a tunnel
// from it under the ground: down there the ground over the figure is lifted
// off and the walls in front of it fade; back on the grass it all returns.
TEST_F(TwinFrameTest, underTheGroundTheFigureShowsAndOnItTheGroundComesBack) {
    scene = "mine";
    fillBox(0, 0, 20, 20, 10, 20, Cobblestone);
    fillBox(0, 0, 20, 20, 10, 10, Grass);
    fillBox(5, 5, 9, 9, 10, 13, Empty);
    pourLava(5, 5, 6, 5, 14);
    fillBox(10, 7, 14, 7, 12, 13, Empty);
    startRun(7, 7, 14);
    idle(2);
    keepForDocs("cut-away-day");
    if (!classic()) {
        EXPECT_GT(figureShown(lastFrame()), 0.85);
        EXPECT_EQ(grassAroundFeet(lastFrame()), 0);
    }
    worldClock.nightLevel = 3;
    idle(2);
    keepForDocs("cut-away-night");
    worldClock.nightLevel = 0;
    player.autoJump = false;  // else every step climbs onto the ground over the tunnel
    hold({KeyRight}, 6 * kStrike);
    EXPECT_EQ(player.x, 13);
    EXPECT_EQ(player.level, 14);
    player.autoJump = true;
    idle(2);
    EXPECT_EQ(player.level, 10);
    if (!classic()) {
        EXPECT_GT(grassAroundFeet(lastFrame()), 1000);
    }
}

TEST_F(TwinFrameTest, handEditedValuesAndOddStatesDrawAlike) {
    scene = "odd values";
    fillGround(15, 17);
    fillBox(8, 11, 8, 11, 14, 14, 23);
    fillBox(12, 9, 12, 9, 14, 14, -4);
    fillBox(12, 12, 12, 12, 13, 14, 1000);
    fillBox(21, 5, 22, 8, 15, 15, Lava);  // outside the bounds, still lighting at night
    startRun(10, 10, 15);
    idle(2);
    worldClock.nightLevel = 0.5;
    idle(2);
    worldClock.nightLevel = 7;
    idle(2);
    worldClock.nightLevel = -1;
    idle(2);
    worldClock.blockAnimFrame = 6;
    idle(1);
    worldClock.blockAnimFrame = 0;
    player.autoJump = false;
    for (int level : {-3, -1, 0, 21, 25, 15}) {
        player.level = level;
        idle(2);
    }
    fillBox(10, 11, 10, 11, 14, 14, 4);  // ahead at body height: every crack stage shows
    player.acting = true;
    for (int strikes : {0, 1, 2, 3, 7, -1}) {
        player.strikes = strikes;
        compareFrame();
    }
    player.acting = false;
    for (int sheet : {0, 9, 2}) {
        player.spriteSheet = static_cast<SpriteSheet>(sheet);
        compareFrame();
    }
    player.facing = static_cast<Facing>(5);
    compareFrame();
    player.hurtFlash = HurtFlash::Red;  // the figure drawn half transparent in red
    compareFrame();
    world.maxX = 30;
    compareFrame();
    player.blockCounts[1] = 7;  // a count changed with nothing else
    compareFrame();
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    for (int frame : {0, 4, 0}) {  // frame 4 lies past the end of the strip
        weather.weatherAnimFrame = frame;
        compareFrame();
    }
    camera.offsetX += 100;  // further than any camera step
    compareFrame();
    camera.offsetY -= 40;
    compareFrame();
}

// A picture with half-transparent pixels cannot be drawn apart from the sky
// and laid over it: the sky goes into the layers, which at night (the night
// layer is not one colour) then only serve the camera position they were
// drawn for.
TEST_F(TwinFrameTest, softEdgedPicturesAreDrawnWithTheSkyUnderThem) {
    scene = "soft edges";
    ALLEGRO_BITMAP* original = assets.tileBitmap[9];
    ALLEGRO_BITMAP* soft = al_clone_bitmap(original);
    al_set_target_bitmap(soft);
    for (int x = 20; x < 44; ++x) al_put_pixel(x, 2, al_map_rgba(40, 40, 40, 128));
    assets.tileBitmap[9] = soft;
    ASSERT_TRUE(prepareRenderer());
    buildVillage();
    fillBox(0, 10, 20, 10, 14, 14, 9);  // a gravel path
    startRun(10, 11, 14);
    idle(2);
    worldClock.nightLevel = 2;
    worldClock.dayTick = 9000;
    hold({KeyLeft}, 26);
    assets.tileBitmap[9] = original;
    al_destroy_bitmap(soft);
    ASSERT_TRUE(prepareRenderer());
}

std::string thisProgram() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, n) : std::string();
}

// The game draws into textures of an OpenGL window, where whole pictures are
// copied by the driver: the same comparison there, this test run again
// inside a virtual screen.
TEST_F(TwinFrameTest, theSameInTheTexturesOfARealWindow) {
    if (!inWindow()) {
        if (std::system("command -v xvfb-run > /dev/null") != 0)
            GTEST_SKIP() << "xvfb-run is missing";
        // The leak checker is off in there: the OpenGL driver keeps allocations
        // until exit in a module it has unloaded by then, out of reach of any
        // suppression.
        const std::string command =
            "TESSARIA_TWIN_WINDOW=1 ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" "
            "xvfb-run -a -s '-screen 0 640x480x24' " +
            thisProgram() + " --gtest_filter='*theSameInTheTexturesOfARealWindow'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return;
    }
    scene = "window";
    buildVillage();
    pourLava(11, 8, 12, 9, 14);
    setCell(12, 11, 13, Brick);  // hides the legs after the first step: the edge through it
    startRun(10, 10, 14);
    // The figures are drawn over the composed screen by day, among the
    // blocks cut to their rectangles, and redrawn from the layers in the rain.
    standOthers();
    hold({KeyRight}, 24);
    hold({KeyRightCtrl}, kStrike + 2);
    worldClock.nightLevel = 4;
    worldClock.dayTick = 9000;
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    hold({KeyUp}, 24);
    otherFigures().clear();
    EXPECT_EQ(framesCompared(), 67);
}

}  // namespace

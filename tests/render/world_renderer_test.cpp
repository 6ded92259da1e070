// The isometric world: where cells land, the painter's order, the window of
// levels, shading by day and night, lava light, water, strips and the crack.
#include "render/render_fixture.h"

#include <algorithm>

#include "game/frame_step.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/world_renderer.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

namespace {

constexpr int kLargestWorldEdge = 299;

// The player stands on (5, 5) at level 10 with the camera at rest, so that
// cell's tile has its top-left corner at (288, 144). Player sheets are taken
// away: these tests look at blocks only.
class WorldRendererTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        standPlayer(5, 5, 10);
        player.spriteSheet = SpriteSheet::Unset;
    }
    // (290, 146) lies inside the tile of (5, 5, 10) and is not covered by any
    // neighbour drawn after it on the same level.
    Rgb groundPixel() const { return at(290, 146); }
};

class PlayerLevelTest : public WorldRendererTest, public ::testing::WithParamInterface<int> {};

TEST_P(PlayerLevelTest, theCellUnderThePlayerLandsAt288x144OnceLevelScrollHasCaughtUp) {
    const int level = GetParam();
    player.level = level;
    camera.levelScroll = 0;
    setCell(5, 5, level, Grass);
    drawWorld(currentGame(), stepGameFrame());
    clearFrame(kBlack);
    drawWorld(currentGame(), stepGameFrame());
    EXPECT_EQ(at(288, 144), tileColour(1));
    EXPECT_EQ(at(351, 207), tileColour(1));
    EXPECT_EQ(at(287, 144), kBlack);
    EXPECT_EQ(at(288, 143), kBlack);
    EXPECT_EQ(at(352, 207), kBlack);
}

INSTANTIATE_TEST_SUITE_P(SeveralLevels, PlayerLevelTest, ::testing::Values(3, 10, 16, 20));

TEST_F(WorldRendererTest, cellsDrawnBeforeThePlayerUseThePreviousScroll) {
    camera.levelScroll = 0;
    setCell(5, 5, 10, Grass);
    drawWorld(currentGame(), stepGameFrame());
    // 16 * (5 + 5 + 20 + 9) - 160 with no scroll yet
    EXPECT_EQ(at(288, 464), tileColour(1));
    EXPECT_EQ(at(288, 144), kBlack);
}

TEST_F(WorldRendererTest, aNearerBlockCoversAFartherOne) {
    setCell(5, 5, 10, Grass);
    setCell(6, 5, 10, Cobblestone);  // next in the same row: (320, 160)
    setCell(4, 6, 10, Explosive);    // next row: (224, 144)
    setCell(5, 6, 10, Planks);       // next row: (256, 160)
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(at(330, 170), tileColour(2));
    EXPECT_EQ(at(300, 170), tileColour(4));
    EXPECT_EQ(at(260, 200), tileColour(4)) << "a row runs from low x to high x";
    EXPECT_EQ(at(250, 150), tileColour(3));
    EXPECT_EQ(at(300, 150), tileColour(1));
}

TEST_F(WorldRendererTest, aHigherLevelCoversTheLevelBelow) {
    setCell(5, 5, 10, Grass);
    setCell(4, 4, 11,
            Cobblestone);  // one level deeper, one cell farther: same screen spot as (5, 5, 10)
    setCell(5, 5, 9, Explosive);  // one level up: 32 pixels higher
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(at(290, 178), Rgb{140, 70, 35}))
        << "drawn over the deeper level, shaded by its roof";
    EXPECT_EQ(at(290, 146), tileColour(3));
    EXPECT_EQ(at(290, 112), tileColour(3));
}

TEST_F(WorldRendererTest, levelsFromFourBelowThePlayerUpToTheTopAreDrawn) {
    setCell(5, 5, 14, Grass);
    setCell(6, 6, 15, Cobblestone);  // would be at (288, 336)
    setCell(11, 11, 0, Planks);      // at (288, 16)
    drawWorld(currentGame(), settledFrame());
    // level 14 is at 16 * (10 + 28 + 9) - 160 - 320 = 272
    EXPECT_EQ(at(290, 274), tileColour(1));
    EXPECT_EQ(at(290, 340), kBlack) << "five levels below the player are not drawn";
    EXPECT_EQ(at(290, 18), tileColour(4));
}

TEST_F(WorldRendererTest, theDeepestLevelDrawnIsTwenty) {
    standPlayer(5, 5, 18);
    setCell(5, 5, 20, Grass);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(at(290, 146 + 64), tileColour(1));
}

TEST_F(WorldRendererTest, aPlayerAboveTheTopDrawsNothing) {
    standPlayer(5, 5, -5);
    setCell(5, 5, 0, Grass);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, kBlack), 640 * 480);
}

TEST_F(WorldRendererTest, theBoundsAreInclusiveAndNothingOutsideIsDrawn) {
    standPlayer(19, 19, 10);
    setCell(20, 19, 10, Grass);        // x = maxX: drawn at (320, 160)
    setCell(21, 18, 10, Cobblestone);  // x > maxX: stored, but outside the world
    setCell(19, 21, 10, Explosive);    // y > maxY
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(at(322, 162), tileColour(1));
    EXPECT_EQ(at(390, 165), kBlack);
    EXPECT_EQ(at(226, 210), kBlack);
}

// On a world larger than the band the view is whole: a block shows wherever
// its tile lands on the picture, however far it lies from the player's
// column, at every level and from every level the player stands on.
TEST_F(WorldRendererTest, aLargeWorldsBlocksShowWhereverTheirTilesLandOnThePicture) {
    struct Probe {
        int dx, dy, level, playerLevel;
    };
    // Far below high ground the top levels show far along x or y; high up,
    // the deep levels show above the player; and a picture's corner.
    const Probe probes[] = {
        {30, 25, 0, 20}, {25, 30, 0, 20}, {-12, -12, 20, 0}, {-9, 1, 10, 10}, {22, 12, 2, 12}};
    settings.classic = false;  // which keeps the first releases' window
    for (const Probe& probe : probes) {
        clearWorld();
        standPlayer(150, 150, probe.playerLevel);
        world.maxX = world.maxY = kLargestWorldEdge;
        setCell(150 + probe.dx, 150 + probe.dy, probe.level, Grass);
        clearFrame(kBlack);
        drawWorld(currentGame(), settledFrame());
        const int x = 288 + 32 * (probe.dx - probe.dy);
        const int y = 144 + 16 * (probe.dx + probe.dy) + 32 * (probe.level - probe.playerLevel);
        ASSERT_TRUE(x + 63 >= 0 && x < 640 && y + 63 >= 0 && y < 480);
        EXPECT_EQ(at(std::clamp(x + 2, 0, 639), std::clamp(y + 2, 0, 479)), tileColour(Grass))
            << probe.dx << "," << probe.dy << " at level " << probe.level;
    }
    settings.classic = true;
}

TEST_F(WorldRendererTest, valuesWithoutATilePictureAreNotDrawn) {
    setCell(5, 5, 10, 23);
    setCell(6, 5, 10, 1000);
    setCell(5, 6, 10, -4);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, kBlack), 640 * 480);
}

TEST_F(WorldRendererTest, everyStripShowsTheSharedAnimationFrame) {
    setCell(5, 5, 10, Lava);
    setCell(6, 5, 10, Water);   // at (320, 160)
    worldClock.nightLevel = 1;  // lava and its neighbour glow: both untinted
    for (int frameNo = 0; frameNo < 4; ++frameNo) {
        worldClock.blockAnimFrame = frameNo;
        drawWorld(currentGame(), settledFrame());
        EXPECT_EQ(groundPixel(), stripColour(Lava, frameNo)) << "frame " << frameNo;
        EXPECT_EQ(at(370, 200), stripColour(Water, frameNo)) << "frame " << frameNo;
    }
}

TEST_F(WorldRendererTest, anUnroofedBlockByDayIsDrawnAsItIs) {
    setCell(5, 5, 10, Grass);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(groundPixel(), tileColour(1));
}

TEST_F(WorldRendererTest, aRoofWithinElevenLevelsShadesByDayAndOneFurtherDoesNot) {
    setCell(5, 5, 10, Grass);
    setCell(5, 5, -1, Cobblestone);  // 11 levels up
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(groundPixel(), Rgb{140, 70, 35}));

    setCell(5, 5, -1, Empty);
    setCell(5, 5, -2, Cobblestone);  // 12 levels up
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(groundPixel(), tileColour(1));
}

struct NightShade {
    double nightLevel;
    Rgb expected;  // of tile 1, rgb(200, 100, 50)
};
void PrintTo(const NightShade& c, std::ostream* out) { *out << "night " << c.nightLevel; }

class NightShadeTest : public WorldRendererTest,
                       public ::testing::WithParamInterface<NightShade> {};

TEST_P(NightShadeTest, anUnlitBlockAtNightTakesTheShadeOfItsLevel) {
    worldClock.nightLevel = GetParam().nightLevel;
    setCell(5, 5, 10, Grass);
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(groundPixel(), GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(EachNightLevel, NightShadeTest,
                         ::testing::Values(NightShade{1, {200, 100, 50}},
                                           NightShade{2, {100, 50, 25}},
                                           NightShade{3, {80, 40, 20}}, NightShade{4, {60, 30, 15}},
                                           NightShade{5, {40, 20, 10}},
                                           NightShade{1.5, {200, 100, 50}}));

TEST_F(WorldRendererTest, atNightABlockNextToLavaIsLitToHalf) {
    setCell(5, 5, 10, Grass);
    setCell(5, 4, 10, Lava);
    for (double night : {1.0, 5.0}) {
        worldClock.nightLevel = night;
        drawWorld(currentGame(), settledFrame());
        EXPECT_TRUE(near(groundPixel(), Rgb{100, 50, 25})) << "night level " << night;
    }
}

TEST_F(WorldRendererTest, atNightABlockTwoFromLavaIsLitToThreeTenths) {
    setCell(5, 5, 10, Grass);
    setCell(5, 7, 10, Lava);
    worldClock.nightLevel = 1;
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(groundPixel(), Rgb{60, 30, 15}));
}

TEST_F(WorldRendererTest, lavaDiagonallyOrOnAnotherLevelDoesNotLight) {
    setCell(5, 5, 10, Grass);
    setCell(4, 4, 10, Lava);
    setCell(5, 5, 11, Lava);
    setCell(3, 5, 9, Lava);
    worldClock.nightLevel = 4;
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(groundPixel(), Rgb{60, 30, 15}));
}

TEST_F(WorldRendererTest, lavaByDayLightsNothing) {
    setCell(5, 5, 10, Grass);
    setCell(5, 4, 10, Lava);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(groundPixel(), tileColour(1));
}

TEST_F(WorldRendererTest, lavaGlowsAtNightAndSoDoAnimatedBlocksBesideIt) {
    setCell(5, 5, 10, Lava);
    setCell(5, 4, 10, Water);
    worldClock.nightLevel = 5;
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(groundPixel(), stripColour(Lava, 0));
    // (5, 4, 10) sits at (320, 128); its top-right part shows past (5, 5).
    EXPECT_EQ(at(370, 130), stripColour(Water, 0));
}

TEST_F(WorldRendererTest, waterByDayIsTranslucent) {
    clearFrame(Rgb{100, 100, 100});
    setCell(5, 5, 10, Water);
    drawWorld(currentGame(), settledFrame());
    // 0.6 * rgb(0, 0, 200) + 0.4 * rgb(100, 100, 100)
    EXPECT_TRUE(near(groundPixel(), Rgb{40, 40, 160}));
}

TEST_F(WorldRendererTest, waterUnderARoofByDayIsOpaqueAndShaded) {
    clearFrame(Rgb{100, 100, 100});
    setCell(5, 5, 10, Water);
    setCell(5, 5, 0, Cobblestone);  // ten levels up
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(groundPixel(), Rgb{0, 0, 140}));
}

TEST_F(WorldRendererTest, waterAtNightIsOpaqueAndShaded) {
    clearFrame(Rgb{100, 100, 100});
    setCell(5, 5, 10, Water);
    worldClock.nightLevel = 2;
    drawWorld(currentGame(), settledFrame());
    EXPECT_TRUE(near(groundPixel(), Rgb{0, 0, 100}));
}

// Mining the block ahead: the crack frame follows the strikes.
class CrackTest : public WorldRendererTest {
protected:
    void SetUp() override {
        WorldRendererTest::SetUp();
        player.facing = Facing::Right;  // toward x + 1: the column (6, 5), drawn at (320, 160)
        player.acting = true;
        player.busy = true;
        player.actionMode = ActionMode::Mining;
        setCell(6, 5, 10, Grass);
    }
    Rgb crackPixel() const { return at(322, 162); }
};

TEST_F(CrackTest, theCrackFrameFollowsTheStrikes) {
    for (int strike = 0; strike < 3; ++strike) {
        player.strikes = strike;
        drawWorld(currentGame(), settledFrame());
        EXPECT_EQ(crackPixel(), crackColour(strike)) << "strike " << strike;
        EXPECT_EQ(at(331, 171), tileColour(1)) << "only the crack mark, the rest is the block";
    }
}

TEST_F(CrackTest, theCrackIsLaidOnTheRaisedTargetWhenRaised) {
    setCell(6, 5, 9, Cobblestone);  // drawn at (320, 128)
    player.targetRaised = 1;
    player.strikes = 1;
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(at(322, 130), crackColour(1));
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, crackColour(1)), 8 * 8) << "one crack only";
}

TEST_F(CrackTest, noCrackWhilePlacingOrIdleOrOnAnEmptyCell) {
    player.actionMode = ActionMode::Placing;
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(crackPixel(), tileColour(1));

    player.actionMode = ActionMode::Mining;
    player.acting = false;
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(crackPixel(), tileColour(1));

    player.acting = true;
    setCell(6, 5, 10, Empty);
    clearFrame(kBlack);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(crackPixel(), kBlack);
}

TEST_F(CrackTest, theCrackFollowsEachFacing) {
    const struct { int facing, x, y; } ahead[] = {{0, 5, 4}, {1, 5, 6}, {2, 4, 5}, {3, 6, 5}};
    for (const auto& a : ahead) {
        clearFrame(kBlack);
        setCell(a.x, a.y, 10, Grass);
        player.facing = static_cast<Facing>(a.facing);
        drawWorld(currentGame(), settledFrame());
        int sx = 32 * (a.x - a.y + 9);
        int sy = 16 * (a.x + a.y + 20 + 9) - 160 - 320;
        EXPECT_EQ(at(sx + 2, sy + 2), crackColour(0)) << "facing " << a.facing;
    }
    player.facing = static_cast<Facing>(7);
    clearFrame(kBlack);
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, crackColour(0)), 0);
}

TEST_F(CrackTest, laterBlocksCoverTheCrack) {
    player.strikes = 2;
    setCell(6, 5, 9, Explosive);  // one level up, drawn later at (320, 128)
    drawWorld(currentGame(), settledFrame());
    EXPECT_EQ(crackPixel(), tileColour(3));
}

}  // namespace

// The marks added for a new player, on the test pictures: which cell the
// target outline marks, what hides it, when there is none; hotbar counts that
// stay inside their slot; the figure at night.
#include <string>

#include "game/settings.h"
#include "render/assets.h"
#include "render/frame_parts.h"
#include "render/render_fixture.h"
#include "render/text.h"
#include "render/world_renderer.h"
#include "render/world_view.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "util/numbers.h"
#include "world/world_grid.h"

namespace {

constexpr Rgb kOutline{255, 226, 64};

// The player on (5, 5) at level 10 faces Down, towards (5, 6), with grass in
// the selected slot. The cell ahead at body height, (5, 6, 9), has its tile's
// top-left corner at (256, 128); on the ground, (5, 6, 10), at (256, 160).
class TargetOutlineTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        settings.classic = false;
        standPlayer(5, 5, 10);
        player.spriteSheet = SpriteSheet::Unset;
        player.facing = Facing::Down;
        player.targetRaised = 1;
        player.hotbar[0] = Grass;
        player.blockCounts[Grass] = 5;
        setCell(5, 5, 10, Grass);
    }
    void TearDown() override {
        settings.classic = true;
        RenderTest::TearDown();
    }
    int outlinePixels() const { return countPixels(frame, 0, 0, 640, 480, kOutline); }
    void draw() { drawWorld(currentGame(), settledFrame()); }
};

TEST_F(TargetOutlineTest, aSolidOutlineMarksTheEmptyCellAheadAtBodyHeight) {
    draw();
    EXPECT_EQ(at(256, 144), kOutline) << "the left edge, where the top face meets the side";
    EXPECT_EQ(at(256, 148), kOutline) << "solid";
    EXPECT_EQ(at(319, 148), kOutline) << "the right edge";
    EXPECT_EQ(at(270, 170), kBlack) << "inside the empty cell";
}

TEST_F(TargetOutlineTest, aDashedOutlineMarksTheBlockOnTheGroundAheadOverIt) {
    player.targetRaised = 0;
    setCell(5, 6, 10, Cobblestone);
    draw();
    EXPECT_EQ(at(256, 176), kOutline);
    EXPECT_EQ(at(256, 180), tileColour(Cobblestone)) << "a gap in the dashes";
    EXPECT_EQ(at(288, 180), tileColour(Cobblestone));
}

TEST_F(TargetOutlineTest, aBlockInFrontHidesThePartOfTheOutlineBehindIt) {
    setCell(5, 7, 9, Cobblestone);  // the next row, one level up: at (224, 144)
    draw();
    EXPECT_EQ(at(256, 148), tileColour(Cobblestone));
    EXPECT_EQ(at(319, 148), kOutline) << "the part beside the block still shows";
}

TEST_F(TargetOutlineTest, nothingIsMarkedWhenThereIsNothingToActOn) {
    setCell(5, 6, 9, HardRock);
    draw();
    EXPECT_EQ(outlinePixels(), 0) << "hard rock cannot be mined nor built into";
    setCell(5, 6, 9, Empty);
    player.blockCounts[Grass] = 0;
    draw();
    EXPECT_EQ(outlinePixels(), 0) << "nothing to place";
    player.blockCounts[Grass] = 5;
    standPlayer(5, 20, 10);
    draw();
    EXPECT_EQ(outlinePixels(), 0) << "the cell ahead lies outside the world";
    standPlayer(5, 5, 0);
    setCell(5, 5, 0, Grass);
    draw();
    EXPECT_EQ(outlinePixels(), 0) << "body height on the top level lies above the band";
    standPlayer(5, 5, 10);
    player.resting = true;
    draw();
    EXPECT_EQ(outlinePixels(), 0) << "resting";
    player.resting = false;
    settings.classic = true;
    draw();
    EXPECT_EQ(outlinePixels(), 0) << "the classic picture";
}

// Facing up, the cell ahead at body height, (5, 4, 9), has its corner at
// (320, 96): the outline's left edge runs down x = 320 through the figure.
TEST_F(TargetOutlineTest, theFigureInFrontOfTheTargetShowsTheOutlineThinOverItself) {
    player.spriteSheet = SpriteSheet::Standing;
    player.facing = Facing::Up;
    draw();
    EXPECT_EQ(at(320, 130), kOutline);
    EXPECT_FALSE(at(321, 130) == kOutline) << "one pixel thin";
    settings.classic = true;
    draw();
    EXPECT_FALSE(at(320, 130) == kOutline);
}

// At the darkest hour stone and brick keep their colours apart, and neither
// turns black; classic greys both to a fifth.
TEST_F(TargetOutlineTest, theDarkestNightKeepsTheBlocksColoursApart) {
    worldClock.nightLevel = 5;
    setCell(5, 6, 10, Brick);        // the top face's middle at (288, 176)
    setCell(5, 4, 10, Cobblestone);  // at (352, 144)
    draw();
    const Rgb brick = at(288, 176), stone = at(352, 144);
    EXPECT_GT(brick.r, 2 * brick.b) << "brick stays red";
    EXPECT_GT(stone.r + stone.g + stone.b, 120) << "stone stays grey, not black";
    settings.classic = true;
    draw();
    EXPECT_LT(at(352, 144).r + at(352, 144).g + at(352, 144).b, 120);
}

TEST_F(TargetOutlineTest, theGroundEightLevelsBelowATowerIsDrawnButNotInClassic) {
    setCell(6, 6, 18, Cobblestone);  // at (288, 432)
    draw();
    EXPECT_EQ(at(290, 436), tileColour(Cobblestone));
    settings.classic = true;
    clearFrame(kBlack);
    draw();
    EXPECT_EQ(at(290, 436), kBlack);
}

TEST_F(TargetOutlineTest, everyCountUpTo999EndsInsideItsSlot) {
    ASSERT_NE(assets.smallFont, nullptr);
    for (int slot = 0; slot < kHotbarSlots; ++slot) {
        const int iconLeft = 184 + 30 * slot, iconRight = iconLeft + 26;
        for (int count = 0; count <= 999; ++count) {
            const std::string text = util::to_string(count);
            const int x = countX(slot, text.c_str());
            ASSERT_GE(x, iconLeft) << count << " in slot " << slot;
            ASSERT_LE(x + textWidth(text.c_str()), iconRight) << count << " in slot " << slot;
        }
    }
}

TEST_F(TargetOutlineTest, atNightTheFigureStaysLighterThanTheBlocks) {
    player.spriteSheet = SpriteSheet::Standing;
    worldClock.nightLevel = 5;
    SpriteDraw figure;
    ASSERT_TRUE(spriteDraw(currentGame(), false, &figure));
    EXPECT_GT(figure.tint.r, 0.5f);
    settings.classic = true;
    ASSERT_TRUE(spriteDraw(currentGame(), false, &figure));
    EXPECT_FLOAT_EQ(figure.tint.r, 0.2f);
}

}  // namespace

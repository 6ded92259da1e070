// The player figure: which frame of which sheet, mirrored or not, where on the
// screen and in which tint.
#include "render/render_fixture.h"

#include "game/frame_step.h"
#include "render/world_renderer.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"

namespace {

constexpr Rgb kBackground{100, 100, 100};

struct Pose {
    int facing, group, animFrame;
    int column, dx;
    bool mirrored;
};
std::ostream& operator<<(std::ostream& out, const Pose& p) {
    return out << "facing " << p.facing << " group " << p.group << " frame " << p.animFrame;
}

class PlayerSpriteTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        standPlayer(5, 5, 10);
        clearFrame(kBackground);
    }
    // The frame drawn with its top-left corner at (dx, dy), checked to be
    // exactly 20 x 30 there.
    ::testing::AssertionResult frameAt(int dx, int dy, SheetCell expected, bool mirrored) const {
        auto drawn = [this](int x, int y) { return !(at(x, y) == kBackground); };
        if (!drawn(dx, dy) || !drawn(dx + kFrameW - 1, dy + kFrameH - 1) || drawn(dx - 1, dy) ||
            drawn(dx, dy - 1) || drawn(dx + kFrameW, dy) || drawn(dx, dy + kFrameH)) {
            return ::testing::AssertionFailure()
                   << "no 20 x 30 frame at (" << dx << ", " << dy << ")";
        }
        SheetCell shown = sheetCellOf(at(dx + 5, dy + 5));
        if (!(shown == expected)) return ::testing::AssertionFailure() << "shows " << shown;
        bool markLeft = at(dx, dy + 5).b == 255;
        bool markRight = at(dx + kFrameW - 1, dy + 5).b == 255;
        if (markLeft == mirrored || markRight != mirrored) {
            return ::testing::AssertionFailure() << (mirrored ? "not mirrored" : "mirrored");
        }
        return ::testing::AssertionSuccess();
    }
    // Draws the figure in each pose and expects that pose's column of the
    // sheet's row, its top-left corner at (pose.dx, dy).
    template <std::size_t N>
    void expectPoses(const Pose (&poses)[N], int dy, int sheet, int row) {
        for (const Pose& p : poses) {
            clearFrame(kBackground);
            player.facing = static_cast<Facing>(p.facing);
            player.spriteGroup = p.group;
            player.animFrame = p.animFrame;
            drawPlayer(currentGame(), false);
            EXPECT_TRUE(frameAt(p.dx, dy, SheetCell{sheet, p.column, row, false}, p.mirrored)) << p;
        }
    }
};

TEST_F(PlayerSpriteTest, standingShowsOneColumnPerFacingPairMirroredForZeroAndThree) {
    const Pose poses[] = {
        {1, 0, 0, 0, 311, false},
        {3, 0, 0, 0, 311, true},
        {2, 0, 0, 1, 311, false},
        {0, 0, 0, 1, 311, true},
    };
    player.spriteRow = 3;
    expectPoses(poses, 106, 1, 3);
}

TEST_F(PlayerSpriteTest, theSecondGroupStandsInTheNextColumnsNudgedOnePixel) {
    const Pose poses[] = {
        {1, 1, 0, 2, 312, false},
        {3, 1, 0, 2, 310, true},
        {2, 1, 0, 3, 311, false},
        {0, 1, 0, 3, 311, true},
    };
    player.spriteGroup = 1;
    expectPoses(poses, 106, 1, 0);
}

TEST_F(PlayerSpriteTest, walkingRunsThroughFourFramesPerFacingAndGroup) {
    player.spriteSheet = SpriteSheet::Walking;
    player.busy = true;
    player.spriteRow = 5;
    const Pose poses[] = {
        {1, 0, 0, 0, 307, false}, {1, 0, 1, 1, 307, false}, {1, 0, 2, 2, 307, false},
        {1, 0, 3, 3, 307, false}, {2, 0, 0, 4, 307, false}, {2, 0, 3, 7, 307, false},
        {3, 0, 2, 2, 307, true},  {0, 0, 1, 5, 307, true},  {1, 1, 2, 10, 307, false},
        {3, 1, 0, 8, 307, true},  {0, 1, 3, 15, 307, true}, {2, 1, 0, 12, 307, false},
    };
    expectPoses(poses, 105, 2, 5);
}

TEST_F(PlayerSpriteTest, actingShowsTwoFramesPerFacingWithTheirOwnNudges) {
    player.spriteSheet = SpriteSheet::Acting;
    player.busy = true;
    player.acting = true;
    const Pose poses[] = {
        {1, 0, 0, 0, 307, false}, {1, 0, 1, 1, 309, false}, {2, 0, 0, 2, 307, false},
        {2, 0, 1, 3, 309, false}, {0, 0, 0, 2, 310, true},  {0, 0, 1, 3, 307, true},
        {3, 0, 0, 0, 310, true},  {3, 1, 1, 5, 307, true},  {2, 1, 1, 7, 309, false},
    };
    expectPoses(poses, 106, 4, 0);
}

TEST_F(PlayerSpriteTest, restingSwitchesToTheRestSheetAndSitsLowerLeft) {
    player.resting = true;
    player.spriteRow = 2;
    stepGameFrame();
    drawPlayer(currentGame(), false);
    EXPECT_TRUE(frameAt(301, 126, SheetCell{3, 0, 2, false}, false));
}

// Rest mode switched on halfway through a step leaves the step's frame
// number behind; the rest sheet has one frame per facing and look.
TEST_F(PlayerSpriteTest, halfwayThroughAStepTheRestSheetShowsTheFrameOfTheFacing) {
    player.resting = true;
    player.spriteSheet = SpriteSheet::Resting;
    player.busy = true;
    const Pose poses[] = {
        {1, 0, 3, 0, 301, false}, {3, 0, 2, 0, 301, true},  {2, 0, 3, 1, 301, false},
        {0, 0, 1, 1, 301, true},  {1, 1, 1, 2, 301, false}, {3, 1, 3, 2, 301, true},
        {2, 1, 2, 3, 301, false}, {0, 1, 1, 3, 301, true},
    };
    expectPoses(poses, 126, 3, 0);
}

TEST_F(PlayerSpriteTest, aSheetWithoutAPictureDrawsNothing) {
    player.spriteSheet = static_cast<SpriteSheet>(9);
    drawPlayer(currentGame(), false);
    EXPECT_EQ(countPixels(frame, 300, 90, 50, 80, kBackground), 50 * 80);
}

struct SpriteTint {
    const char* name;
    bool ghost, litByLava;
    double nightLevel;
    int hurtFlash;
    Rgb expected;  // of rgb(23, 190, 40) over rgb(100, 100, 100)
};
std::ostream& operator<<(std::ostream& out, const SpriteTint& t) { return out << t.name; }

class SpriteTintTest : public PlayerSpriteTest, public ::testing::WithParamInterface<SpriteTint> {};

TEST_P(SpriteTintTest, theFigureIsTintedByTheFirstRuleThatApplies) {
    const SpriteTint& t = GetParam();
    player.facing = Facing::Left;  // column 1 of sheet 1
    player.spriteRow = 6;
    player.litByLava = t.litByLava;
    player.hurtFlash = static_cast<HurtFlash>(t.hurtFlash);
    worldClock.nightLevel = t.nightLevel;
    drawPlayer(currentGame(), t.ghost);
    EXPECT_TRUE(near(at(316, 111), t.expected));
}

INSTANTIATE_TEST_SUITE_P(
    EachRule, SpriteTintTest,
    ::testing::Values(SpriteTint{"plain", false, false, 0, 0, {23, 190, 40}},
                      SpriteTint{"ghost at 30 percent", true, true, 5, 2, {77, 127, 82}},
                      SpriteTint{"lava light", false, true, 5, 2, {16, 133, 28}},
                      SpriteTint{"night 1 leaves it bright", false, false, 1, 0, {23, 190, 40}},
                      SpriteTint{"night 2", false, false, 2, 2, {12, 95, 20}},
                      SpriteTint{"night 3", false, false, 3, 2, {9, 76, 16}},
                      SpriteTint{"night 4", false, false, 4, 0, {7, 57, 12}},
                      SpriteTint{"night 5", false, false, 5, 0, {5, 38, 8}},
                      SpriteTint{"hurt red by day", false, false, 0, 2, {62, 60, 52}},
                      SpriteTint{"hurt red at night 1", false, false, 1, 2, {62, 60, 52}},
                      SpriteTint{"first half of the flash", false, false, 0, 1, {23, 190, 40}}));

}  // namespace

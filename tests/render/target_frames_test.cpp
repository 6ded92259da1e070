// The marks that help a new player, drawn both ways: the target outline at
// both working heights by day and by night, and the ground kept in view
// under a tower. In the classic picture (the second run of the twin frames)
// none of them shows.
#include "render/assets.h"
#include "render/render_fixture.h"
#include "render/twin_frames.h"
#include "render/world_view.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

namespace {

constexpr Rgb kOutline{255, 226, 64};

class TargetFrames : public TwinFrameTest {
protected:
    static int outlinePixels() { return countPixels(lastFrame(), 0, 0, 640, 480, kOutline); }
};

TEST_F(TargetFrames, theTargetAtBothHeightsByDayAndByNight) {
    scene = "target";
    fillGround(14, 16);
    plantTree(13, 9, 14);
    startRun(10, 10, 14);
    hold({KeyDown}, 2);  // facing the open ground: room to place at body height
    idle(2);
    EXPECT_EQ(outlinePixels() > 0, !classic());
    keepForDocs(classic() ? "target-classic" : "target-day");
    hold({KeyI}, 1);  // the ground ahead: a block to mine
    idle(2);
    EXPECT_EQ(outlinePixels() > 0, !classic());
    keepForDocs("target-ground-day");
    worldClock.nightLevel = 5;
    worldClock.dayTick = 9000;
    idle(2);
    EXPECT_EQ(outlinePixels() > 0, !classic());
    keepForDocs("target-ground-night");
    hold({KeyI}, 1);
    idle(2);
    keepForDocs("target-night");
    hold({KeyF11}, 1);  // resting: nothing can be done, nothing is marked
    idle(2);
    EXPECT_EQ(outlinePixels(), 0);
}

// Facing away the target lies behind the figure, which shows it through
// itself; a pillar in front of the figure fades, so the figure shows
// through it. By day, on snow and by night, drawn both ways.
TEST_F(TargetFrames, theTargetBehindTheFigureAndTheFigureBehindAPillar) {
    scene = "see through";
    fillGround(14, 16);
    setCell(11, 11, 13, Brick);  // in front of the figure, as high as its legs
    startRun(10, 10, 14);
    auto inFigure = [](Rgb colour) { return countPixels(lastFrame(), 296, 96, 56, 72, colour); };
    // The brick's top in its own colour, as the pillar shows it unfaded.
    const Rgb brick = pixelOf(assets.tileBitmap[Brick], 32, 12);
    hold({KeyUp}, 2);  // room to place behind the figure
    idle(2);
    EXPECT_EQ(inFigure(kOutline) > 0, !classic());
    EXPECT_EQ(inFigure(brick) > 0, classic());
    keepForDocs("target-behind");
    hold({KeyLeft}, 2);
    idle(2);
    EXPECT_EQ(inFigure(kOutline) > 0, !classic());
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Snow;
    idle(3);
    keepForDocs("figure-behind-snow");
    weather.weatherActive = false;
    worldClock.nightLevel = 5;
    worldClock.dayTick = 9000;
    hold({KeyI}, 1);  // the ground ahead, dashed
    idle(2);
    keepForDocs("figure-behind-night");
    // A tree in front fades as well: it is no ground to lift off.
    worldClock.nightLevel = 0;
    plantTree(12, 12, 14);
    idle(2);
    EXPECT_FALSE(viewCut(currentGame()).covered);
    keepForDocs("figure-behind-tree");
}

// Eight levels above the ground: classic cuts the world off four below.
TEST_F(TargetFrames, theGroundUnderATower) {
    scene = "tower";
    fillGround(14, 16);
    digPond(12, 11, 14, 13, 14);
    fillBox(10, 10, 10, 10, 6, 13, Brick);
    startRun(10, 10, 6);
    idle(2);
    // Left of the tower the ground lies eight levels down.
    const Rgb below = pixelOf(lastFrame(), 110, 300);
    const bool sky = below == Rgb{211, 250, 245};
    EXPECT_EQ(sky, classic()) << "the day sky shows where the ground is cut";
    keepForDocs(classic() ? "tower-classic" : "tower-ground");
    hold({KeyRight}, 8);  // a step off the tower's top into the air
    idle(30);
}

}  // namespace

// One game frame's effects on the game, in the frame's order, with nothing
// drawn: the lightning, the world tick, the level scroll, the rest sheet, the
// snow cover and the sounds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "game/frame_step.h"
#include "support/fresh_game.h"
#include "util/random.h"

namespace {

// A seed whose first lightning roll of 0..300 is 1, or is not.
unsigned seedWithFirstRoll(bool one) {
    seedRandom();
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if ((randomInt(0, 300) == 1) == one) return seed;
    }
}

std::vector<FrameSound> soundsOf(const GameFrame& frame) {
    return {frame.sounds.requested, frame.sounds.requested + frame.sounds.count};
}

class FrameStep : public ::testing::Test {
protected:
    void SetUp() override { startOn(10); }
    // The player on (5, 5) at a level, which the world tick leaves alone.
    void startOn(int level) {
        fresh::startGame(5, 5, level);
        player.autoJump = false;
        camera.levelScroll = 0;
        std::srand(seedWithFirstRoll(false));
    }
    GameFrame stepWithLightning(bool rollOfOne) {
        std::srand(seedWithFirstRoll(rollOfOne));
        return stepGameFrame();
    }
};

TEST_F(FrameStep, OnlyRainWithARollOfOneFlashesAndThunders) {
    const struct {
        bool falling;
        WeatherKind kind;
        bool rollOfOne;
        SkyKind sky;
    } cases[] = {
        {false, WeatherKind::Rain, true, SkyKind::Day},
        {true, WeatherKind::Snow, true, SkyKind::Overcast},
        {true, WeatherKind::Rain, false, SkyKind::Overcast},
        {true, WeatherKind::Rain, true, SkyKind::Flash},
    };
    for (const auto& c : cases) {
        weather.weatherActive = c.falling;
        weather.weatherKind = c.kind;
        const GameFrame frame = stepWithLightning(c.rollOfOne);
        EXPECT_EQ(frame.sky, c.sky) << static_cast<int>(c.sky);
        const std::vector<FrameSound> thunder{FrameSound::Thunder};
        EXPECT_EQ(soundsOf(frame), c.sky == SkyKind::Flash ? thunder : std::vector<FrameSound>{});
    }
}

TEST_F(FrameStep, TheScrollFollowsTheLevelTheWorldTickLeavesAndStaysOutsideTheBand) {
    player.autoJump = true;
    setCell(5, 5, 7, Cobblestone);
    camera.levelScroll = 320;
    GameFrame frame = stepGameFrame();
    EXPECT_EQ(player.level, 7) << "auto-jump put the player on its column";
    EXPECT_EQ(camera.levelScroll, 224);
    EXPECT_EQ(frame.scrollBefore, 320) << "the cells before the figure still use the old one";

    player.autoJump = false;
    const struct {
        int level, scroll;
    } cases[] = {{0, 0}, {4, 128}, {20, 640}, {21, 640}, {-1, 640}};
    for (const auto& c : cases) {
        const int before = camera.levelScroll;
        player.level = c.level;
        frame = stepGameFrame();
        EXPECT_EQ(camera.levelScroll, c.scroll) << "level " << c.level;
        EXPECT_EQ(frame.scrollBefore, before) << "level " << c.level;
    }
}

TEST_F(FrameStep, RestModeShowsTheRestSheet) {
    player.spriteSheet = SpriteSheet::Walking;
    stepGameFrame();
    EXPECT_EQ(player.spriteSheet, SpriteSheet::Walking);
    player.resting = true;
    stepGameFrame();
    EXPECT_EQ(player.spriteSheet, SpriteSheet::Resting);
}

TEST_F(FrameStep, TheSnowKindRaisesSnowCoverAfterTheTickWhetherOrNotSnowFalls) {
    setCell(3, 3, 12, Grass);
    setCell(4, 3, 12, Earth);
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Snow;
    stepGameFrame();
    EXPECT_TRUE(weather.snowCover);
    EXPECT_EQ(cell(3, 3, 12), Grass) << "this frame's tick ran before the cover was raised";
    stepGameFrame();
    EXPECT_EQ(cell(3, 3, 12), SnowCovered);
    EXPECT_EQ(cell(4, 3, 12), SnowCovered);

    weather = WeatherState{};
    weather.weatherKind = WeatherKind::Snow;
    stepGameFrame();
    EXPECT_TRUE(weather.snowCover) << "snow kind, nothing falling";

    weather = WeatherState{};
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    stepGameFrame();
    EXPECT_FALSE(weather.snowCover) << "rain covers nothing";
}

TEST_F(FrameStep, HurtAndSplashFollowWhatThisFramesTickNotedAfterTheThunder) {
    setCell(5, 5, 10, Lava);  // underfoot by day
    EXPECT_EQ(soundsOf(stepGameFrame()), std::vector<FrameSound>{FrameSound::Hurt});
    EXPECT_EQ(player.hurtFlash, HurtFlash::Plain);

    startOn(10);
    setCell(5, 5, 10, Water);
    player.busy = true;  // walking
    EXPECT_EQ(soundsOf(stepGameFrame()), std::vector<FrameSound>{FrameSound::Splash});
    player.busy = false;
    EXPECT_TRUE(soundsOf(stepGameFrame()).empty()) << "standing still in water";

    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    player.hurtFlash = HurtFlash::Red;
    player.busy = true;
    EXPECT_EQ(soundsOf(stepWithLightning(true)),
              (std::vector<FrameSound>{FrameSound::Thunder, FrameSound::Hurt, FrameSound::Splash}));
}

}  // namespace

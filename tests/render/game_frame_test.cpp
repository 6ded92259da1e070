// The game frame: sky, lightning, night layer, the world tick and the world,
// the ghost, the weather overlay, the HUD and hotbar, and the sound requests.
#include "app/main_loop.h"
#include "app/sound.h"
#include "render/render_fixture.h"

#include <allegro5/allegro_font.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/assets.h"
#include "render/game_frame.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "util/random.h"
#include "world/world_grid.h"

namespace {

constexpr Rgb kDaySky{211, 250, 245};
constexpr Rgb kOvercast{111, 150, 145};
constexpr Rgb kFlash{241, 250, 245};
constexpr const char* kThunder = "data/sfx/sfx002.wav";
constexpr const char* kHurt = "data/sfx/sfx031.wav";
constexpr const char* kSplash = "data/sfx/sfx042.wav";

std::vector<std::string> requestedSounds;
bool recordSound(const char* name) {
    requestedSounds.push_back(name);
    return true;
}

// A seed whose first roll of 0..300 is 1 (or is not), so a test can decide
// whether this frame's lightning roll strikes.
unsigned seedWithFirstRoll(bool one) {
    seedRandom();
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if ((randomInt(0, 300) == 1) == one) return seed;
    }
}

class GameFrameTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        standPlayer(5, 5, 10);
        player.spriteSheet = SpriteSheet::Unset;
        requestedSounds.clear();
        setSoundRequest(recordSound);
        std::srand(seedWithFirstRoll(false));
    }
    void lightningRollOf(bool one) { std::srand(seedWithFirstRoll(one)); }
    // A spot of open sky: no weather mark, no hotbar, no HUD picture.
    Rgb sky() const { return at(5, 240); }
};

TEST_F(GameFrameTest, aClearDayShowsTheDaySkyAndRequestsNoSound) {
    playGameFrame();
    EXPECT_EQ(sky(), kDaySky);
    EXPECT_TRUE(requestedSounds.empty());
}

TEST_F(GameFrameTest, fallingWeatherTurnsTheSkyOvercast) {
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Snow;
    playGameFrame();
    EXPECT_EQ(sky(), kOvercast);
}

TEST_F(GameFrameTest, rainWithARollOfOneFlashesAndThunders) {
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    lightningRollOf(true);
    playGameFrame();
    EXPECT_EQ(sky(), kFlash);
    EXPECT_EQ(requestedSounds, std::vector<std::string>{kThunder});
}

TEST_F(GameFrameTest, noLightningFromSnowFromAClearSkyOrFromAnotherRoll) {
    weather.weatherKind = WeatherKind::Rain;
    lightningRollOf(true);
    playGameFrame();
    EXPECT_EQ(sky(), kDaySky) << "no weather falling";

    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Snow;
    lightningRollOf(true);
    playGameFrame();
    EXPECT_EQ(sky(), kOvercast) << "snow";

    weather.weatherKind = WeatherKind::Rain;
    lightningRollOf(false);
    playGameFrame();
    EXPECT_EQ(sky(), kOvercast) << "rain, roll other than 1";
    EXPECT_TRUE(requestedSounds.empty());
}

TEST_F(GameFrameTest, everyFrameDrawsExactlyOneLightningRollWhateverTheWeather) {
    std::srand(77);
    randomInt(0, 300);
    const int next = std::rand();
    std::srand(77);
    playGameFrame();
    EXPECT_EQ(std::rand(), next);
}

TEST_F(GameFrameTest, atNightTheNightLayerCoversTheFlash) {
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    worldClock.nightLevel = 5;
    lightningRollOf(true);
    playGameFrame();
    // 0.9 * rgb(0, 0, 100) + 0.1 * the flash
    EXPECT_TRUE(near(sky(), Rgb{24, 25, 114}));
}

struct NightLayer {
    double nightLevel;
    Rgb expected;  // rgb(0, 0, 100) over the day sky
};
void PrintTo(const NightLayer& c, std::ostream* out) { *out << "night " << c.nightLevel; }

class NightLayerTest : public GameFrameTest, public ::testing::WithParamInterface<NightLayer> {};

TEST_P(NightLayerTest, theNightLayerIsLaidWithTheAlphaOfItsLevel) {
    worldClock.nightLevel = GetParam().nightLevel;
    playGameFrame();
    EXPECT_TRUE(near(sky(), GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    EachNightLevel, NightLayerTest,
    ::testing::Values(NightLayer{0, {211, 250, 245}}, NightLayer{1, {169, 200, 216}},
                      NightLayer{2, {127, 150, 187}}, NightLayer{3, {106, 125, 172}},
                      NightLayer{4, {84, 100, 158}}, NightLayer{5, {21, 25, 114}},
                      NightLayer{2.5, {0, 0, 100}}));

TEST_F(GameFrameTest, theWorldTickRunsBeforeTheWorldIsDrawn) {
    setCell(7, 7, 10, Water);  // the player's ground level: it spreads at once
    playGameFrame();
    EXPECT_EQ(cell(20, 7, 10), Water);
    // (8, 7, 10) is drawn at (320, 224): water over the sky, not the sky
    EXPECT_FALSE(at(322, 226) == kDaySky);
}

TEST_F(GameFrameTest, theFigureShowsThroughABlockInFrontAtThirtyPercent) {
    player.spriteSheet = SpriteSheet::Standing;
    player.facing = Facing::Left;
    player.spriteRow = 6;           // rgb(23, 190, 40)
    setCell(6, 5, 9, Cobblestone);  // rgb(60, 180, 120), drawn after the figure at (320, 128)
    playGameFrame();
    EXPECT_TRUE(near(at(325, 130), Rgb{49, 183, 96}));
    EXPECT_EQ(at(315, 110), (Rgb{23, 190, 40})) << "the ghost over the figure changes nothing";
}

TEST_F(GameFrameTest, theHudFrameLiesOverTheWorld) {
    playGameFrame();
    EXPECT_EQ(at(635, 5), (Rgb{9, 9, 9}));
}

// The hotbar: a strip at 90 %, icons from the tile corner, counts, the cursor.
class HotbarTest : public GameFrameTest {
protected:
    void SetUp() override {
        GameFrameTest::SetUp();
        const BlockId slots[kHotbarSlots] = {1, 6, 2, 4, 13, -3, 99, Water, 0};
        std::copy(std::begin(slots), std::end(slots), player.hotbar);
        player.blockCounts[1] = 3;
        player.blockCounts[2] = 12;
        player.blockCounts[4] = 0;
        player.blockCounts[13] = -2;
        player.blockCounts[Water] = 1;
        player.blockCounts[0] = 5;
        player.selectedSlot = 3;
    }
    static int slotX(int slot) { return 184 + 30 * slot; }
    int countPixelsOfSlot(int slot) const {
        return countPixels(frame, slotX(slot) + 9, 433, 16, 8, kWhite);
    }
    // The strip at 90 % over the day sky.
    static constexpr Rgb kStrip{129, 79, 204};
};

TEST_F(HotbarTest, theStripIsDrawnAtNinetyPercent) {
    playGameFrame();
    EXPECT_TRUE(near(at(183, 449), kStrip));
}

TEST_F(HotbarTest, aSlotWithStockShowsTheTileCornerAndItsCount) {
    playGameFrame();
    for (int slot : {0, 2}) {
        const BlockId id = player.hotbar[slot];
        EXPECT_EQ(at(slotX(slot), 420), tileIconColour(id)) << "slot " << slot;
        EXPECT_EQ(at(slotX(slot) + 25, 445), tileIconColour(id)) << "slot " << slot;
        EXPECT_TRUE(near(at(slotX(slot) + 26, 446), kStrip)) << "26 x 26 only, slot " << slot;
        EXPECT_GT(countPixelsOfSlot(slot), 5) << "slot " << slot;
    }
    EXPECT_EQ(at(slotX(7), 420), stripColour(Water, 0)) << "an animated tile's first frame";
}

TEST_F(HotbarTest, theCountIsDrawnAsANumberInWhite) {
    playGameFrame();
    ALLEGRO_BITMAP* expected = solidBitmap(16, 8, kBlack);
    al_set_target_bitmap(expected);
    al_draw_text(assets.smallFont, al_map_rgb(255, 255, 255), 0, 0, 0, "12");
    al_set_target_bitmap(frame);
    int lit = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inFrame = at(slotX(2) + 9 + x, 433 + y) == kWhite;
            const bool inText = pixelOf(expected, x, y) == kWhite;
            EXPECT_EQ(inFrame, inText) << "at " << x << ", " << y;
            lit += inText;
        }
    }
    EXPECT_GT(lit, 10);
    al_destroy_bitmap(expected);
}

TEST_F(HotbarTest, emptySlotsCountsOfZeroAndValuesWithoutATileShowNothing) {
    playGameFrame();
    for (int slot : {1, 3, 4, 5, 6, 8}) {
        EXPECT_TRUE(near(at(slotX(slot) + 2, 422), kStrip)) << "slot " << slot;
        EXPECT_EQ(countPixelsOfSlot(slot), 0) << "slot " << slot;
    }
}

TEST_F(HotbarTest, theCursorIsDrawnOverTheSelectedSlotEvenWhenItIsEmpty) {
    playGameFrame();
    const int x = 182 + 30 * 3;
    EXPECT_EQ(at(x, 430), kWhite);
    EXPECT_EQ(at(x + 29, 430), kWhite);
    EXPECT_EQ(at(x + 10, 416), kWhite);
    EXPECT_TRUE(near(at(x + 10, 430), kStrip));
}

TEST_F(GameFrameTest, theHurtFlashRequestsTheHurtSound) {
    player.hurtFlash = HurtFlash::Plain;
    playGameFrame();
    EXPECT_EQ(requestedSounds, std::vector<std::string>{kHurt});
}

TEST_F(GameFrameTest, movingOnWaterRequestsTheSplashAndStandingStillDoesNot) {
    setCell(5, 5, 10, Water);
    playGameFrame();
    EXPECT_TRUE(player.onWater);
    EXPECT_TRUE(requestedSounds.empty());
    player.busy = true;
    playGameFrame();
    EXPECT_EQ(requestedSounds, std::vector<std::string>{kSplash});
}

TEST_F(GameFrameTest, soundsAreRequestedThunderFirstThenHurtThenSplash) {
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    player.hurtFlash = HurtFlash::Red;
    player.busy = true;
    player.onWater = true;
    lightningRollOf(true);
    playGameFrame();
    EXPECT_EQ(requestedSounds, (std::vector<std::string>{kThunder, kHurt, kSplash}));
}

TEST_F(GameFrameTest, withoutASoundHookTheFrameIsSilent) {
    setSoundRequest(nullptr);
    player.hurtFlash = HurtFlash::Plain;
    playGameFrame();
    EXPECT_EQ(sky(), kDaySky);
}

// The weather overlay on its own: forty tiles of 80 x 100, each test picture
// frame marked in its top-left 4 x 4 corner.
class WeatherTest : public GameFrameTest {
protected:
    void SetUp() override {
        GameFrameTest::SetUp();
        clearFrame(Rgb{100, 100, 100});
    }
};

TEST_F(WeatherTest, fallingRainCoversTheScreenWithFortyTilesAtSixtyPercent) {
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
    weather.weatherAnimFrame = 2;
    drawWeather(currentGame());
    // 0.6 * rgb(10, 200, 180) + 0.4 * rgb(100, 100, 100)
    const Rgb mark{46, 160, 148};
    for (int col = 0; col < 8; ++col) {
        for (int row = 0; row < 5; ++row) {
            EXPECT_TRUE(near(at(80 * col + 3, 100 * row + 3), mark)) << col << ", " << row;
        }
    }
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, Rgb{100, 100, 100}), 640 * 480 - 40 * 16);
}

TEST_F(WeatherTest, snowShowsItsOwnStripFrame) {
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Snow;
    weather.weatherAnimFrame = 3;
    drawWeather(currentGame());
    // 0.6 * rgb(220, 160, 250) + 0.4 * rgb(100, 100, 100)
    EXPECT_TRUE(near(at(0, 0), Rgb{172, 136, 190}));
}

TEST_F(WeatherTest, theSnowKindDrawsNothingWhileNothingFalls) {
    weather.weatherKind = WeatherKind::Snow;
    drawWeather(currentGame());
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, Rgb{100, 100, 100}), 640 * 480);
}

TEST_F(WeatherTest, aKindWithoutAPictureDrawsNoWeather) {
    weather.weatherActive = true;
    weather.weatherKind = static_cast<WeatherKind>(3);
    drawWeather(currentGame());
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, Rgb{100, 100, 100}), 640 * 480);
}

}  // namespace

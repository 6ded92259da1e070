// The world changing by itself: liquids, snow, the player's footing once per
// game frame, and the day, weather, tile, hurt and intro clocks once per tick.
#include "rules/world_tick.h"

#include "rules/game_screen.h"
#include "rules/player_state.h"
#include "util/random.h"
#include "world/world_grid.h"

namespace {

// The trigger is the run's first random draw, made before main; it decides
// once whether weather keeps coming back all run long.
WeatherState weatherAtStart() {
    WeatherState state;
    state.weatherTrigger = randomInt(0, 300);
    return state;
}

}  // namespace

WeatherState weather = weatherAtStart();
WorldClock worldClock;

namespace {

// The column pass and the ground search cover the band, not the bounds.

// Columns lit by lava at the player's level: two away, then next to it.
constexpr int kLightDx[8] = {0, 0, -2, 2, 0, 0, -1, 1};
constexpr int kLightDy[8] = {-2, 2, 0, 0, -1, 1, 0, 0};

// Liquids reach their neighbours in this order: +y, -y, -x, +x.
constexpr int kFlowDx[4] = {0, 0, -1, 1};
constexpr int kFlowDy[4] = {1, -1, 0, 0};

struct DayMark {
    int tick;
    double night;
};
// Dusk, the deep night and dawn; the last mark starts a new day.
constexpr DayMark kDayMarks[] = {
    {8000, 1.0},  {8030, 2.0},  {8060, 3.0},  {8090, 4.0},  {8110, 5.0},
    {16140, 4.0}, {16170, 3.0}, {16200, 2.0}, {16230, 1.0}, {16320, 0.0},
};
constexpr int kDayLength = 16320;

constexpr int kWeatherCycleTicks = 15;
constexpr int kSpellCycles = 200;  // a spell ends once this many have passed
constexpr int kTileAnimTicks = 80;
constexpr int kHurtFlashTicks = 75;

constexpr int kIntroStageTicks[4] = {30, 60, 90, 120};
constexpr int kIntroEndTick = 160;
constexpr int kBlinkOffTick = 15;
constexpr int kBlinkCycleTicks = 30;

void lavaLight(int level) {
    for (int n = 0; n < 8; ++n) {
        if (cell(player.x + kLightDx[n], player.y + kLightDy[n], level) == Lava) {
            player.litByLava = worldClock.nightLevel > 0;
            return;
        }
    }
    player.litByLava = false;
}

// Snow only settles on ground that is open to the sky.
void coverWithSnow(int i, int j) {
    BlockId above = cell(i, j, -1);
    for (int k = 0; k <= kBandEdge; ++k) {
        BlockId id = cell(i, j, k);
        if ((id == Grass || id == Earth) && above == Empty) {
            id = SnowCovered;
            setCell(i, j, k, id);
        }
        above = id;
    }
}

void fillEmptyNeighbours(int i, int j, int level, BlockId liquid) {
    for (int n = 0; n < 4; ++n) {
        if (cell(i + kFlowDx[n], j + kFlowDy[n], level) == Empty)
            setCell(i + kFlowDx[n], j + kFlowDy[n], level, liquid);
    }
}

// Water touching lava sets hard.
void hardenWater(int i, int j, int level) {
    for (int n = 0; n < 4; ++n) {
        if (cell(i + kFlowDx[n], j + kFlowDy[n], level) == Water)
            setCell(i + kFlowDx[n], j + kFlowDy[n], level, HardRock);
    }
}

// Only the player's ground level flows, and the writes land in place, so a
// liquid runs all the way toward +x and +y in one pass but creeps back one
// cell per pass.
void flowLiquid(int i, int j, int level) {
    BlockId id = cell(i, j, level);
    if (id == Water) {
        fillEmptyNeighbours(i, j, level, Water);
    } else if (id == Lava) {
        fillEmptyNeighbours(i, j, level, Lava);
        hardenWater(i, j, level);
    }
}

void columnPass(int level) {
    bool snowing = weather.weatherActive && weather.snowCover;
    for (int i = 0; i <= kBandEdge; ++i) {
        for (int j = 0; j <= kBandEdge; ++j) {
            if (snowing) coverWithSnow(i, j);
            if (i >= 1 && i < kBandEdge && j >= 1 && j < kBandEdge) flowLiquid(i, j, level);
        }
    }
}

void refreshTarget(int level) {
    Column ahead = columnAhead();
    player.targetBlock = cell(ahead.x, ahead.y, level - player.targetRaised);
}

void climbToColumnTop() {
    for (int a = 0; a <= kBandEdge; ++a) {
        if (isSolid(cell(player.x, player.y, a))) {
            player.level = a;
            return;
        }
    }
}

// By day lava underfoot hurts; a flash already running is left to finish.
void noteFooting() {
    if (player.hurtFlash != HurtFlash::Off || worldClock.nightLevel >= 1.0) return;
    BlockId ground = cell(player.x, player.y, player.level);
    if (ground == Lava) {
        player.hurtFlash = HurtFlash::Plain;
        player.onWater = false;
    } else {
        player.onWater = ground == Water;
    }
}

void advanceDay() {
    worldClock.dayTick += 1;
    for (const DayMark& mark : kDayMarks) {
        if (worldClock.dayTick == mark.tick) worldClock.nightLevel = mark.night;
    }
    if (worldClock.dayTick >= kDayLength) worldClock.dayTick = 0;
}

void advanceSloganBlink() {
    gameScreen.sloganBlinkTicks += 1;
    if (gameScreen.sloganBlinkTicks == kBlinkOffTick) gameScreen.sloganBlinkOn = false;
    if (gameScreen.sloganBlinkTicks >= kBlinkCycleTicks) {
        gameScreen.sloganBlinkOn = true;
        gameScreen.sloganBlinkTicks = 0;
    }
}

// The strip shows frames 0, 2 and 3, five ticks each; frame 1 is unused.
void advanceWeather() {
    if (!weather.weatherActive) return;
    weather.weatherTick += 1;
    if (weather.weatherTick == 5) weather.weatherAnimFrame = 2;
    if (weather.weatherTick == 10) weather.weatherAnimFrame = 3;
    if (weather.weatherTick < kWeatherCycleTicks) return;
    weather.weatherCycles += 1;
    if (weather.weatherCycles > kSpellCycles) {
        weather.weatherActive = false;
        weather.snowCover = false;
        weather.weatherCycles = 0;
    }
    weather.weatherAnimFrame = 0;
    weather.weatherTick = 0;
}

void advanceTileAnimation() {
    worldClock.blockAnimTick += 1;
    if (worldClock.blockAnimTick >= kTileAnimTicks) worldClock.blockAnimTick = 0;
    worldClock.blockAnimFrame = worldClock.blockAnimTick / 20;
}

void advanceIntro() {
    if (!gameScreen.introShown) return;
    gameScreen.introTicks += 1;
    for (int stage = 0; stage < 4; ++stage) {
        if (gameScreen.introTicks == kIntroStageTicks[stage]) gameScreen.introStage = stage + 1;
    }
    if (gameScreen.introTicks >= kIntroEndTick) {
        gameScreen.introShown = false;
        gameScreen.introStage = 0;
        gameScreen.introTicks = 0;
        gameScreen.menuShown = true;
    }
}

// Red for ticks 15..29 and 45..59 of the 75-tick flash.
void advanceHurtFlash() {
    if (!isHurt(player.hurtFlash)) return;
    player.hurtFlashTick += 1;
    switch (player.hurtFlashTick) {
        case 15:
        case 45:
            player.hurtFlash = HurtFlash::Red;
            break;
        case 30:
        case 60:
            player.hurtFlash = HurtFlash::Plain;
            break;
        default:
            break;
    }
    if (player.hurtFlashTick >= kHurtFlashTicks) {
        player.hurtFlash = HurtFlash::Off;
        player.hurtFlashTick = 0;
    }
}

}  // namespace

void worldTick() {
    const int level = player.level;
    lavaLight(level);
    if (weather.weatherTrigger >= 1 && weather.weatherTrigger <= 4) weather.weatherActive = true;
    columnPass(level);
    refreshTarget(level);
    if (player.autoJump) climbToColumnTop();
    noteFooting();
}

void advanceClocks() {
    advanceDay();
    advanceSloganBlink();
    advanceWeather();
    advanceTileAnimation();
    advanceIntro();
    advanceHurtFlash();
}

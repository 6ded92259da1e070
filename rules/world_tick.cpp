// The world changing by itself: liquids, snow, each player's footing once
// per game frame, and the day, weather and tile clocks once per tick.
#include "rules/world_tick.h"

#include "util/random.h"

WeatherState weather;
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

void lavaLight(World world, PlayerState& p) {
    for (int n = 0; n < 8; ++n) {
        if (cellOf(world.grid, p.x + kLightDx[n], p.y + kLightDy[n], p.level) == Lava) {
            p.litByLava = world.clock.nightLevel > 0;
            return;
        }
    }
    p.litByLava = false;
}

// Snow only settles on ground that is open to the sky.
void coverWithSnow(WorldGrid& grid, int i, int j) {
    BlockId above = cellOf(grid, i, j, -1);
    for (int k = 0; k <= kBandEdge; ++k) {
        BlockId id = cellOf(grid, i, j, k);
        if ((id == Grass || id == Earth) && above == Empty) {
            id = SnowCovered;
            setCellOf(grid, i, j, k, id);
        }
        above = id;
    }
}

void fillEmptyNeighbours(WorldGrid& grid, int i, int j, int level, BlockId liquid) {
    for (int n = 0; n < 4; ++n) {
        if (cellOf(grid, i + kFlowDx[n], j + kFlowDy[n], level) == Empty)
            setCellOf(grid, i + kFlowDx[n], j + kFlowDy[n], level, liquid);
    }
}

// Water touching lava sets hard.
void hardenWater(WorldGrid& grid, int i, int j, int level) {
    for (int n = 0; n < 4; ++n) {
        if (cellOf(grid, i + kFlowDx[n], j + kFlowDy[n], level) == Water)
            setCellOf(grid, i + kFlowDx[n], j + kFlowDy[n], level, HardRock);
    }
}

// Only the players' ground levels flow, and the writes land in place, so a
// liquid runs all the way toward +x and +y in one pass but creeps back one
// cell per pass.
void flowLiquid(WorldGrid& grid, int i, int j, int level) {
    BlockId id = cellOf(grid, i, j, level);
    if (id == Water) {
        fillEmptyNeighbours(grid, i, j, level, Water);
    } else if (id == Lava) {
        fillEmptyNeighbours(grid, i, j, level, Lava);
        hardenWater(grid, i, j, level);
    }
}

void columnPass(World world, int level, bool snowing) {
    for (int i = 0; i <= kBandEdge; ++i) {
        for (int j = 0; j <= kBandEdge; ++j) {
            if (snowing) coverWithSnow(world.grid, i, j);
            if (i >= 1 && i < kBandEdge && j >= 1 && j < kBandEdge)
                flowLiquid(world.grid, i, j, level);
        }
    }
}

// One pass for each level a player stands on, the first also laying snow;
// two players on one level make one pass, as one player would.
void passLevels(World world, PlayerState* const players[], int count) {
    bool snowing = world.weather.weatherActive && world.weather.snowCover;
    for (int n = 0; n < count; ++n) {
        bool seen = false;
        for (int m = 0; m < n; ++m) seen = seen || players[m]->level == players[n]->level;
        if (seen) continue;
        columnPass(world, players[n]->level, snowing);
        snowing = false;
    }
    if (snowing) columnPass(world, kBandEdge + 1, true);  // nobody there: the snow alone
}

void refreshTarget(const WorldGrid& grid, PlayerState& p) {
    Column ahead = columnAhead(p);
    p.targetBlock = cellOf(grid, ahead.x, ahead.y, p.level - p.targetRaised);
}

void climbToColumnTop(const WorldGrid& grid, PlayerState& p) {
    for (int a = 0; a <= kBandEdge; ++a) {
        if (isSolid(cellOf(grid, p.x, p.y, a))) {
            p.level = a;
            return;
        }
    }
}

// By day lava underfoot hurts; a flash already running is left to finish.
void noteFooting(World world, PlayerState& p) {
    if (p.hurtFlash != HurtFlash::Off || world.clock.nightLevel >= 1.0) return;
    BlockId ground = cellOf(world.grid, p.x, p.y, p.level);
    if (ground == Lava) {
        p.hurtFlash = HurtFlash::Plain;
        p.onWater = false;
    } else {
        p.onWater = ground == Water;
    }
}

void advanceDay(WorldClock& clock) {
    clock.dayTick += 1;
    for (const DayMark& mark : kDayMarks) {
        if (clock.dayTick == mark.tick) clock.nightLevel = mark.night;
    }
    if (clock.dayTick >= kDayLength) clock.dayTick = 0;
}

// The strip shows frames 0, 2 and 3, five ticks each; frame 1 is unused.
void advanceWeather(WeatherState& sky) {
    if (!sky.weatherActive) return;
    sky.weatherTick += 1;
    if (sky.weatherTick == 5) sky.weatherAnimFrame = 2;
    if (sky.weatherTick == 10) sky.weatherAnimFrame = 3;
    if (sky.weatherTick < kWeatherCycleTicks) return;
    sky.weatherCycles += 1;
    if (sky.weatherCycles > kSpellCycles) {
        sky.weatherActive = false;
        sky.snowCover = false;
        sky.weatherCycles = 0;
    }
    sky.weatherAnimFrame = 0;
    sky.weatherTick = 0;
}

void advanceTileAnimation(WorldClock& clock) {
    clock.blockAnimTick += 1;
    if (clock.blockAnimTick >= kTileAnimTicks) clock.blockAnimTick = 0;
    clock.blockAnimFrame = clock.blockAnimTick / 20;
}

}  // namespace

World localWorld() { return World{world, weather, worldClock}; }

void drawWeatherTrigger(WeatherState& state) { state.weatherTrigger = randomInt(0, 300); }

void worldTick(World world, PlayerState* const players[], int count) {
    for (int n = 0; n < count; ++n) lavaLight(world, *players[n]);
    WeatherState& sky = world.weather;
    if (sky.weatherTrigger >= 1 && sky.weatherTrigger <= 4) sky.weatherActive = true;
    passLevels(world, players, count);
    // The target is read at the level the tick began on; auto-jump moves
    // the player only after it.
    for (int n = 0; n < count; ++n) {
        PlayerState& p = *players[n];
        refreshTarget(world.grid, p);
        if (p.autoJump) climbToColumnTop(world.grid, p);
        noteFooting(world, p);
        if (p.resting) p.spriteSheet = SpriteSheet::Resting;
    }
    // Snow settles whenever the kind is snow; the pass above also asks
    // whether it is falling before it covers anything.
    if (sky.weatherKind == WeatherKind::Snow) sky.snowCover = true;
}

void worldTick(World world, PlayerState& p) {
    PlayerState* const one[] = {&p};
    worldTick(world, one, 1);
}

void playerPartOfTick(World world, PlayerState& p) {
    lavaLight(world, p);
    refreshTarget(world.grid, p);
    if (p.autoJump) climbToColumnTop(world.grid, p);
    noteFooting(world, p);
    if (p.resting) p.spriteSheet = SpriteSheet::Resting;
}

void advanceClocks(World world) {
    advanceDay(world.clock);
    advanceWeather(world.weather);
    advanceTileAnimation(world.clock);
}

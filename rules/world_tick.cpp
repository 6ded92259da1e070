// The world changing by itself: liquids, snow, each player's footing once
// per game frame, and the day, weather and tile clocks once per tick.
#include "rules/world_tick.h"

#include <algorithm>
#include <iterator>

#include "rules/liquids.h"
#include "util/random.h"

WeatherState weather;
WorldClock worldClock;

namespace {

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
        if (liquidOf(cellOf(world.grid, p.x + kLightDx[n], p.y + kLightDy[n], p.level)) == Lava) {
            p.litByLava = world.clock.nightLevel > 0;
            return;
        }
    }
    p.litByLava = false;
}

// Snow only settles on ground that is open to the sky.
void coverWithSnow(WorldGrid& grid, int i, int j) {
    BlockId above = cellOf(grid, i, j, -1);
    for (int k = 0; k <= kLowestLevel; ++k) {
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

bool isAwake(const std::uint64_t* bits, int column) {
    return bits != nullptr && (bits[column >> 6] >> (column & 63) & 1) != 0;
}

void putToSleep(std::uint64_t* bits, int column) {
    if (bits != nullptr) bits[column >> 6] &= ~(std::uint64_t{1} << (column & 63));
}

// The first column from `from` to `last` awake in either set, or past `last`.
// The words are read afresh on every call, so a column woken ahead by the
// pass itself is visited in this same pass, as the in-place writes demand.
int nextAwake(const std::uint64_t* flow, const std::uint64_t* snow, int from, int last) {
    const auto wordAt = [&](int w) { return (flow ? flow[w] : 0) | (snow ? snow[w] : 0); };
    int word = from >> 6;
    const int lastWord = last >> 6;
    if (word > lastWord) return last + 1;
    std::uint64_t bits = wordAt(word) & (~std::uint64_t{0} << (from & 63));
    while (bits == 0) {
        if (++word > lastWord) return last + 1;
        bits = wordAt(word);
    }
    return word * 64 + __builtin_ctzll(bits);
}

// A world loaded, cells written in bulk or bounds moved: everything may act.
void wakeEverything(WorldGrid& grid) {
    for (auto& level : grid.wake.cells) std::fill(std::begin(level), std::end(level), ~0ull);
    std::fill(std::begin(grid.wake.columns), std::end(grid.wake.columns), ~0ull);
    grid.wake.revision = grid.revision;
    grid.wake.maxX = grid.maxX;
    grid.wake.maxY = grid.maxY;
}

// The pass over every column in the bounds, x then y, visiting only those a
// write has woken since it last looked: one that is asleep would do nothing,
// since a liquid with no room beside it and a column already covered stay
// as they are. So the cost follows the front, and the order is the full
// pass's, which the in-place writes make matter.
void columnPass(World world, int level, bool snowing) {
    WorldGrid& grid = world.grid;
    std::uint64_t* flow = inGrid(0, 0, level) ? grid.wake.cells[level - kHighestLevel] : nullptr;
    std::uint64_t* snow = snowing ? grid.wake.columns : nullptr;
    const int lastX = std::min(grid.maxX, kGridSizeX - 1);
    const int lastY = std::min(grid.maxY, kGridSizeY - 1);
    if ((flow == nullptr && snow == nullptr) || lastX < 0 || lastY < 0) return;
    const int last = lastX * kGridSizeY + lastY;
    for (int column = nextAwake(flow, snow, 0, last); column <= last;
         column = nextAwake(flow, snow, column + 1, last)) {
        const int i = column / kGridSizeY, j = column % kGridSizeY;
        if (j <= lastY && isAwake(snow, column)) coverWithSnow(grid, i, j);
        // Covering wakes its own column again, though it is now covered.
        putToSleep(snow, column);
        if (j <= lastY && isAwake(flow, column) && i >= 1 && i < grid.maxX && j >= 1 &&
            j < grid.maxY)
            flowLiquid(grid, i, j, level);
        // Flowing fills every room beside the cell, and the writes wake it
        // again: nothing is left for it to do until a neighbour changes.
        putToSleep(flow, column);
    }
}

bool wakeIsStale(const WorldGrid& grid) {
    return grid.wake.revision != grid.revision || grid.wake.maxX != grid.maxX ||
           grid.wake.maxY != grid.maxY;
}

// A larger world's liquids do not wait for a player to stand at their level,
// and its snow takes a pass of its own.
void passStreams(World world) {
    WorldGrid& grid = world.grid;
    if (wakeIsStale(grid)) {
        wakeEverything(grid);
        wakeAllLiquids(grid);
    }
    stepLiquids(grid, world.clock.flowTick, world.clock.flowDone);
    if (world.weather.weatherActive && world.weather.snowCover)
        columnPass(world, kLowestLevel + 1, true);
}

// One pass for each level a player stands on, the first also laying snow;
// two players on one level make one pass, as one player would.
void passLevels(World world, PlayerState* const players[], int count) {
    WorldGrid& grid = world.grid;
    if (wakeIsStale(grid)) wakeEverything(grid);
    bool snowing = world.weather.weatherActive && world.weather.snowCover;
    for (int n = 0; n < count; ++n) {
        bool seen = false;
        for (int m = 0; m < n; ++m) seen = seen || players[m]->level == players[n]->level;
        if (seen) continue;
        columnPass(world, players[n]->level, snowing);
        snowing = false;
    }
    if (snowing) columnPass(world, kLowestLevel + 1, true);  // nobody there: the snow alone
}

void refreshTarget(const WorldGrid& grid, PlayerState& p) {
    Column ahead = columnAhead(p);
    p.targetBlock = cellOf(grid, ahead.x, ahead.y, p.level - p.targetRaised);
}

void climbToColumnTop(const WorldGrid& grid, PlayerState& p) {
    for (int a = 0; a <= kLowestLevel; ++a) {
        if (isSolid(cellOf(grid, p.x, p.y, a))) {
            p.level = a;
            return;
        }
    }
}

// By day lava underfoot hurts; a flash already running is left to finish.
void noteFooting(World world, PlayerState& p) {
    if (p.hurtFlash != HurtFlash::Off || world.clock.nightLevel >= 1.0) return;
    const BlockId ground = liquidOf(cellOf(world.grid, p.x, p.y, p.level));
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
    if (flowsInStreams(world.grid)) {
        passStreams(world);
    } else {
        passLevels(world, players, count);
    }
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
    world.clock.flowTick += 1;
    advanceDay(world.clock);
    advanceWeather(world.weather);
    advanceTileAnimation(world.clock);
}

// The world tick on a world as large as the grid holds: at rest it should
// cost next to nothing, and a stream should cost what its front does and
// stop a few columns from where it was poured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kSize = 300;
constexpr int kGround = 10;  // the plain the player stands on

// Earth below the plain, grass on top, air above: nothing to flow, nothing
// left to snow on once the first snowy frame has covered it.
std::unique_ptr<WorldGrid> plain() {
    auto grid = std::make_unique<WorldGrid>();
    grid->maxX = grid->maxY = kSize;
    for (int x = 0; x <= kSize; ++x)
        for (int y = 0; y <= kSize; ++y) {
            setCellOf(*grid, x, y, kGround + 1, Grass);
            for (int l = kGround + 2; l <= kLowestLevel; ++l) setCellOf(*grid, x, y, l, Earth);
        }
    return grid;
}

struct Run {
    std::unique_ptr<WorldGrid> grid = plain();
    WeatherState sky;
    WorldClock clock;
    PlayerState player;
    Run(bool snowing) {
        player.x = player.y = kSize / 2;
        player.level = kGround;
        player.autoJump = false;
        sky.weatherKind = WeatherKind::Snow;
        sky.weatherActive = snowing;
        sky.snowCover = snowing;
    }
    void tick() { worldTick(World{*grid, sky, clock}, player); }
};

// The frames after the load's first look: nothing is awake.
void BM_TickAtRest300(benchmark::State& state) {
    Run run(state.range(0) != 0);
    for (int n = 0; n < 3; ++n) run.tick();
    for (auto _ : state) run.tick();
}
BENCHMARK(BM_TickAtRest300)->Arg(0)->Arg(1)->ArgName("snowing")->Unit(benchmark::kMicrosecond);

// Water let out in the middle of the plain at the player's level, followed
// tick by tick until it has run its four columns and stopped: the mean tick
// of a stream, and the cells it wet.
void BM_TickStream300(benchmark::State& state) {
    constexpr int kTicks = 200;
    for (auto _ : state) {
        state.PauseTiming();
        Run run(false);
        for (int n = 0; n < 3; ++n) run.tick();
        setCellOf(*run.grid, kSize / 2, kSize / 2, kGround, Water);
        state.ResumeTiming();
        for (int n = 0; n < kTicks; ++n) {
            advanceClocks(World{*run.grid, run.sky, run.clock});
            run.tick();
        }
        state.PauseTiming();
        int wet = 0;
        for (int x = 0; x <= kSize; ++x)
            for (int y = 0; y <= kSize; ++y) wet += liquidOf(cellOf(*run.grid, x, y, kGround)) != 0;
        state.counters["wet"] = wet;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kTicks);
}
BENCHMARK(BM_TickStream300)->Unit(benchmark::kMillisecond);

// One block poured on a generated 300 x 300 island, once it has settled: how
// many cells change, how far from the pour (in columns, either way), and
// whether it is still changing after the pour's first 30 s.
struct Pour {
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    std::unique_ptr<WorldGrid> before = std::make_unique<WorldGrid>();
    WeatherState sky;
    WorldClock clock;
    PlayerState player;
    void ticks(int count) {
        for (int n = 0; n < count; ++n) {
            advanceClocks(World{*grid, sky, clock});
            worldTick(World{*grid, sky, clock}, player);
        }
    }
    int changedFrom(const WorldGrid& other, int x0, int y0, int* farthest) const {
        int changed = 0;
        *farthest = 0;
        for (int x = 0; x <= grid->maxX; ++x)
            for (int y = 0; y <= grid->maxY; ++y)
                for (int level = kHighestLevel; level <= kLowestLevel; ++level) {
                    if (cellOf(*grid, x, y, level) == cellOf(other, x, y, level)) continue;
                    ++changed;
                    *farthest = std::max({*farthest, std::abs(x - x0), std::abs(y - y0)});
                }
        return changed;
    }
};

int topOf(const WorldGrid& grid, int x, int y) {
    for (int level = 0; level <= kLowestLevel; ++level)
        if (cellOf(grid, x, y, level) != Empty) return level;
    return kLowestLevel + 1;
}

// Level ground: the same top in every column within four of it.
bool flatAround(const WorldGrid& grid, int x0, int y0) {
    const int top = topOf(grid, x0, y0);
    if (cellOf(grid, x0, y0, top) != Grass) return false;
    for (int x = x0 - 4; x <= x0 + 4; ++x)
        for (int y = y0 - 4; y <= y0 + 4; ++y)
            if (topOf(grid, x, y) != top || liquidOf(cellOf(grid, x, y, top)) != Empty)
                return false;
    return true;
}

// place: 0 the grass nearest the start (on a slope, falls carry it on), 1
// the highest column, 2 the level ground nearest the start.
void BM_PourOnAnIsland300(benchmark::State& state) {
    const BlockId liquid = state.range(0) == 0 ? Water : Lava;
    const bool hilltop = state.range(1) == 1;
    const bool flat = state.range(1) == 2;
    for (auto _ : state) {
        Pour pour;
        const WorldStart start = generateIslandWorld(*pour.grid, 20261208, kSize);
        pour.player.autoJump = false;
        pour.ticks(40 * 30);  // the generated seas and lakes settle first
        *pour.before = *pour.grid;
        int x0 = start.x, y0 = start.y;
        for (int x = 0; x <= pour.grid->maxX && hilltop; ++x)
            for (int y = 0; y <= pour.grid->maxY; ++y)
                if (topOf(*pour.grid, x, y) < topOf(*pour.grid, x0, y0)) x0 = x, y0 = y;
        for (int d = 0; !hilltop && cellOf(*pour.grid, x0, y0, topOf(*pour.grid, x0, y0)) != Grass;
             ++d)
            x0 = start.x + d % 7 - 3, y0 = start.y + d / 7 - 3;
        for (int d = 0; flat && d < 61 * 61 && !flatAround(*pour.grid, x0, y0); ++d)
            x0 = start.x + d % 61 - 30, y0 = start.y + d / 61 - 30;
        setCellOf(*pour.grid, x0, y0, topOf(*pour.grid, x0, y0) - 1, liquid);
        pour.ticks(40 * 30);
        auto settled = std::make_unique<WorldGrid>(*pour.grid);
        int farthest = 0;
        state.counters["changed"] = pour.changedFrom(*pour.before, x0, y0, &farthest);
        state.counters["columns"] = farthest;
        pour.ticks(40 * 10);
        int after = 0;
        state.counters["still"] = pour.changedFrom(*settled, x0, y0, &after);
    }
}
BENCHMARK(BM_PourOnAnIsland300)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"lava", "place"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

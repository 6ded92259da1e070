// The world tick on a world as large as the grid holds: at rest it should
// cost next to nothing, and a flood should cost what its front does.
#include <benchmark/benchmark.h>

#include <memory>

#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

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
// until it has covered the plain: the mean frame of the whole flood.
void BM_TickFlood300(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Run run(false);
        for (int n = 0; n < 3; ++n) run.tick();
        setCellOf(*run.grid, kSize / 2, kSize / 2, kGround, Water);
        state.ResumeTiming();
        for (int n = 0; n < kSize; ++n) run.tick();
        state.PauseTiming();
        int wet = 0;
        for (int x = 0; x <= kSize; ++x)
            for (int y = 0; y <= kSize; ++y) wet += cellOf(*run.grid, x, y, kGround) == Water;
        state.counters["wet"] = wet;  // the whole plain, once the flood is over
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_TickFlood300)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Making a new world: the island from a seed, alone and together with the
// world file the game writes for it (what pressing "New world" waits for).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "game/world_file.h"
#include "worldgen/world_kinds.h"

namespace {

void BM_GenerateIsland(benchmark::State& state) {
    std::uint32_t seed = 0;
    Terrain terrain;
    for (auto _ : state) {
        generateIsland(seed++, terrain);
        benchmark::DoNotOptimize(terrain.cells.data());
    }
}
BENCHMARK(BM_GenerateIsland)->Unit(benchmark::kMicrosecond);

void BM_GenerateIslandAndFormatItsFile(benchmark::State& state) {
    std::uint32_t seed = 0;
    Terrain terrain;
    WorldSnapshot snapshot;
    std::string text;
    for (auto _ : state) {
        generateIsland(seed++, terrain);
        snapshot.cells = terrain.cells;
        formatWorld(snapshot, text);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_GenerateIslandAndFormatItsFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

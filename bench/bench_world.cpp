// The per-frame world tick on its worst-case world; reading and writing a
// full world file, with the cost of forcing it to disk shown apart; and what
// autosave costs a game frame.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "game/paths.h"
#include "game/world_file.h"
#include "game/world_save.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "tools/world_scenes.h"
#include "world/world_grid.h"

namespace {

constexpr int kLevel = 10;

void BM_WorldTickWorstCase(benchmark::State& state) {
    player = PlayerState{};
    player.x = player.y = 10;
    player.level = kLevel;
    player.autoJump = false;
    weather.weatherActive = true;
    weather.snowCover = true;
    for (auto _ : state) {
        state.PauseTiming();
        buildFloodingWorld(kLevel);
        state.ResumeTiming();
        worldTick(localWorld(), player);
    }
}
BENCHMARK(BM_WorldTickWorstCase)->Unit(benchmark::kMicrosecond);

void BM_WorldTickSteadyFullWorld(benchmark::State& state) {
    buildFloodingWorld(kLevel);
    for (auto _ : state) worldTick(localWorld(), player);
}
BENCHMARK(BM_WorldTickSteadyFullWorld)->Unit(benchmark::kMicrosecond);

// A private folder holding the starter world in data/world, the working
// directory meanwhile.
class SaveFolder {
public:
    SaveFolder() : previous_(std::filesystem::current_path()) {
        char pattern[] = "/tmp/tessaria-bench-XXXXXX";
        path_ = ::mkdtemp(pattern);
        std::filesystem::current_path(path_);
        buildStarterWorld();
        saveWorld();
    }
    ~SaveFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }

private:
    std::filesystem::path previous_, path_;
};

void BM_ParseWorld(benchmark::State& state) {
    SaveFolder folder;
    WorldSnapshot snapshot;
    takeSnapshot(snapshot);
    std::string text;
    formatWorld(snapshot, text);
    for (auto _ : state) {
        std::istringstream in(text);
        readWorld(in);
    }
}
BENCHMARK(BM_ParseWorld)->Unit(benchmark::kMillisecond);

void BM_LoadWorld(benchmark::State& state) {
    SaveFolder folder;
    for (auto _ : state) loadWorld();
}
BENCHMARK(BM_LoadWorld)->Unit(benchmark::kMillisecond);

void BM_FormatWorld(benchmark::State& state) {
    SaveFolder folder;
    WorldSnapshot snapshot;
    takeSnapshot(snapshot);
    std::string text;
    for (auto _ : state) {
        formatWorld(snapshot, text);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_FormatWorld)->Unit(benchmark::kMillisecond);

void BM_SaveWorldWithoutSync(benchmark::State& state) {
    SaveFolder folder;
    WorldSnapshot snapshot;
    takeSnapshot(snapshot);
    for (auto _ : state) writeWorldFile(worldFile(), snapshot, false);
}
BENCHMARK(BM_SaveWorldWithoutSync)->Unit(benchmark::kMillisecond);

void BM_SaveWorld(benchmark::State& state) {
    SaveFolder folder;
    for (auto _ : state) saveWorld();
}
BENCHMARK(BM_SaveWorld)->Unit(benchmark::kMillisecond)->UseRealTime();

// The copy a game frame takes of the 8,002 values a save writes.
void BM_TakeSnapshot(benchmark::State& state) {
    SaveFolder folder;
    WorldSnapshot snapshot;
    for (auto _ : state) {
        takeSnapshot(snapshot);
        benchmark::DoNotOptimize(snapshot.cells.data());
    }
}
BENCHMARK(BM_TakeSnapshot)->Unit(benchmark::kMicrosecond);

// A game frame's autosave when a save is due, five seconds on: with the world
// unchanged the grid's revision says so at once; changed, the frame copies it
// and hands the copy over (the saving thread writes it meanwhile).
void BM_AutosaveFrame(benchmark::State& state) {
    SaveFolder folder;
    const bool changing = state.range(0) != 0;
    SaveClock::time_point now = SaveClock::now();
    beginSavingRun();
    autosaveWorld(now);
    waitForAutosave();
    int n = 0;
    for (auto _ : state) {
        if (changing) setCell(0, 0, 0, ++n % 2);
        now += kAutosaveInterval;
        autosaveWorld(now);
    }
    beginSavingRun();
}
BENCHMARK(BM_AutosaveFrame)->Arg(0)->Arg(1)->ArgNames({"changed"})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

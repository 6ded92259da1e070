// The world database of a generated 300 x 300 island: a save with one
// changed piece, a save in which only the player moved, the load as the game
// does it (the check before opening, then the cells into the grid), and a
// restore point. The database's size is reported with each run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "game/world_catalog.h"
#include "game/world_store.h"
#include "support/temp_folder.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kSize = 300;
const std::string kFolder = "worlds/island";

PlayerRecord someRecord(int x) {
    PlayerRecord record;
    record.x = x;
    record.y = kSize / 2;
    record.level = 8;
    record.counts.emplace();
    record.counts->fill(12);
    return record;
}

// The island in its own folder, as New world makes it.
class Island {
public:
    Island() : grid(std::make_unique<WorldGrid>()) {
        clearGrid(*grid);
        generateIslandWorld(*grid, 1, kSize);
        std::filesystem::create_directories(kFolder);
        WorldDbMeta meta;
        meta.columns = meta.rows = kSize;
        std::string problem;
        int error = 0;
        made = writeStoredWorldDb(kFolder, meta, *grid, someRecord(0), problem, error) &&
               openWorldDb(db, worldDbFile(kFolder), DbMode::ReadWrite, problem);
    }
    void report(benchmark::State& state) const {
        if (!made) state.SkipWithError("cannot make the island");
        state.counters["file_bytes"] =
            static_cast<double>(std::filesystem::file_size(worldDbFile(kFolder)));
    }

    TempFolder temp;
    std::unique_ptr<WorldGrid> grid;
    WorldDb db;
    bool made = false;
};

void BM_SaveOneChangedPiece(benchmark::State& state) {
    Island island;
    const bool sync = state.range(0) != 0;
    std::string problem;
    openWorldDb(island.db, worldDbFile(kFolder), DbMode::ReadWrite, problem, {}, sync);
    int n = 0;
    for (auto _ : state) {
        ++n;
        setCellOf(*island.grid, 150, 150, -5, n % 2 ? Brick : Empty);
        WorldDbChanges changes;
        changes.pieces.emplace_back();
        takePiece(*island.grid, 7, 7, kSize, kSize, changes.pieces.back());
        changes.records.emplace_back(kSinglePlayer, recordLines(someRecord(n % kSize)));
        if (!commitWorldDb(island.db, changes, problem)) state.SkipWithError(problem.c_str());
    }
    island.report(state);
}
BENCHMARK(BM_SaveOneChangedPiece)->Arg(0)->Arg(1)->ArgName("sync")->Unit(benchmark::kMillisecond);

void BM_SaveThePlayerMoved(benchmark::State& state) {
    Island island;
    std::string problem;
    int n = 0;
    for (auto _ : state) {
        WorldDbChanges changes;
        changes.records.emplace_back(kSinglePlayer, recordLines(someRecord(++n % kSize)));
        if (!commitWorldDb(island.db, changes, problem)) state.SkipWithError(problem.c_str());
    }
    island.report(state);
}
BENCHMARK(BM_SaveThePlayerMoved)->Unit(benchmark::kMillisecond);

void BM_LoadLargeWorld(benchmark::State& state) {
    Island island;
    std::string problem;
    closeWorldDb(island.db, problem);
    auto grid = std::make_unique<WorldGrid>();
    for (auto _ : state) {
        WorldDb db;
        WorldDbMeta meta;
        std::string text;
        bool found = false;
        if (!worldProblem(kFolder).empty() ||
            !openWorldDb(db, worldDbFile(kFolder), DbMode::ReadWrite, problem) ||
            !readMeta(db, meta, problem) || !readRecord(db, kSinglePlayer, text, found, problem) ||
            !readWorldCells(db, meta, *grid, problem))
            state.SkipWithError("cannot load");
        state.PauseTiming();  // the game closes it at quit, not as it loads
        closeWorldDb(db, problem);
        state.ResumeTiming();
    }
    island.report(state);
}
BENCHMARK(BM_LoadLargeWorld)->Unit(benchmark::kMillisecond);

void BM_RestorePoint(benchmark::State& state) {
    Island island;
    std::string problem;
    std::int64_t now = 0;
    for (auto _ : state)
        if (!makeRestorePoint(island.db, kFolder, ++now, "play", 8, problem))
            state.SkipWithError(problem.c_str());
    island.report(state);
}
BENCHMARK(BM_RestorePoint)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Saving and loading a 300 x 300 world through the large world's store, on
// a world shaped like a generated island: rolling ground in a sea, beaches,
// lakes, forest, snow on the peaks and ore below. A save is the copy out of
// the game and the writing of both files; a load is the reading of both and
// the cells put into the grid. The file's size is reported with each run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "game/world_store.h"
#include "support/temp_folder.h"
#include "world/world_grid.h"

namespace {

constexpr int kSize = 300;
constexpr int kSeaLevel = 11;  // levels grow downwards: water fills from here down to the ground

std::uint32_t hashOf(int x, int y, std::uint32_t salt) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u +
                      static_cast<std::uint32_t>(y) * 668265263u + salt * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// Smooth noise in 0..1 over cells of `scale` columns.
double valueNoise(int x, int y, int scale, std::uint32_t salt) {
    const int cx = x / scale, cy = y / scale;
    const double fx = static_cast<double>(x % scale) / scale;
    const double fy = static_cast<double>(y % scale) / scale;
    auto corner = [&](int dx, int dy) {
        return (hashOf(cx + dx, cy + dy, salt) & 0xffff) / 65535.0;
    };
    const double top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * fx;
    const double bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * fx;
    return top + (bottom - top) * fy;
}

void buildIsland(WorldGrid& grid) {
    for (int x = 0; x < kSize; ++x) {
        for (int y = 0; y < kSize; ++y) {
            const double dx = (x - kSize / 2) / (kSize / 2.0), dy = (y - kSize / 2) / (kSize / 2.0);
            const double height = 0.55 * valueNoise(x, y, 48, 1) + 0.3 * valueNoise(x, y, 12, 2) +
                                  0.15 * valueNoise(x, y, 4, 3) - 0.6 * (dx * dx + dy * dy);
            const int ground = std::clamp(14 - static_cast<int>(height * 18), 3, 17);
            const bool shore = ground >= kSeaLevel - 1 && ground <= kSeaLevel + 1;
            for (int level = ground; level < kStoredLevels; ++level) {
                BlockId id = level >= 18 ? HardRock : level >= ground + 3 ? Cobblestone : Earth;
                if (id == Cobblestone && hashOf(x, y, 10 + level) % 61 == 0) id = CoalOre;
                if (id == Cobblestone && level > 15 && hashOf(x, y, 40 + level) % 97 == 0)
                    id = Lava;
                if (level == ground)
                    id = shore || ground > kSeaLevel ? Sand : ground <= 5 ? SnowCovered : Grass;
                setCellOf(grid, x, y, level, id);
            }
            for (int level = kSeaLevel; level < ground; ++level)
                setCellOf(grid, x, y, level, Water);
            const bool tree = ground < kSeaLevel - 1 && ground > 5 && hashOf(x, y, 7) % 23 == 0;
            if (!tree || x < 2 || y < 2 || x >= kSize - 2 || y >= kSize - 2) continue;
            for (int level = ground - 3; level < ground; ++level) setCellOf(grid, x, y, level, Log);
            for (int ax = -1; ax <= 1; ++ax)
                for (int ay = -1; ay <= 1; ++ay)
                    for (int level = ground - 5; level < ground - 3; ++level)
                        setCellOf(grid, x + ax, y + ay, level, Leaves);
        }
    }
}

PlayerRecord someRecord() {
    PlayerRecord record;
    record.x = record.y = kSize / 2;
    record.level = 8;
    record.counts.emplace();
    record.counts->fill(12);
    return record;
}

const std::string kFolder = "worlds/island";

void reportFileSize(benchmark::State& state) {
    state.counters["file_bytes"] =
        static_cast<double>(std::filesystem::file_size(storedWorldFile(kFolder)));
}

void BM_SaveLargeWorld(benchmark::State& state) {
    const bool sync = state.range(0) != 0;
    TempFolder temp;
    auto grid = std::make_unique<WorldGrid>();
    buildIsland(*grid);
    StoredWorld stored;
    for (auto _ : state) {
        takeStoredWorld(*grid, kSize, kSize, WorldKind::Island, someRecord(), stored);
        if (writeStoredWorld(kFolder, stored, sync) != 0) state.SkipWithError("cannot save");
    }
    reportFileSize(state);
}
BENCHMARK(BM_SaveLargeWorld)->Arg(0)->Arg(1)->ArgName("sync")->Unit(benchmark::kMillisecond);

void BM_LoadLargeWorld(benchmark::State& state) {
    TempFolder temp;
    auto grid = std::make_unique<WorldGrid>();
    buildIsland(*grid);
    StoredWorld stored;
    takeStoredWorld(*grid, kSize, kSize, WorldKind::Island, someRecord(), stored);
    writeStoredWorld(kFolder, stored, false);
    for (auto _ : state) {
        StoredWorld read;
        if (!readStoredWorld(kFolder, read).problem.empty()) state.SkipWithError("cannot load");
        placeStoredWorld(read, *grid);
    }
    reportFileSize(state);
}
BENCHMARK(BM_LoadLargeWorld)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

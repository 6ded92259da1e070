// Start-up to the first frame shown, in a real window (run under Xvfb): the
// game's own initialise() (library, audio, window, timer, fonts, pictures,
// the renderer's atlas and caches, the world file) and then one event
// handled, drawn and flipped as the main loop does. Run from a private run
// folder holding the starter world.
//
// Then a 300 x 300 island: from the game up (as the world list leaves it) to
// its first frame, the world read from its database or generated new; and
// the memory the game holds with a 300 x 300 world open against a 20 x 20
// one, each in a process of its own (`bench_startup --resident=SIZE`).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/game_screen.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "game/world_save.h"
#include "game/world_store.h"
#include "render/game_frame.h"
#include "support/fresh_game.h"
#include "tools/world_scenes.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kStartUps = 7;

namespace fs = std::filesystem;

// data/ of the build's run folder shared by links, and the starter world as
// a world file of its own.
class RunFolder {
public:
    RunFolder() {
        char pattern[] = "/tmp/tessaria-startup-XXXXXX";
        path_ = ::mkdtemp(pattern);
        fs::create_directories(path_ / "data/world");
        for (const char* part : {"gfx", "fonts", "sfx"})
            fs::create_directory_symlink(fs::path(TESSARIA_RUN_DIR) / "data" / part,
                                         path_ / "data" / part);
        fs::current_path(path_);
        buildStarterWorld();
        saveWorld();
    }
    ~RunFolder() {
        fs::current_path(TESSARIA_RUN_DIR);
        fs::remove_all(path_);
    }

private:
    fs::path path_;
};

double startUpMilliseconds() {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    if (!initialise()) return -1;
    ALLEGRO_EVENT tick;
    std::memset(&tick, 0, sizeof tick);
    tick.type = ALLEGRO_EVENT_TIMER;
    processEvent(tick);
    showFrame();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    releaseRenderer();
    shutdown();
    return ms;
}

// The first start-up in the process is the cold one (the library itself comes
// up); the later ones show the game's own share.
void BM_StartUpToFirstFrame(benchmark::State& state) {
    RunFolder folder;
    std::vector<double> times;
    for (auto _ : state) {
        for (int i = 0; i < kStartUps; ++i) {
            const double ms = startUpMilliseconds();
            if (ms < 0) return state.SkipWithError("start-up failed (run under xvfb-run)");
            times.push_back(ms);
        }
    }
    state.counters["first_ms"] = times.front();
    std::sort(times.begin() + 1, times.end());
    state.counters["median_ms"] = times[1 + (times.size() - 1) / 2];
}

constexpr std::uint32_t kIslandSeed = 20261208;
constexpr int kFramesOpen = 400;  // ten seconds of play before memory is read

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A new island of `size` columns kept in `folder` as the game keeps it.
bool storeIsland(int size, const std::string& folder) {
    generateIslandWorld(kIslandSeed, size);
    WorldDbMeta meta;
    meta.columns = meta.rows = size;
    std::string problem;
    int error = 0;
    std::filesystem::create_directories(folder);
    return writeStoredWorldDb(folder, meta, world, PlayerRecord{}, problem, error);
}

// The player on the world's start, on the top of its column, in the game.
void enterWorld(int size, int x, int y) {
    int top = 0;
    while (top < kBandEdge && !isSolid(cell(x, y, top))) ++top;
    fresh::startRun(x, y, top);
    world.maxX = world.maxY = size == kBandEdge ? kBandEdge : size - 1;
    beginSavingRun();
    gameScreen.introRunning = false;
    gameScreen.screen = Screen::Game;
}

void showOneFrame() {
    ALLEGRO_EVENT tick;
    std::memset(&tick, 0, sizeof tick);
    tick.type = ALLEGRO_EVENT_TIMER;
    processEvent(tick);
    showFrame();
}

// The world opened as playing it from the list does: read (or generated),
// put into the grid, the player set down and the first frame shown.
double openIsland(int size, const std::string& folder, bool generate) {
    const auto start = Clock::now();
    int x = kBandEdge / 2, y = kBandEdge / 2;
    if (generate) {
        const WorldStart at = generateIslandWorld(kIslandSeed, size);
        x = at.x;
        y = at.y;
    } else {
        WorldDb db;
        WorldDbMeta meta;
        std::string problem;
        clearWorld();
        if (!openWorldDb(db, worldDbFile(folder), DbMode::ReadWrite, problem) ||
            !readMeta(db, meta, problem) || !readWorldCells(db, meta, world, problem))
            return -1;
        x = y = size / 2;
    }
    enterWorld(size, x, y);
    showOneFrame();
    return millisecondsSince(start);
}

void BM_LargeWorldToFirstFrame(benchmark::State& state) {
    RunFolder folder;
    const bool generate = state.range(0) == 1;
    const std::string island = (fs::current_path() / "island").string();
    fs::create_directories(island);
    if (!storeIsland(kLargestWorld, island)) return state.SkipWithError("cannot store the island");
    std::vector<double> times;
    for (auto _ : state) {
        for (int i = 0; i < kStartUps; ++i) {
            if (!initialise()) return state.SkipWithError("start-up failed (run under xvfb-run)");
            const double ms = openIsland(kLargestWorld, island, generate);
            releaseRenderer();
            shutdown();
            if (ms < 0) return state.SkipWithError("the island could not be read");
            times.push_back(ms);
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
}

// The kilobytes of a line of /proc/self/status.
long statusKilobytes(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::strlen(name));
    return -1;
}

// In a process of its own: the game up, an island of `size` columns opened
// from its store, ten seconds of frames; prints the resident and peak
// kilobytes.
int residentWithWorld(int size) {
    RunFolder folder;
    const std::string island = (fs::current_path() / "island").string();
    fs::create_directories(island);
    if (size != kBandEdge && !storeIsland(size, island)) return 1;
    if (!initialise()) return 1;
    if (size == kBandEdge) {
        const WorldStart at = generateIslandWorld(kIslandSeed, size);
        enterWorld(size, at.x, at.y);
    } else if (openIsland(size, island, false) < 0) {
        return 1;
    }
    for (int i = 0; i < kFramesOpen; ++i) showOneFrame();
    std::printf("%ld %ld\n", statusKilobytes("VmRSS:"), statusKilobytes("VmHWM:"));
    releaseRenderer();
    shutdown();
    return 0;
}

// Runs this program with --resident=SIZE; false when it fails.
bool residentOf(int size, long* rss, long* peak) {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = 0;
    const std::string out = "/tmp/tessaria-resident-" + std::to_string(::getpid());
    const std::string command =
        std::string("'") + path + "' --resident=" + std::to_string(size) + " > " + out;
    const bool ran = std::system(command.c_str()) == 0;
    std::ifstream result(out);
    const bool read = ran && static_cast<bool>(result >> *rss >> *peak);
    fs::remove(out);
    return read;
}

void BM_MemoryWithWorldOpen(benchmark::State& state) {
    long rss20 = 0, peak20 = 0, rss300 = 0, peak300 = 0;
    for (auto _ : state) {
        if (!residentOf(kBandEdge, &rss20, &peak20) ||
            !residentOf(kLargestWorld, &rss300, &peak300))
            return state.SkipWithError("the measuring process failed (run under xvfb-run)");
    }
    state.counters["rss20_mb"] = rss20 / 1024.0;
    state.counters["rss300_mb"] = rss300 / 1024.0;
    state.counters["peak20_mb"] = peak20 / 1024.0;
    state.counters["peak300_mb"] = peak300 / 1024.0;
    state.counters["more_mb"] = (rss300 - rss20) / 1024.0;
    state.counters["more_peak_mb"] = (peak300 - peak20) / 1024.0;
}

}  // namespace

BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(1);
// 0: read from its database, 1: generated new.
BENCHMARK(BM_LargeWorldToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0)->Arg(1);
BENCHMARK(BM_MemoryWithWorldOpen)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    const char* resident = "--resident=";
    if (argc == 2 && std::strncmp(argv[1], resident, std::strlen(resident)) == 0)
        return residentWithWorld(std::atoi(argv[1] + std::strlen(resident)));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

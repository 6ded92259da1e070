// Start-up to the first frame shown, in a real window (run under Xvfb): the
// game's own initialise() (library, audio, window, timer, fonts, pictures,
// the renderer's atlas and caches, the world file) and then one event
// handled, drawn and flipped as the main loop does. Run from a private run
// folder holding the starter world.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/main_loop.h"
#include "app/startup.h"
#include "game/world_save.h"
#include "render/game_frame.h"
#include "tools/world_scenes.h"

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

}  // namespace

BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();

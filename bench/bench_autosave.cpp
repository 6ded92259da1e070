// Frames while the world is being saved, in a real window (run under Xvfb):
// a walk with mining and placing, each tick handled and drawn as the main loop
// does, with a save falling due every fifth frame, onto the disk as it is and
// onto one that takes 200 ms per file; beside them the same run with no save
// due, as in play between saves. Each run reports its frames' median, 99th
// percentile and worst, what the autosave call itself cost, and how many
// saves were written.
#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "app/game_screen.h"
#include "app/main_loop.h"
#include "app/platform.h"
#include "app/startup.h"
#include "game/frame_step.h"
#include "game/key_bindings.h"
#include "game/paths.h"
#include "game/world_file.h"
#include "game/world_save.h"
#include "game/world_store.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "support/fresh_game.h"
#include "tools/world_scenes.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kGround = 14;
constexpr int kFrames = 600;
constexpr int kWarmUpFrames = 20;

using Clock = std::chrono::steady_clock;

bool keysDown[256] = {};
bool scriptKeyDown(int key) { return key >= 0 && key < 256 && keysDown[key]; }

std::atomic<int> savesWritten{0};
void countSave() { ++savesWritten; }
void slowSave() {
    ++savesWritten;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

// Keys held for a number of ticks: walk a square, mining and placing on the way.
struct Segment {
    int key, ticks;
};
constexpr Segment kScript[] = {
    {KeyRight, 57}, {KeySpace, 17}, {KeyRightCtrl, 51}, {KeyDown, 57},
    {KeySpace, 17}, {KeyLeft, 57},  {KeyRightCtrl, 51}, {KeyUp, 57},
};

// Grass over stone, and a fresh run on it with the first look and actions at
// the ground ahead, as the script was written. A world of `size` columns
// larger than the band is saved as the game saves one, to world.bin, with
// each hand-over copying all of it.
void setUpRun(int size) {
    clearWorld();
    const int edge = size > kBandEdge ? size - 1 : kBandEdge;
    fillBox(0, 0, edge, edge, kGround + 1, kBandEdge, 2);
    fillBox(0, 0, edge, edge, kGround, kGround, Grass);
    fresh::startRun(7, 7, kGround);
    world.maxX = world.maxY = edge;
    beginSavingRun();
    std::filesystem::create_directories(gamePaths().worldFolder);
    if (size > kBandEdge) {
        WorldDbMeta meta;
        meta.columns = meta.rows = size;
        auto db = std::make_unique<WorldDb>();
        std::string problem;
        int error = 0;
        const std::string folder = gamePaths().worldFolder;
        if (writeStoredWorldDb(folder, meta, world, recordOf(player), problem, error) &&
            openWorldDb(*db, worldDbFile(folder), DbMode::ReadWrite, problem))
            storedWorldLoaded(std::move(db));
    }
    player.spriteSheet = SpriteSheet::Standing;
    player.spriteGroup = 0;
    player.targetRaised = 0;
    camera.levelScroll = 32 * kGround;
    gameScreen.screen = Screen::Game;
}

// The pictures come from the run folder; the world is saved in a folder of
// its own, the working directory while the window is open.
class Window {
public:
    Window() {
        if (chdir(TESSARIA_RUN_DIR) != 0 || !al_init()) return;
        al_init_image_addon();
        al_init_font_addon();
        al_init_ttf_addon();
        al_set_new_display_flags(ALLEGRO_WINDOWED);
        app.display = al_create_display(kScreenWidth, kScreenHeight);
        if (app.display == nullptr) return;
        if (!loadFonts() || !loadAssets() || !prepareRenderer()) return;
        char pattern[] = "/tmp/tessaria-autosave-XXXXXX";
        saveFolder_ = ::mkdtemp(pattern);
        std::filesystem::current_path(saveFolder_);
        setKeyboard(nullptr, scriptKeyDown);
        setPause(nullptr);
        open_ = true;
    }
    ~Window() {
        beginSavingRun();
        setDiskDelay(nullptr);
        if (app.display != nullptr) {
            releaseRenderer();
            shutdown();
        }
        if (!saveFolder_.empty()) std::filesystem::remove_all(saveFolder_);
    }
    bool open() const { return open_; }

private:
    bool open_ = false;
    std::filesystem::path saveFolder_;
};

struct Times {
    std::vector<double> frames, autosaves;  // milliseconds, microseconds
};

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(std::ceil(p * values.size())) - 1];
}

// One tick handled and drawn as the main loop does. With `saveEveryFifth`
// the autosave also runs on a clock a second ahead per frame, so a save falls
// due every fifth frame (the loop's own call then finds nothing due).
void timedFrame(Times& times, int frame, bool saveEveryFifth, Clock::time_point start) {
    ALLEGRO_EVENT tick;
    std::memset(&tick, 0, sizeof tick);
    tick.type = ALLEGRO_EVENT_TIMER;
    const auto begin = Clock::now();
    processEvent(tick);
    const auto autosaveBegin = Clock::now();
    if (saveEveryFifth) autosaveWorld(start + std::chrono::seconds(frame));
    const auto autosaveEnd = Clock::now();
    showFrame();
    times.frames.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
    times.autosaves.push_back(
        std::chrono::duration<double, std::micro>(autosaveEnd - autosaveBegin).count());
}

void runFrames(benchmark::State& state, bool saveEveryFifth, void (*disk)(), int size = kBandEdge) {
    Window window;
    if (!window.open()) return state.SkipWithError("no window (run under xvfb-run) or no data");
    setDiskDelay(disk);
    Times times;
    for (auto _ : state) {
        setUpRun(size);
        Times warmUp;
        for (int i = 0; i < kWarmUpFrames; ++i) timedFrame(warmUp, i, false, Clock::now());
        waitForAutosave();
        savesWritten = 0;
        const auto start = Clock::now();
        int frame = 0;
        while (frame < kFrames)
            for (const Segment& segment : kScript) {
                keysDown[segment.key] = true;
                for (int t = 0; t < segment.ticks && frame < kFrames; ++t, ++frame)
                    timedFrame(times, frame, saveEveryFifth, start);
                keysDown[segment.key] = false;
            }
        waitForAutosave();
    }
    state.counters["median_ms"] = percentile(times.frames, 0.5);
    state.counters["p99_ms"] = percentile(times.frames, 0.99);
    state.counters["max_ms"] = percentile(times.frames, 1.0);
    state.counters["autosave_median_us"] = percentile(times.autosaves, 0.5);
    state.counters["autosave_max_us"] = percentile(times.autosaves, 1.0);
    state.counters["saves"] = savesWritten.load();
}

void BM_FramesNoSaveDue(benchmark::State& state) { runFrames(state, false, countSave); }
void BM_FramesSavingEveryFifth(benchmark::State& state) { runFrames(state, true, countSave); }
void BM_FramesSavingEveryFifthSlowDisk(benchmark::State& state) {
    runFrames(state, true, slowSave);
}
// The same on a 300 x 300 world: the copy each hand-over takes is 225 times larger.
void BM_FramesSavingEveryFifthLargeWorld(benchmark::State& state) {
    runFrames(state, true, countSave, kLargestWorld);
}

}  // namespace

BENCHMARK(BM_FramesNoSaveDue)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FramesSavingEveryFifth)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FramesSavingEveryFifthSlowDisk)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FramesSavingEveryFifthLargeWorld)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();

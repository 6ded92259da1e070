// Frames as the game shows them, in a real window (run under Xvfb): the empty
// frame (clear, copy, flip) as the floor, and scripted runs of timer ticks on
// the worst-case world and on a typical one, each tick handled and drawn as
// the main loop does, from the caches and straight. Each run reports the
// median and the 99th percentile of its frames.
//
// `bench_frame --write-world=worst|typical FOLDER` writes the world file of
// that world into FOLDER/data/world instead, for whole-process runs.
#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/startup.h"
#include "player/game_screen.h"
#include "player/input.h"
#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "render/world_renderer.h"
#include "game/world_save.h"
#include "world/world_grid.h"

namespace {

constexpr int kBand = 21;
constexpr int kCentre = 10;
constexpr int kWorstLevel = 16;  // deep enough that all 21 levels are drawn
constexpr int kTypicalGround = 14;
constexpr int kWarmUpFrames = 20;
constexpr int kStraightFrames = 80;
constexpr int kEmptyFrames = 400;

bool keysDown[256] = {};
bool scriptKeyDown(int key) { return key >= 0 && key < 256 && keysDown[key]; }

struct Segment {
    std::initializer_list<int> keys;
    int ticks;
};

// Standing, walking three cells and back, mining, turning: tile and weather
// animation run throughout.
const Segment kWorstScript[] = {
    {{}, 30},        {{KeyRight}, 57},     {{KeyRightCtrl}, 51}, {{KeyLeft}, 60}, {{}, 30},
    {{KeyDown}, 40}, {{KeyRightCtrl}, 51}, {{KeyUp}, 40},        {{}, 40},
};
const Segment kTypicalScript[] = {
    {{}, 30},         {{KeyRight}, 57}, {{KeyDown}, 40}, {{KeyI}, 1}, {{KeyRightCtrl}, 51},
    {{KeySpace}, 17}, {{KeyLeft}, 60},  {{KeyUp}, 40},   {{}, 60},    {{KeyRight}, 40},
};

void fill(int x0, int y0, int x1, int y1, int level0, int level1, BlockId id) {
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y)
            for (int level = level0; level <= level1; ++level) setCell(x, y, level, id);
}

// Every cell of the band solid; lava on the left half of the player's level,
// water on the right, kept apart by a column of stone so that no water turns
// to rock; a tunnel at body height lets the player walk.
void buildWorstWorld(int level) {
    clearWorld();
    for (int x = 0; x < kBand; ++x)
        for (int y = 0; y < kBand; ++y)
            for (int l = 0; l < kBand; ++l) {
                BlockId id = 1 + (x + 3 * y + 7 * l) % 22;
                setCell(x, y, l, (id == Lava || id == Water) ? 2 : id);
            }
    fill(0, 0, kCentre - 1, kBand - 1, level, level, Lava);
    fill(kCentre + 1, 0, kBand - 1, kBand - 1, level, level, Water);
    fill(kCentre, 0, kCentre, kBand - 1, level, level, 2);
    fill(4, kCentre, 16, kCentre, level - 2, level - 1, Empty);
    fill(kCentre, 6, kCentre, 14, level - 2, level - 1, Empty);
}

// A few levels of ground, a pond, a brick house with a plank roof and trees.
void buildTypicalWorld() {
    clearWorld();
    const int top = kTypicalGround;
    fill(0, 0, kBand - 1, kBand - 1, top, top, 1);
    fill(0, 0, kBand - 1, kBand - 1, top + 1, top + 2, 6);
    fill(0, 0, kBand - 1, kBand - 1, top + 3, 19, 2);
    fill(11, 12, 15, 16, top, top, 7);
    fill(12, 13, 14, 15, top, top, Water);
    fill(3, 3, 7, 7, top - 3, top - 1, 13);
    fill(4, 4, 6, 6, top - 3, top - 1, Empty);
    fill(3, 3, 7, 7, top - 4, top - 4, 4);
    struct Tree {
        int x, y;
    };
    for (const Tree& t : {Tree{15, 5}, Tree{4, 14}, Tree{17, 10}}) {
        fill(t.x, t.y, t.x, t.y, top - 3, top - 1, 11);
        fill(t.x - 1, t.y - 1, t.x + 1, t.y + 1, top - 4, top - 4, 12);
    }
}

void setUpPlayer(int level, bool autoJump) {
    player = PlayerState{};
    player.level = level;
    player.facing = Facing::Down;
    player.spriteSheet = SpriteSheet::Standing;
    player.autoJump = autoJump;
    const BlockId hotbar[kHotbarSlots] = {1, 6, 2, 4, 13, 18, 19, 5, 8};
    std::copy(std::begin(hotbar), std::end(hotbar), player.hotbar);
    std::fill(std::begin(player.blockCounts), std::end(player.blockCounts), 100);
    placePlayer(kCentre, kCentre);
    levelScroll = 32 * level;
    gameScreen = GameScreen{};
    gameScreen.gameShown = true;
    worldClock = WorldClock{};
    weather = WeatherState{};
}

void setUpWorstRun() {
    world.maxX = world.maxY = kBand - 1;
    buildWorstWorld(kWorstLevel);
    setUpPlayer(kWorstLevel, false);
    worldClock.nightLevel = 5;
    worldClock.dayTick = 9000;
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
}

void setUpTypicalRun() {
    world.maxX = world.maxY = kBand - 1;
    buildTypicalWorld();
    setUpPlayer(kTypicalGround, true);
}

bool openWindow() {
    if (chdir(TESSARIA_RUN_DIR) != 0 || !al_init()) return false;
    al_init_image_addon();
    al_init_font_addon();
    al_init_ttf_addon();
    al_set_new_bitmap_flags(0);
    al_set_new_display_flags(ALLEGRO_WINDOWED);
    app.display = al_create_display(kScreenWidth, kScreenHeight);
    if (app.display == nullptr) return false;
    if (!loadFonts() || !loadAssets() || !prepareRenderer()) {
        shutdown();
        return false;
    }
    setKeyboard(nullptr, scriptKeyDown);
    setPause(nullptr);
    return true;
}

void closeWindow() {
    releaseRenderer();
    shutdown();
}

using Clock = std::chrono::steady_clock;

// One timer tick handled and its frame shown, as the main loop does it.
double timedTick() {
    ALLEGRO_EVENT tick;
    std::memset(&tick, 0, sizeof tick);
    tick.type = ALLEGRO_EVENT_TIMER;
    const auto start = Clock::now();
    processEvent(tick);
    showFrame();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

void report(benchmark::State& state, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    state.counters["frames"] = static_cast<double>(times.size());
    state.counters["median_ms"] = median(times);
    state.counters["p99_ms"] = times[static_cast<std::size_t>(std::ceil(0.99 * times.size())) - 1];
    state.counters["max_ms"] = times.back();
}

// The floor: the frame buffer cleared, copied to the window and flipped.
double timedEmptyFrame() {
    const auto start = Clock::now();
    al_set_target_bitmap(assets.frameBuffer);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    showFrame();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct RunTimes {
    std::vector<double> frames, floor;
};

// Plays a script, one frame per tick, up to `limit` frames. An empty frame
// follows each one, so that the floor is measured under the same load.
RunTimes playScript(const Segment* script, std::size_t segments, std::size_t limit) {
    RunTimes times;
    times.frames.reserve(1024);
    times.floor.reserve(1024);
    for (std::size_t s = 0; s < segments && times.frames.size() < limit; ++s) {
        for (int key : script[s].keys) keysDown[key] = true;
        for (int t = 0; t < script[s].ticks && times.frames.size() < limit; ++t) {
            times.frames.push_back(timedTick());
            times.floor.push_back(timedEmptyFrame());
        }
        for (int key : script[s].keys) keysDown[key] = false;
    }
    return times;
}

template <std::size_t N>
void runScript(benchmark::State& state, void (*setUp)(), const Segment (&script)[N], bool cached) {
    if (!openWindow()) return state.SkipWithError("no window (run under xvfb-run) or no data");
    setCachedDrawing(cached);
    RunTimes times;
    for (auto _ : state) {
        setUp();
        for (int i = 0; i < kWarmUpFrames; ++i) timedTick();
        setUp();
        times = playScript(script, N, cached ? 100000 : kStraightFrames);
    }
    report(state, times.frames);
    state.counters["floor_ms"] = median(times.floor);
    state.counters["x_floor"] = median(times.frames) / median(times.floor);
    closeWindow();
}

void BM_EmptyFrame(benchmark::State& state) {
    if (!openWindow()) return state.SkipWithError("no window (run under xvfb-run) or no data");
    std::vector<double> times;
    times.reserve(kEmptyFrames);
    for (auto _ : state)
        for (int i = 0; i < kEmptyFrames; ++i) times.push_back(timedEmptyFrame());
    report(state, times);
    // Every run reports the same counters (the CSV output needs them all).
    state.counters["floor_ms"] = median(times);
    state.counters["x_floor"] = 1;
    closeWindow();
}

void BM_WorstCaseRun(benchmark::State& state) {
    runScript(state, setUpWorstRun, kWorstScript, true);
}
void BM_WorstCaseRunStraight(benchmark::State& state) {
    runScript(state, setUpWorstRun, kWorstScript, false);
}
void BM_TypicalRun(benchmark::State& state) {
    runScript(state, setUpTypicalRun, kTypicalScript, true);
}
void BM_TypicalRunStraight(benchmark::State& state) {
    runScript(state, setUpTypicalRun, kTypicalScript, false);
}

// The world file of one of the two worlds, as the game will read it. The
// file holds levels 0..19, so in the game the player stands on the top of
// its column (auto-jump); the worst case keeps lava and water beside it.
int writeWorld(const std::string& which, const std::string& folder) {
    if (which == "worst") {
        buildWorstWorld(0);
    } else if (which == "typical") {
        buildTypicalWorld();
    } else {
        std::fprintf(stderr, "unknown world '%s'\n", which.c_str());
        return 2;
    }
    std::filesystem::create_directories(folder + "/data/world");
    if (chdir(folder.c_str()) != 0) return 1;
    return saveWorld() ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WorstCaseRun)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WorstCaseRunStraight)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TypicalRun)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TypicalRunStraight)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    const std::string flag = "--write-world=";
    if (argc == 3 && std::strncmp(argv[1], flag.c_str(), flag.size()) == 0)
        return writeWorld(argv[1] + flag.size(), argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

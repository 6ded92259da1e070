// Frames as the game shows them, in a real window (run under Xvfb on a screen
// of at least 1920 x 1440): the empty frame (clear, copy, flip) as the floor,
// and scripted runs of timer ticks on the worst-case world and on a typical
// one, each tick handled and drawn as the main loop does, from the caches and
// straight. The empty frame and the worst case also run in windows two and
// three times the picture's size, where the copy is scaled. Each run reports
// the median and the 99th percentile of its frames.
//
// `bench_frame --minimal-loop=SCALE` runs instead the least a game loop can do
// at that window scale (until SIGTERM), the floor of the game's CPU use, and
// `bench_frame --game-loop=SCALE,SIZE[,X,Y]` the game's own loop on an island
// of SIZE columns, standing on its start or on (X, Y) (bench/cpu_ratio.sh
// compares the two).
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
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/game_screen.h"
#include "app/main_loop.h"
#include "app/platform.h"
#include "app/startup.h"
#include "game/key_bindings.h"
#include "game/settings.h"
#include "game/world_save.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "render/other_figures.h"
#include "render/world_renderer.h"
#include "render/world_view.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "support/fresh_game.h"
#include "tools/world_scenes.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kCentre = 10;
constexpr int kWorstLevel = 16;  // deep enough that all 21 levels are drawn
constexpr int kTypicalGround = 14;
constexpr int kTowerTop = 4;
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

// A fresh run on the centre column, with the first look and actions at the
// ground ahead: the scripts were written, and their figures taken, that way.
// Every run starts alone; the crowded run adds its figures after this.
void setUpPlayer(int level, bool autoJump) {
    otherFigures().clear();
    fresh::startRun(kCentre, kCentre, level);
    player.spriteSheet = SpriteSheet::Standing;
    player.spriteGroup = 0;
    player.targetRaised = 0;
    player.autoJump = autoJump;
    camera.levelScroll = 32 * level;
    gameScreen.screen = Screen::Game;
    // The loop takes no keys for a world that is not in play.
    beginSavingRun();
}

void setUpWorstRun() {
    buildWorstCaseWorld(kWorstLevel);
    setUpPlayer(kWorstLevel, false);
    worldClock.nightLevel = 5;
    worldClock.dayTick = 9000;
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;
}

void setUpTypicalRun() {
    buildTypicalWorld(kTypicalGround);
    setUpPlayer(kTypicalGround, true);
}

// The typical run with sixteen other players in view, half of them walking,
// each in its own looks and facing.
void setUpCrowdedRun() {
    setUpTypicalRun();
    for (int n = 0; n < 16; ++n) {
        OtherFigure other;
        PlayerState& f = other.figure;
        f.x = other.fromX = kCentre - 4 + (n % 4) * 3;
        f.y = other.fromY = kCentre - 4 + (n / 4) * 3;
        f.level = other.fromLevel = kTypicalGround;
        f.facing = static_cast<Facing>(n % 4);
        f.spriteRow = n % 7;
        f.spriteGroup = n % 2;
        f.busy = n % 2 == 1;
        f.spriteSheet = f.busy ? SpriteSheet::Walking : SpriteSheet::Standing;
        f.animFrame = n % 4;
        other.quarters = n % 4;
        if (f.busy) other.fromX = f.x - 1;
        other.name = "player" + std::to_string(n);
        otherFigures().push_back(other);
    }
}

// The typical world seen from a tower's top, ten levels up, with auto-jump
// off so that the walk goes on through the air at that height: the ground
// below stays in view throughout.
void setUpTowerRun() {
    buildTypicalWorld(kTypicalGround);
    fillBox(kCentre, kCentre, kCentre, kCentre, kTowerTop, kTypicalGround - 1, Brick);
    setUpPlayer(kTowerTop, false);
}

// Islands generated as a new world would be, 20 and 300 columns square, with
// the player on the start column's top and auto-jump on: the same run on
// both sizes shows what the world's size costs the frame.
constexpr std::uint32_t kIslandSeed = 20261208;
int islandSize = kBandEdge;
int islandStartX = -1, islandStartY = -1;  // -1: the island's own start

int columnTop(int x, int y) {
    for (int level = 0; level < kBandEdge; ++level)
        if (isSolid(cell(x, y, level))) return level;
    return kBandEdge;
}

void setUpIslandRun() {
    const WorldStart start = generateIslandWorld(kIslandSeed, islandSize);
    const int maxX = world.maxX, maxY = world.maxY;
    const int x = islandStartX < 0 ? start.x : islandStartX;
    const int y = islandStartY < 0 ? start.y : islandStartY;
    setUpPlayer(columnTop(x, y), true);
    world.maxX = maxX;
    world.maxY = maxY;
    placePlayer(player, camera, x, y);
    player.level = columnTop(x, y);
    camera.levelScroll = 32 * player.level;
}

// Standing, walking a dozen columns one way and another, mining the ground
// ahead twice, placing, turning and walking back.
const Segment kIslandScript[] = {
    {{}, 30},
    {{KeyRight}, 200},
    {{KeyDown}, 200},
    {{KeyRightCtrl}, 51},
    {{KeyRightCtrl}, 51},
    {{KeySpace}, 17},
    {{KeyLeft}, 200},
    {{KeyUp}, 200},
    {{}, 60},
};

// From one corner of the world to the other: ten steps right and ten down,
// over and over, over sea and land.
const Segment kWalkRight{{KeyRight}, 170};
const Segment kWalkDown{{KeyDown}, 170};
std::vector<Segment> cornerToCornerWalk(int size) {
    std::vector<Segment> walk;
    for (int steps = 0; steps < size - 4; steps += 10) {
        walk.push_back(kWalkRight);
        walk.push_back(kWalkDown);
    }
    return walk;
}

// A window `scale` times the picture's size.
bool openWindow(int scale) {
    if (chdir(TESSARIA_RUN_DIR) != 0 || !al_init()) return false;
    al_init_image_addon();
    al_init_font_addon();
    al_init_ttf_addon();
    al_set_new_bitmap_flags(0);
    al_set_new_display_flags(ALLEGRO_WINDOWED);
    app.display = al_create_display(kScreenWidth * scale, kScreenHeight * scale);
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

void runSegments(benchmark::State& state, void (*setUp)(), const Segment* script, std::size_t n,
                 bool cached, int scale = 1) {
    if (!openWindow(scale)) return state.SkipWithError("no window (run under xvfb-run) or no data");
    setCachedDrawing(cached);
    RunTimes times;
    for (auto _ : state) {
        setUp();
        for (int i = 0; i < kWarmUpFrames; ++i) timedTick();
        setUp();
        times = playScript(script, n, cached ? 100000 : kStraightFrames);
        state.counters["end_x"] = player.x;
        state.counters["end_y"] = player.y;
    }
    report(state, times.frames);
    state.counters["floor_ms"] = median(times.floor);
    state.counters["x_floor"] = median(times.frames) / median(times.floor);
    closeWindow();
}

template <std::size_t N>
void runScript(benchmark::State& state, void (*setUp)(), const Segment (&script)[N], bool cached,
               int scale = 1) {
    runSegments(state, setUp, script, N, cached, scale);
}

void BM_EmptyFrame(benchmark::State& state) {
    if (!openWindow(static_cast<int>(state.range(0))))
        return state.SkipWithError("no window (run under xvfb-run) or no data");
    std::vector<double> times;
    times.reserve(kEmptyFrames);
    for (auto _ : state)
        for (int i = 0; i < kEmptyFrames; ++i) times.push_back(timedEmptyFrame());
    report(state, times);
    // Every run reports the same counters (the CSV output needs them all).
    state.counters["floor_ms"] = median(times);
    state.counters["x_floor"] = 1;
    state.counters["end_x"] = state.counters["end_y"] = 0;  // where a run's player ended
    closeWindow();
}

void BM_WorstCaseRun(benchmark::State& state) {
    runScript(state, setUpWorstRun, kWorstScript, true, static_cast<int>(state.range(0)));
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
void BM_TypicalRunSixteenOthers(benchmark::State& state) {
    runScript(state, setUpCrowdedRun, kTypicalScript, true);
    otherFigures().clear();
}
void BM_TowerRun(benchmark::State& state) { runScript(state, setUpTowerRun, kTypicalScript, true); }

// Views the cut-away and the fading change, each run with them and without
// (the same view as it was drawn before them): beside a ridge that stands in
// front of the figure, along a tunnel under the grass, and among trees.
// Auto-jump is off, so that the figure stays at the ground's level and walks
// along what covers it.
enum CoverScene { BesideAHill, InATunnel, InAForest };
CoverScene coverScene = BesideAHill;

void setUpCoverRun() {
    switch (coverScene) {
        case BesideAHill:
            buildTypicalWorld(kTypicalGround);
            fillBox(0, kCentre + 1, kBandEdge, kCentre + 6, kTypicalGround - 5, kTypicalGround - 1,
                    Cobblestone);
            fillBox(0, kCentre + 1, kBandEdge, kCentre + 6, kTypicalGround - 5, kTypicalGround - 5,
                    Grass);
            break;
        case InATunnel:
            clearWorld();
            fillBox(0, 0, kBandEdge, kBandEdge, kTypicalGround - 4, kBandEdge - 1, Cobblestone);
            fillBox(0, 0, kBandEdge, kBandEdge, kTypicalGround - 4, kTypicalGround - 4, Grass);
            fillBox(2, kCentre, kBandEdge - 2, kCentre, kTypicalGround - 2, kTypicalGround - 1,
                    Empty);
            pourLava(kCentre + 4, kCentre, kCentre + 5, kCentre, kTypicalGround);
            break;
        case InAForest:
            buildTypicalWorld(kTypicalGround);
            // Off the row and the column the script walks.
            for (int x = 2; x < kBandEdge; x += 3)
                for (int y = 0; y < kBandEdge; y += 3) plantTree(x, y, kTypicalGround);
            break;
    }
    setUpPlayer(kTypicalGround, false);
}

const Segment kCoverScript[] = {
    {{}, 30},        {{KeyRight}, 57}, {{KeyLeft}, 110}, {{KeyRight}, 57},
    {{KeyDown}, 40}, {{KeyUp}, 40},    {{}, 30},
};

void BM_CoverRun(benchmark::State& state) {
    coverScene = static_cast<CoverScene>(state.range(0));
    setViewCut(state.range(1) != 0);
    runScript(state, setUpCoverRun, kCoverScript, true);
    setViewCut(true);
}
// The same run and the worst case in the classic picture, cut off four levels
// below the figure: what keeping the ground in view costs.
void setUpClassicTowerRun() {
    settings.classic = true;
    setUpTowerRun();
}
void setUpClassicWorstRun() {
    settings.classic = true;
    setUpWorstRun();
}
void BM_TowerRunClassic(benchmark::State& state) {
    runScript(state, setUpClassicTowerRun, kTypicalScript, true);
    settings.classic = false;
}
void BM_WorstCaseRunClassic(benchmark::State& state) {
    runScript(state, setUpClassicWorstRun, kWorstScript, true);
    settings.classic = false;
}

void BM_IslandRun(benchmark::State& state) {
    islandSize = static_cast<int>(state.range(0));
    islandStartX = islandStartY = -1;
    runScript(state, setUpIslandRun, kIslandScript, true);
}
// Reports the worst frame (max_ms) of the walk: a stutter shows there.
void BM_IslandCornerWalk(benchmark::State& state) {
    islandSize = static_cast<int>(state.range(0));
    islandStartX = islandStartY = 2;
    const std::vector<Segment> walk = cornerToCornerWalk(islandSize);
    runSegments(state, setUpIslandRun, walk.data(), walk.size(), true);
}

// 40 frames a second of nothing but a cleared picture shown as the game
// shows its frames, in a window `scale` times the picture's size.
int minimalLoop(int scale) {
    if (scale < 1 || !al_init()) return 1;
    installQuitSignals();
    al_set_new_display_flags(ALLEGRO_WINDOWED);
    app.display = al_create_display(kScreenWidth * scale, kScreenHeight * scale);
    assets.frameBuffer = al_create_bitmap(kScreenWidth, kScreenHeight);
    app.timer = al_create_timer(0.025);
    app.queue = al_create_event_queue();
    if (app.display == nullptr || assets.frameBuffer == nullptr || app.timer == nullptr ||
        app.queue == nullptr)
        return 1;
    al_register_event_source(app.queue, al_get_timer_event_source(app.timer));
    al_start_timer(app.timer);
    while (!quitSignalled()) {
        ALLEGRO_EVENT event;
        al_wait_for_event(app.queue, &event);
        al_set_target_bitmap(assets.frameBuffer);
        al_clear_to_color(al_map_rgb(0, 0, 0));
        showFrame();
    }
    shutdown();
    return 0;
}

// The game's own loop at 40 frames a second, standing on an island of `size`
// columns in a window `scale` times the picture's size, until SIGTERM: its
// CPU use against the minimal loop's is the game's cost over the floor, in
// one program that needs no world folder.
int gameLoop(int scale, int size, int x, int y) {
    if (scale < 1 || !isWorldSize(size) || !openWindow(scale)) return 1;
    installQuitSignals();
    islandSize = size;
    islandStartX = x;
    islandStartY = y;
    setUpIslandRun();
    app.timer = al_create_timer(0.025);
    app.queue = al_create_event_queue();
    if (app.timer == nullptr || app.queue == nullptr) return 1;
    al_register_event_source(app.queue, al_get_timer_event_source(app.timer));
    al_start_timer(app.timer);
    while (!quitSignalled()) {
        ALLEGRO_EVENT event;
        al_wait_for_event(app.queue, &event);
        processEvent(event);
        showFrame();
    }
    closeWindow();
    return 0;
}

}  // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->Iterations(1)->DenseRange(1, 3);
BENCHMARK(BM_WorstCaseRun)->Unit(benchmark::kMillisecond)->Iterations(1)->DenseRange(1, 3);
BENCHMARK(BM_WorstCaseRunStraight)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TypicalRun)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TypicalRunStraight)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TypicalRunSixteenOthers)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TowerRun)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_CoverRun)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->ArgNames({"scene", "cut"})
    ->ArgsProduct({{BesideAHill, InATunnel, InAForest}, {0, 1}});
BENCHMARK(BM_TowerRunClassic)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WorstCaseRunClassic)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_IslandRun)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(20)->Arg(300);
BENCHMARK(BM_IslandCornerWalk)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(20)->Arg(300);

int main(int argc, char** argv) {
    const char* loop = "--minimal-loop=";
    if (argc == 2 && std::strncmp(argv[1], loop, std::strlen(loop)) == 0)
        return minimalLoop(std::atoi(argv[1] + std::strlen(loop)));
    const char* game = "--game-loop=";
    if (argc == 2 && std::strncmp(argv[1], game, std::strlen(game)) == 0) {
        int scale = 0, size = 0, x = -1, y = -1;
        if (std::sscanf(argv[1] + std::strlen(game), "%d,%d,%d,%d", &scale, &size, &x, &y) < 2)
            return 1;
        return gameLoop(scale, size, x, y);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

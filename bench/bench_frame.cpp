// One game frame on the heaviest world the renderer can meet: every cell of
// the 21 x 21 x 21 band solid, lava and water at the player's level, night and
// rain. Drawn into a memory bitmap (headless) and into a real window's back
// buffer (run under Xvfb; skipped without a display).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include "app/startup.h"
#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "world/world_grid.h"

namespace {

constexpr int kBand = 21;
constexpr int kPlayerColumn = 10;
constexpr int kPlayerLevel = 16;  // deep enough that all 21 levels are drawn

bool startAllegro() {
    if (chdir(TESSARIA_RUN_DIR) != 0 || !al_init()) return false;
    al_init_image_addon();
    al_init_font_addon();
    al_init_ttf_addon();
    return true;
}

// Lava on the left half of the player's level, water on the right, kept apart
// by a column of stone so the world tick turns no water into rock: the world
// stays the same from frame to frame.
BlockId worstCaseBlock(int x, int y, int level) {
    if (level == kPlayerLevel && x < kPlayerColumn) return Lava;
    if (level == kPlayerLevel && x > kPlayerColumn) return Water;
    if (level == kPlayerLevel) return 2;
    BlockId id = 1 + (x + 3 * y + 7 * level) % 22;
    return (id == Lava || id == Water) ? 2 : id;
}

void setUpWorstCase() {
    world.maxX = world.maxY = kBand - 1;
    for (int x = 0; x < kBand; ++x)
        for (int y = 0; y < kBand; ++y)
            for (int level = 0; level < kBand; ++level) setCell(x, y, level, worstCaseBlock(x, y, level));
    player = PlayerState{};
    player.x = player.y = kPlayerColumn;
    player.level = kPlayerLevel;
    player.facing = 1;
    player.spriteSheet = 1;
    for (int slot = 0; slot < kHotbarSlots; ++slot) {
        player.hotbar[slot] = slot + 1;
        player.blockCounts[slot + 1] = 100;
    }
    camera = Camera{};
    camera.offsetY = -32 * kPlayerColumn;
    worldClock = WorldClock{};
    worldClock.nightLevel = 5;
    weather = WeatherState{};
    weather.weatherActive = true;
    weather.weatherKind = 1;
}

void BM_GameFrameIntoMemoryBitmap(benchmark::State& state) {
    if (!startAllegro()) return state.SkipWithError("Allegro did not start");
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    if (!loadFonts() || !loadAssets()) return state.SkipWithError("no generated data");
    setUpWorstCase();
    al_set_target_bitmap(assets.frameBuffer);
    for (auto _ : state) drawGameFrame();
    al_set_target_bitmap(nullptr);
    shutdown();
}

// The frame drawn straight into the window's back buffer; the flip makes the
// GL driver finish the frame inside the timing.
void BM_GameFrameIntoDisplayBackBuffer(benchmark::State& state) {
    if (!startAllegro()) return state.SkipWithError("Allegro did not start");
    al_set_new_bitmap_flags(0);
    al_set_new_display_flags(ALLEGRO_WINDOWED);
    app.display = al_create_display(kScreenWidth, kScreenHeight);
    if (app.display == nullptr) return state.SkipWithError("no display (run under xvfb-run)");
    if (!loadFonts() || !loadAssets()) {
        shutdown();
        return state.SkipWithError("no generated data");
    }
    setUpWorstCase();
    al_set_target_backbuffer(app.display);
    for (auto _ : state) {
        drawGameFrame();
        al_flip_display();
    }
    al_set_target_bitmap(nullptr);
    shutdown();
}

}  // namespace

BENCHMARK(BM_GameFrameIntoMemoryBitmap)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_GameFrameIntoDisplayBackBuffer)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();

// One picture of the game screen, back to front: sky, night, the world and the
// player, the falling weather, then the HUD and the hotbar on top.
#include "render/game_frame.h"

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/text.h"
#include "render/tint.h"
#include "render/world_renderer.h"
#include "util/random.h"
#include "world/world_grid.h"

namespace {

constexpr const char* kThunderSound = "data/sfx/sfx002.wav";
constexpr const char* kHurtSound = "data/sfx/sfx031.wav";
constexpr const char* kWaterSound = "data/sfx/sfx042.wav";

constexpr int kLightningChances = 300;  // one roll in 0..300 flashes
constexpr int kRain = 1;
constexpr int kSnow = 2;

constexpr int kWeatherColumns = 8;
constexpr int kWeatherRows = 5;
constexpr int kWeatherTileWidth = 80;
constexpr int kWeatherTileHeight = 100;
constexpr Tint kWeatherTint{1, 1, 1, 0.6f};

constexpr int kHotbarX = 182;
constexpr int kHotbarY = 417;
constexpr int kSlotWidth = 30;
constexpr int kIconX = 184;
constexpr int kIconY = 420;
constexpr int kIconSourceXY = 30;  // the icon is the corner of the tile nearest the viewer
constexpr int kIconSize = 26;
constexpr int kCountOffsetX = 9;
constexpr int kCountY = 433;
constexpr int kCursorY = 416;
constexpr Tint kHotbarTint{1, 1, 1, 0.9f};

SoundRequestFn soundRequest = nullptr;

void requestSound(const char* name) {
    if (soundRequest != nullptr) soundRequest(name);
}

void drawSky() {
    al_clear_to_color(al_map_rgb(211, 250, 245));
    const int roll = randomInt(0, kLightningChances);
    if (!weather.weatherActive) return;
    al_clear_to_color(al_map_rgb(111, 150, 145));
    if (roll == 1 && weather.weatherKind == kRain) {
        al_clear_to_color(al_map_rgb(241, 250, 245));
        requestSound(kThunderSound);
    }
}

// The night layer darkens what shows behind the world, more as the night deepens.
void drawNightSky() {
    static constexpr struct {
        double nightLevel;
        float alpha;
    } kNightAlpha[] = {{1, 0.2f}, {2, 0.4f}, {3, 0.5f}, {4, 0.6f}, {5, 0.9f}};
    for (const auto& entry : kNightAlpha) {
        if (worldClock.nightLevel == entry.nightLevel) setTint(Tint{1, 1, 1, entry.alpha});
    }
    if (worldClock.nightLevel > 0) drawBitmap(assets.nightSky, 0, 0);
    resetTint();
}

void drawHotbarSlot(int slot) {
    const BlockId id = player.hotbar[slot];
    if (!hasTile(id)) return;
    const int count = player.blockCounts[id];
    if (count <= 0) return;
    const int x = kIconX + kSlotWidth * slot;
    drawBitmapRegion(assets.tileBitmap[id], kIconSourceXY, kIconSourceXY, kIconSize, kIconSize, x,
                     kIconY);
    drawText("%i", x + kCountOffsetX, kCountY, count);
}

void drawHud() {
    drawBitmap(assets.hudFrame, 0, 0);
    drawTintedBitmap(assets.hotbarStrip, kHotbarTint, kHotbarX, kHotbarY);
    for (int slot = 0; slot < kHotbarSlots; ++slot) drawHotbarSlot(slot);
    drawBitmap(assets.hotbarCursor, kHotbarX + kSlotWidth * player.selectedSlot, kCursorY);
}

void requestPlayerSounds() {
    if (player.hurtFlash > 0) requestSound(kHurtSound);
    if (player.busy && player.onWater) requestSound(kWaterSound);
}

}  // namespace

void setSoundRequest(SoundRequestFn request) { soundRequest = request; }

void drawGameFrame() {
    drawSky();
    drawNightSky();
    worldTick();
    drawWorld();
    drawPlayer(true);
    drawWeather();
    drawHud();
    requestPlayerSounds();
}

void drawWeather() {
    const int kind = weather.weatherKind;
    ALLEGRO_BITMAP* strip = (kind == kRain || kind == kSnow) ? assets.weatherBitmap[kind] : nullptr;
    for (int col = 0; col < kWeatherColumns; ++col) {
        for (int row = 0; row < kWeatherRows; ++row) {
            // Snow settles whenever the kind is snow; the world tick also asks
            // whether it is falling before it covers anything.
            if (kind == kSnow) weather.snowCover = true;
            if (!weather.weatherActive) continue;
            drawTintedBitmapRegion(strip, kWeatherTint, kWeatherTileWidth * weather.weatherAnimFrame,
                                   0, kWeatherTileWidth, kWeatherTileHeight,
                                   kWeatherTileWidth * col, kWeatherTileHeight * row);
        }
    }
}

// One picture of the game screen, back to front: sky, night, the world and the
// player, the falling weather, then the HUD and the hotbar on top.
#include "render/game_frame.h"

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/cached_frame.h"
#include "render/frame_parts.h"
#include "render/text.h"
#include "render/tile_shapes.h"
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
    al_clear_to_color(skyColour(SkyDay));
    const SkyKind kind = rollSky();
    if (kind == SkyDay) return;
    al_clear_to_color(skyColour(SkyOvercast));
    if (kind == SkyFlash) al_clear_to_color(skyColour(SkyFlash));
}

ALLEGRO_BITMAP* weatherStrip() {
    const int kind = weather.weatherKind;
    return (kind == kRain || kind == kSnow) ? assets.weatherBitmap[kind] : nullptr;
}

void drawWeatherTile(ALLEGRO_BITMAP* strip, int col, int row) {
    drawTintedBitmapRegion(strip, kWeatherTint, kWeatherTileWidth * weather.weatherAnimFrame, 0,
                           kWeatherTileWidth, kWeatherTileHeight, kWeatherTileWidth * col,
                           kWeatherTileHeight * row);
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

}  // namespace

SkyKind rollSky() {
    const int roll = randomInt(0, kLightningChances);
    if (!weather.weatherActive) return SkyDay;
    if (roll != 1 || weather.weatherKind != kRain) return SkyOvercast;
    requestSound(kThunderSound);
    return SkyFlash;
}

ALLEGRO_COLOR skyColour(SkyKind kind) {
    if (kind == SkyFlash) return al_map_rgb(241, 250, 245);
    return kind == SkyOvercast ? al_map_rgb(111, 150, 145) : al_map_rgb(211, 250, 245);
}

// The night layer darkens what shows behind the world, more as the night deepens.
void drawNightSky(int x, int y) {
    static constexpr struct {
        double nightLevel;
        float alpha;
    } kNightAlpha[] = {{1, 0.2f}, {2, 0.4f}, {3, 0.5f}, {4, 0.6f}, {5, 0.9f}};
    for (const auto& entry : kNightAlpha) {
        if (worldClock.nightLevel == entry.nightLevel) setTint(Tint{1, 1, 1, entry.alpha});
    }
    if (worldClock.nightLevel > 0) drawBitmap(assets.nightSky, x, y);
    resetTint();
}

void drawWeatherTiles(const PixelRect* within) {
    ALLEGRO_BITMAP* strip = weatherStrip();
    if (!weather.weatherActive || strip == nullptr) return;
    for (int col = 0; col < kWeatherColumns; ++col) {
        for (int row = 0; row < kWeatherRows; ++row) {
            const PixelRect tile{kWeatherTileWidth * col, kWeatherTileHeight * row,
                                 kWeatherTileWidth, kWeatherTileHeight};
            if (within == nullptr || within->overlaps(tile)) drawWeatherTile(strip, col, row);
        }
    }
}

void noteSnowCover() {
    if (weather.weatherKind == kSnow) weather.snowCover = true;
}

void drawHotbar() {
    drawTintedBitmap(assets.hotbarStrip, kHotbarTint, kHotbarX, kHotbarY);
    for (int slot = 0; slot < kHotbarSlots; ++slot) drawHotbarSlot(slot);
    drawBitmap(assets.hotbarCursor, kHotbarX + kSlotWidth * player.selectedSlot, kCursorY);
}

void requestPlayerSounds() {
    if (player.hurtFlash > 0) requestSound(kHurtSound);
    if (player.busy && player.onWater) requestSound(kWaterSound);
}

void setSoundRequest(SoundRequestFn request) { soundRequest = request; }

void drawGameFrame() {
    if (!drawCachedGameFrame()) drawGameFrameStraight();
}

void drawGameFrameStraight() {
    drawSky();
    drawNightSky(0, 0);
    worldTick();
    drawWorld();
    drawPlayer(true);
    drawWeather();
    drawBitmap(assets.hudFrame, 0, 0);
    drawHotbar();
    requestPlayerSounds();
}

void drawWeather() {
    ALLEGRO_BITMAP* strip = weatherStrip();
    for (int col = 0; col < kWeatherColumns; ++col) {
        for (int row = 0; row < kWeatherRows; ++row) {
            // Snow settles whenever the kind is snow; the world tick also asks
            // whether it is falling before it covers anything.
            noteSnowCover();
            if (!weather.weatherActive) continue;
            drawWeatherTile(strip, col, row);
        }
    }
}

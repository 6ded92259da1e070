// One picture of the game screen, back to front: sky, night, the world and the
// player, the falling weather, then the HUD and the hotbar on top.
#include "render/game_frame.h"

#include <string>

#include "game/settings.h"
#include "render/assets.h"
#include "render/cached_frame.h"
#include "render/frame_parts.h"
#include "render/other_figures.h"
#include "render/see_through.h"
#include "render/text.h"
#include "render/tile_shapes.h"
#include "render/tint.h"
#include "render/world_renderer.h"
#include "util/numbers.h"
#include "world/world_grid.h"

namespace {

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

// Lightning brightens only the sky; the day sky is cleared first in any case.
void drawSky(SkyKind kind) {
    al_clear_to_color(skyColour(SkyKind::Day));
    if (kind == SkyKind::Day) return;
    al_clear_to_color(skyColour(SkyKind::Overcast));
    if (kind == SkyKind::Flash) al_clear_to_color(skyColour(SkyKind::Flash));
}

ALLEGRO_BITMAP* weatherStrip(const WeatherState& weather) {
    const WeatherKind kind = weather.weatherKind;
    return (kind == WeatherKind::Rain || kind == WeatherKind::Snow)
               ? assets.weatherBitmap[static_cast<int>(kind)]
               : nullptr;
}

void drawWeatherTile(const WeatherState& weather, ALLEGRO_BITMAP* strip, int col, int row) {
    drawTintedBitmapRegion(strip, kWeatherTint, kWeatherTileWidth * weather.weatherAnimFrame, 0,
                           kWeatherTileWidth, kWeatherTileHeight, kWeatherTileWidth * col,
                           kWeatherTileHeight * row);
}

}  // namespace

// Classic writes the count a little right of the icon's corner, where three
// digits reach past the slot; otherwise it ends at the icon's right edge.
int countX(int slot, const char* count) {
    const int x = kIconX + kSlotWidth * slot;
    if (settings.classic) return x + kCountOffsetX;
    return x + kIconSize - textWidth(count);
}

namespace {

void drawHotbarSlot(const PlayerState& p, int slot) {
    const BlockId id = p.hotbar[slot];
    if (!hasTile(id)) return;
    const int count = p.blockCounts[id];
    if (count <= 0) return;
    const int x = kIconX + kSlotWidth * slot;
    drawBitmapRegion(assets.tileBitmap[id], kIconSourceXY, kIconSourceXY, kIconSize, kIconSize, x,
                     kIconY);
    const std::string text = util::to_string(count);
    drawText(text.c_str(), countX(slot, text.c_str()), kCountY);
}

}  // namespace

ALLEGRO_COLOR skyColour(SkyKind kind) {
    if (kind == SkyKind::Flash) return al_map_rgb(241, 250, 245);
    return kind == SkyKind::Overcast ? al_map_rgb(111, 150, 145) : al_map_rgb(211, 250, 245);
}

// The night layer darkens what shows behind the world, more as the night deepens.
void drawNightSky(const WorldClock& clock, int x, int y) {
    static constexpr struct {
        double nightLevel;
        float alpha;
    } kNightAlpha[] = {{1, 0.2f}, {2, 0.4f}, {3, 0.5f}, {4, 0.6f}, {5, 0.9f}};
    for (const auto& entry : kNightAlpha) {
        if (clock.nightLevel == entry.nightLevel) setTint(Tint{1, 1, 1, entry.alpha});
    }
    if (clock.nightLevel > 0) drawBitmap(assets.nightSky, x, y);
    resetTint();
}

bool weatherShows(const WeatherState& weather) {
    return weather.weatherActive && weatherStrip(weather) != nullptr;
}

void drawWeatherTiles(const WeatherState& weather, const PixelRect* within) {
    ALLEGRO_BITMAP* strip = weatherStrip(weather);
    if (!weather.weatherActive || strip == nullptr) return;
    for (int col = 0; col < kWeatherColumns; ++col) {
        for (int row = 0; row < kWeatherRows; ++row) {
            const PixelRect tile{kWeatherTileWidth * col, kWeatherTileHeight * row,
                                 kWeatherTileWidth, kWeatherTileHeight};
            if (within == nullptr || within->overlaps(tile))
                drawWeatherTile(weather, strip, col, row);
        }
    }
}

void drawHotbar(const PlayerState& p) {
    drawTintedBitmap(assets.hotbarStrip, kHotbarTint, kHotbarX, kHotbarY);
    for (int slot = 0; slot < kHotbarSlots; ++slot) drawHotbarSlot(p, slot);
    drawBitmap(assets.hotbarCursor, kHotbarX + kSlotWidth * p.selectedSlot, kCursorY);
}

void drawGameFrame(const GameFrame& frame) {
    const GameView game = currentGame();
    if (!drawCachedGameFrame(game, frame)) drawGameFrameStraight(game, frame);
    if (!otherFigures().empty()) drawOtherNames(game);
}

void drawGameFrameStraight(const GameView& game, const GameFrame& frame) {
    drawSky(frame.sky);
    drawNightSky(game.clock, 0, 0);
    drawWorld(game, frame);
    drawPlayer(game, true);
    SpriteDraw figure;
    if (spriteDraw(game, false, &figure)) drawFigureThroughCovers(figure);
    drawWeather(game);
    drawBitmap(assets.hudFrame, 0, 0);
    drawHotbar(game.player);
}

void drawWeather(const GameView& game) { drawWeatherTiles(game.weather, nullptr); }

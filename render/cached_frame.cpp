// The game frame from cached pictures (the tiers are listed in the header).
// A frame copies its composed screen and then redraws, in the painter's
// order, only the small rectangle of the player's sprite: the sky and world
// up to the sprite, the sprite, the blocks in front of it, the ghost, the
// weather and the HUD.
#include "render/cached_frame.h"

#include <cstdint>

#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/frame_parts.h"
#include "render/game_frame.h"
#include "render/render_pictures.h"
#include "render/target_outline.h"
#include "render/tint.h"
#include "render/world_layers.h"
#include "render/world_view.h"

namespace {

constexpr int kWeatherSlots = 4;
constexpr int kComposedSlots = kLayerSets * kWeatherSlots;  // per layer set and weather frame

// A composed screen shows its view key on the layers of one generation.
struct ComposedScreen {
    ALLEGRO_BITMAP* bitmap = nullptr;
    ViewKey key;
    std::uint32_t layerGeneration = 0;
    bool valid = false;
};

struct Caches {
    bool prepared = false;
    bool enabled = true;
    ALLEGRO_BITMAP* sky = nullptr;
    ViewKey skyKey;
    bool skyValid = false;
    ComposedScreen composed[kComposedSlots];
};
Caches caches;

void updateSky(const GameView& game, const ViewKey& key) {
    if (caches.skyValid && key.sameSky(caches.skyKey)) return;
    al_set_target_bitmap(caches.sky);
    al_clear_to_color(skyColour(key.sky));
    drawNightSky(game.clock, 0, 0);
    caches.skyKey = key;
    caches.skyValid = true;
}

void drawHudFrame(const PixelRect* within) {
    ALLEGRO_BITMAP* hud = assets.hudFrame;
    if (hud == nullptr) return;
    al_hold_bitmap_drawing(true);
    for (int i = 0; i < renderPictures.hudPieceCount; ++i) {
        const PixelRect& p = renderPictures.hudPieces[i];
        if (within != nullptr && !within->overlaps(p)) continue;
        al_draw_tinted_bitmap_region(hud, currentTint(), p.x, p.y, p.w, p.h, p.x, p.y, 0);
    }
    al_hold_bitmap_drawing(false);
}

void drawWeatherHeld(const WeatherState& weather, const PixelRect* within) {
    al_hold_bitmap_drawing(true);
    drawWeatherTiles(weather, within);
    al_hold_bitmap_drawing(false);
}

// The screen as it is before the sprite and its ghost are added.
ALLEGRO_BITMAP* updateComposed(const GameView& game, const ViewKey& key,
                               const WorldLayers& layers) {
    const WeatherState& weather = game.weather;
    const int weatherSlot =
        weather.weatherActive ? (weather.weatherAnimFrame & (kWeatherSlots - 1)) : 0;
    int slot = layers.set * kWeatherSlots + weatherSlot;
    // Made when first needed, like the layer sets; the first one at start-up.
    if (caches.composed[slot].bitmap == nullptr)
        caches.composed[slot].bitmap = al_create_bitmap(kScreenWidth, kScreenHeight);
    if (caches.composed[slot].bitmap == nullptr) slot = 0;
    ComposedScreen& screen = caches.composed[slot];
    if (screen.valid && screen.layerGeneration == layers.generation && screen.key == key)
        return screen.bitmap;
    if (layers.overSky) copyWholeBitmap(caches.sky, screen.bitmap);
    al_set_target_bitmap(screen.bitmap);
    al_draw_bitmap(layers.whole, layerScreenX(game.camera, layers),
                   layerScreenY(game.camera, layers), 0);
    drawWeatherHeld(weather, nullptr);
    drawHudFrame(nullptr);
    drawHotbar(game.player);
    screen.key = key;
    screen.layerGeneration = layers.generation;
    screen.valid = true;
    return screen.bitmap;
}

void drawSprite(const SpriteDraw& s) {
    const PictureCopy* sheet = nullptr;
    for (const PictureCopy& copy : renderPictures.sheet)
        if (copy.original == s.bitmap) sheet = &copy;
    ALLEGRO_BITMAP* bitmap =
        sheet != nullptr ? atlasPicture(*sheet, s.sx, s.sy, s.sw, s.sh) : s.bitmap;
    al_draw_tinted_bitmap_region(bitmap, tintColour(s.tint), s.sx, s.sy, s.sw, s.sh, s.dx, s.dy,
                                 s.flags);
}

void drawBlocksInFront(const Camera& camera, const WorldLayers& layers, const PixelRect& area) {
    for (int i = layers.spriteIndex; i < layers.drawCount; ++i) {
        const WorldDraw& d = layers.draws[i];
        const int x = d.x + camera.offsetX, y = d.y + camera.offsetY;
        if (!area.overlaps(PixelRect{x, y, d.sw, d.sh})) continue;
        al_draw_tinted_bitmap_region(d.bitmap, d.tint, d.sx, d.sy, d.sw, d.sh, x, y, 0);
    }
}

PixelRect onScreen(const SpriteDraw& s) {
    int x0 = s.dx < 0 ? 0 : s.dx, y0 = s.dy < 0 ? 0 : s.dy;
    int x1 = s.dx + s.sw > kScreenWidth ? kScreenWidth : s.dx + s.sw;
    int y1 = s.dy + s.sh > kScreenHeight ? kScreenHeight : s.dy + s.sh;
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

// Everything the painter's order puts on the sprite's rectangle, redrawn there.
void drawSpriteArea(const GameView& game, const WorldLayers& layers, const SpriteDraw* sprite,
                    const SpriteDraw& ghost) {
    const PixelRect area = onScreen(ghost);
    if (area.isEmpty()) return;
    al_set_clipping_rectangle(area.x, area.y, area.w, area.h);
    if (layers.overSky) al_draw_bitmap(caches.sky, 0, 0, 0);
    al_draw_bitmap_region(layers.beforeSprite, area.x - layerScreenX(game.camera, layers),
                          area.y - layerScreenY(game.camera, layers), area.w, area.h, area.x,
                          area.y, 0);
    al_hold_bitmap_drawing(true);
    if (sprite != nullptr) drawSprite(*sprite);
    drawBlocksInFront(game.camera, layers, area);
    drawSprite(ghost);
    al_hold_bitmap_drawing(false);
    drawWeatherHeld(game.weather, &area);
    drawHudFrame(&area);
    if (area.y + area.h > kHotbarTop) drawHotbar(game.player);
    al_reset_clipping_rectangle();
}

bool targetIsScreen(ALLEGRO_BITMAP* target) {
    return target != nullptr && al_get_bitmap_width(target) == kScreenWidth &&
           al_get_bitmap_height(target) == kScreenHeight;
}

void releaseCaches() {
    if (caches.sky != nullptr) al_destroy_bitmap(caches.sky);
    for (ComposedScreen& screen : caches.composed)
        if (screen.bitmap != nullptr) al_destroy_bitmap(screen.bitmap);
    const bool enabled = caches.enabled;
    caches = Caches{};
    caches.enabled = enabled;
}

bool createCaches() {
    caches.sky = al_create_bitmap(kScreenWidth, kScreenHeight);
    caches.composed[0].bitmap = al_create_bitmap(kScreenWidth, kScreenHeight);
    return caches.sky != nullptr && caches.composed[0].bitmap != nullptr;
}

}  // namespace

bool prepareRenderer() {
    releaseRenderer();
    if (!loadRenderPictures() || !createWorldLayers() || !createCaches()) {
        releaseRenderer();
        return false;
    }
    caches.prepared = true;
    return true;
}

void releaseRenderer() {
    releaseCaches();
    releaseWorldLayers();
    releaseRenderPictures();
    releaseOutlinePictures();
}

void setCachedDrawing(bool on) { caches.enabled = on; }

bool drawCachedGameFrame(const GameView& game, const GameFrame& frame) {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    if (!caches.prepared || !caches.enabled || !targetIsScreen(target)) return false;
    resetTint();
    const ViewKey key = viewKey(game, frame);
    SpriteDraw sprite, ghost;
    const bool spriteInPass = passDrawsSprite(game.player) && spriteDraw(game, false, &sprite);
    const bool ghostDrawn = spriteDraw(game, true, &ghost);
    const WorldLayers& layers = updateWorldLayers(game, key);
    if (layers.overSky) updateSky(game, key);
    ALLEGRO_BITMAP* composed = updateComposed(game, key, layers);
    copyWholeBitmap(composed, target);
    al_set_target_bitmap(target);
    if (ghostDrawn) drawSpriteArea(game, layers, spriteInPass ? &sprite : nullptr, ghost);
    return true;
}

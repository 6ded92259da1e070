// The game frame from cached pictures. What the frame shows is split by what
// changes it: the sky (weather and night), the world layers (world_layers.cpp)
// and whole composed screens, one per layer set and weather frame, with the
// weather and the HUD on them. A frame copies its composed screen and then
// redraws, in the painter's order, only the small rectangle of the player's
// sprite: the sky and world up to the sprite, the sprite, the blocks in front
// of it, the ghost, the weather and the HUD.
#include "render/cached_frame.h"

#include <cstdint>
#include <cstring>

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/frame_parts.h"
#include "render/game_frame.h"
#include "render/render_pictures.h"
#include "render/tint.h"
#include "render/world_layers.h"
#include "render/world_renderer.h"
#include "render/world_view.h"

namespace {

constexpr int kWeatherSlots = 4;
constexpr int kComposedSlots = kLayerSets * kWeatherSlots;  // per layer set and weather frame

struct SkyKey {
    std::int32_t kind, night[2];
};

// Everything a composed screen shows besides the sprite.
struct ComposedKey {
    std::uint32_t layerGeneration;
    std::int32_t shiftX, shiftY;
    SkyKey sky;
    std::int32_t weatherActive, weatherKind, weatherFrame;
    std::int32_t hotbar[kHotbarSlots], counts[kHotbarSlots], selectedSlot;
};

struct Caches {
    bool prepared = false;
    bool enabled = true;
    ALLEGRO_BITMAP* sky = nullptr;
    SkyKey skyKey{};
    bool skyValid = false;
    ALLEGRO_BITMAP* composed[kComposedSlots] = {};
    ComposedKey composedKey[kComposedSlots];
    bool composedValid[kComposedSlots] = {};
};
Caches caches;

SkyKey skyKey(SkyKind kind) {
    SkyKey key{kind, {0, 0}};
    std::memcpy(key.night, &worldClock.nightLevel, sizeof key.night);
    return key;
}

void updateSky(SkyKind kind) {
    const SkyKey key = skyKey(kind);
    if (caches.skyValid && std::memcmp(&key, &caches.skyKey, sizeof key) == 0) return;
    al_set_target_bitmap(caches.sky);
    al_clear_to_color(skyColour(kind));
    drawNightSky(0, 0);
    caches.skyKey = key;
    caches.skyValid = true;
}

ComposedKey composedKey(SkyKind kind, const WorldLayers& layers) {
    ComposedKey key;
    std::memset(&key, 0, sizeof key);
    key.layerGeneration = layers.generation;
    key.shiftX = layerScreenX(layers);
    key.shiftY = layerScreenY(layers);
    key.sky = skyKey(kind);
    key.weatherActive = weather.weatherActive;
    key.weatherKind = weather.weatherKind;
    key.weatherFrame = weather.weatherAnimFrame;
    for (int slot = 0; slot < kHotbarSlots; ++slot) {
        const BlockId id = player.hotbar[slot];
        key.hotbar[slot] = id;
        key.counts[slot] = hasTile(id) ? player.blockCounts[id] : 0;
    }
    key.selectedSlot = player.selectedSlot;
    return key;
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

void drawWeatherHeld(const PixelRect* within) {
    al_hold_bitmap_drawing(true);
    drawWeatherTiles(within);
    al_hold_bitmap_drawing(false);
}

// The screen as it is before the sprite and its ghost are added.
ALLEGRO_BITMAP* updateComposed(SkyKind kind, const WorldLayers& layers) {
    const int weatherSlot =
        weather.weatherActive ? (weather.weatherAnimFrame & (kWeatherSlots - 1)) : 0;
    int slot = layers.set * kWeatherSlots + weatherSlot;
    // Made when first needed, like the layer sets; the first one at start-up.
    if (caches.composed[slot] == nullptr)
        caches.composed[slot] = al_create_bitmap(kScreenWidth, kScreenHeight);
    if (caches.composed[slot] == nullptr) slot = 0;
    const ComposedKey key = composedKey(kind, layers);
    ALLEGRO_BITMAP* composed = caches.composed[slot];
    if (caches.composedValid[slot] && std::memcmp(&key, &caches.composedKey[slot], sizeof key) == 0)
        return composed;
    if (layers.overSky) copyWholeBitmap(caches.sky, composed);
    al_set_target_bitmap(composed);
    al_draw_bitmap(layers.whole, key.shiftX, key.shiftY, 0);
    drawWeatherHeld(nullptr);
    drawHudFrame(nullptr);
    drawHotbar();
    caches.composedKey[slot] = key;
    caches.composedValid[slot] = true;
    return composed;
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

void drawBlocksInFront(const WorldLayers& layers, const PixelRect& area) {
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
void drawSpriteArea(const WorldLayers& layers, const SpriteDraw* sprite, const SpriteDraw& ghost) {
    const PixelRect area = onScreen(ghost);
    if (area.isEmpty()) return;
    al_set_clipping_rectangle(area.x, area.y, area.w, area.h);
    if (layers.overSky) al_draw_bitmap(caches.sky, 0, 0, 0);
    al_draw_bitmap_region(layers.beforeSprite, area.x - layerScreenX(layers),
                          area.y - layerScreenY(layers), area.w, area.h, area.x, area.y, 0);
    al_hold_bitmap_drawing(true);
    if (sprite != nullptr) drawSprite(*sprite);
    drawBlocksInFront(layers, area);
    drawSprite(ghost);
    al_hold_bitmap_drawing(false);
    drawWeatherHeld(&area);
    drawHudFrame(&area);
    if (area.y + area.h > kHotbarTop) drawHotbar();
    al_reset_clipping_rectangle();
}

bool targetIsScreen(ALLEGRO_BITMAP* target) {
    return target != nullptr && al_get_bitmap_width(target) == kScreenWidth &&
           al_get_bitmap_height(target) == kScreenHeight;
}

void releaseCaches() {
    if (caches.sky != nullptr) al_destroy_bitmap(caches.sky);
    for (ALLEGRO_BITMAP* composed : caches.composed)
        if (composed != nullptr) al_destroy_bitmap(composed);
    const bool enabled = caches.enabled;
    caches = Caches{};
    caches.enabled = enabled;
}

bool createCaches() {
    caches.sky = al_create_bitmap(kScreenWidth, kScreenHeight);
    caches.composed[0] = al_create_bitmap(kScreenWidth, kScreenHeight);
    return caches.sky != nullptr && caches.composed[0] != nullptr;
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
}

void setCachedDrawing(bool on) { caches.enabled = on; }

bool drawCachedGameFrame() {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    if (!caches.prepared || !caches.enabled || !targetIsScreen(target)) return false;
    resetTint();
    const SkyKind sky = rollSky();
    worldTick();
    const int scrollBefore = levelScroll;
    SpriteDraw sprite, ghost;
    const bool spriteInPass = passDrawsSprite() && takeSpriteDraw(false, &sprite);
    const int scrollAfter = levelScroll;
    const bool ghostDrawn = takeSpriteDraw(true, &ghost);
    noteSnowCover();
    const WorldLayers& layers = updateWorldLayers(sky, scrollBefore, scrollAfter);
    if (layers.overSky) updateSky(sky);
    ALLEGRO_BITMAP* composed = updateComposed(sky, layers);
    copyWholeBitmap(composed, target);
    al_set_target_bitmap(target);
    if (ghostDrawn) drawSpriteArea(layers, spriteInPass ? &sprite : nullptr, ghost);
    requestPlayerSounds();
    return true;
}

// The game frame from cached pictures (the tiers are listed in the header).
// A frame copies its composed screen and then redraws, in the painter's
// order, only the small rectangle of the player's sprite: the sky and world
// up to the sprite, the sprite, the blocks in front of it, the ghost, the
// weather and the HUD.
#include "render/cached_frame.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/frame_parts.h"
#include "render/game_frame.h"
#include "render/other_figures.h"
#include "render/render_pictures.h"
#include "render/see_through.h"
#include "render/target_outline.h"
#include "render/tint.h"
#include "render/world_layers.h"
#include "render/world_view.h"
#include "rules/projection.h"

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

// What lies over the world in a redrawn rectangle, and the rectangle let go.
void drawOverTheWorldIn(const GameView& game, const PixelRect& area) {
    drawWeatherHeld(game.weather, &area);
    drawHudFrame(&area);
    if (area.y + area.h > kHotbarTop) drawHotbar(game.player);
    al_reset_clipping_rectangle();
}

// The part of the target outline one's own figure hides, right after it.
void drawOutlineThroughOwn(const GameView& game, const ViewKey& key, const SpriteDraw& sprite) {
    TargetCell target;
    if (!targetCell(game, &target)) return;
    const int scroll =
        targetAfterFigure(game.player, target) ? key.scene.scrollAfter : key.scene.scrollBefore;
    drawOutlineThroughFigure(
        sprite, target.raised, projectX(target.x, target.y) + game.camera.offsetX,
        projectY(target.x, target.y, target.level) + game.camera.offsetY - scroll);
}

// One's own figure's edge where the blocks of the pass after it hide it.
void drawOwnThroughCovers(const GameView& game, const WorldLayers& layers,
                          const SpriteDraw* sprite) {
    if (sprite == nullptr) return;
    beginFigureCovers(sprite);
    for (int i = layers.spriteIndex; i < layers.drawCount; ++i) {
        const WorldDraw& d = layers.draws[i];
        if (d.block)
            addFigureCover(d.bitmap, d.tint, d.sx, d.sy, d.sw, d.sh, d.x + game.camera.offsetX,
                           d.y + game.camera.offsetY);
    }
    drawFigureThroughCovers(*sprite);
}

// Everything the painter's order puts on the sprite's rectangle, redrawn there.
void drawSpriteArea(const GameView& game, const ViewKey& key, const WorldLayers& layers,
                    const SpriteDraw* sprite, const SpriteDraw& ghost) {
    const PixelRect area = onScreen(ghost);
    if (area.isEmpty()) return;
    al_set_clipping_rectangle(area.x, area.y, area.w, area.h);
    if (layers.overSky) al_draw_bitmap(caches.sky, 0, 0, 0);
    al_draw_bitmap_region(layers.beforeSprite, area.x - layerScreenX(game.camera, layers),
                          area.y - layerScreenY(game.camera, layers), area.w, area.h, area.x,
                          area.y, 0);
    al_hold_bitmap_drawing(true);
    if (sprite != nullptr) {
        drawSprite(*sprite);
        drawOutlineThroughOwn(game, key, *sprite);
    }
    drawBlocksInFront(game.camera, layers, area);
    drawSprite(ghost);
    al_hold_bitmap_drawing(false);
    drawOwnThroughCovers(game, layers, sprite);
    drawOverTheWorldIn(game, area);
}

// A figure and where it falls among the pass's draws.
struct PlacedFigure {
    SpriteDraw sprite;
    PixelRect rect;  // on the screen
    int index;
};

std::vector<PlacedFigure> placeOthers(const GameView& game, const WorldLayers& layers) {
    std::vector<PlacedFigure> placed;
    for (const OtherFigure& other : otherFigures()) {
        PlacedFigure p{};
        if (!otherSpriteDraw(game, other, &p.sprite)) continue;
        p.rect = onScreen(p.sprite);
        const int order = figureOrder(other.figure.x, other.figure.y, other.figure.level);
        const WorldDraw* first = layers.draws;
        const WorldDraw* last = layers.draws + layers.drawCount;
        p.index = static_cast<int>(
            std::lower_bound(first, last, order,
                             [](const WorldDraw& d, int o) { return d.order < o; }) -
            first);
        placed.push_back(p);
    }
    return placed;
}

// Whether the draws from `first` on that reach into the area may be drawn
// again over the whole layer, which already holds them, with the same result.
bool redrawable(const GameView& game, const WorldLayers& layers, int first, const PixelRect& area) {
    for (int i = first; i < layers.drawCount; ++i) {
        const WorldDraw& d = layers.draws[i];
        if (!d.replaces && area.overlaps(PixelRect{d.x + game.camera.offsetX,
                                                   d.y + game.camera.offsetY, d.sw, d.sh}))
            return false;
    }
    return true;
}

// Another figure's rectangle redrawn in the painter's order with every figure
// that reaches into it, one's own included. Where each block from the first
// of those figures on gives every pixel it draws or leaves it, the whole
// layer lies under them: drawing such blocks again over themselves changes
// nothing, and what they hid of the figures is hidden again. Otherwise the
// area is drawn up from the layer before one's own sprite or from the sky.
void drawOtherArea(const GameView& game, const ViewKey& key, const WorldLayers& layers,
                   const PlacedFigure* own, const SpriteDraw* ghost,
                   const std::vector<PlacedFigure>& figures, const PixelRect& area) {
    if (area.isEmpty()) return;
    std::vector<const PlacedFigure*> inArea;
    if (own != nullptr && area.overlaps(own->rect)) inArea.push_back(own);
    for (const PlacedFigure& f : figures)
        if (area.overlaps(f.rect)) inArea.push_back(&f);
    // One's own before the others at the same place, the others as listed.
    std::stable_sort(
        inArea.begin(), inArea.end(),
        [](const PlacedFigure* a, const PlacedFigure* b) { return a->index < b->index; });
    const int first = inArea.empty() ? layers.drawCount : inArea.front()->index;
    al_set_clipping_rectangle(area.x, area.y, area.w, area.h);
    int from = 0;
    ALLEGRO_BITMAP* under = nullptr;
    if (redrawable(game, layers, first, area)) {
        under = layers.whole;
        from = first;
    } else if (first >= layers.spriteIndex) {
        under = layers.beforeSprite;
        from = layers.spriteIndex;
    }
    if (under != nullptr) {
        if (layers.overSky) al_draw_bitmap(caches.sky, 0, 0, 0);
        al_draw_bitmap_region(under, area.x - layerScreenX(game.camera, layers),
                              area.y - layerScreenY(game.camera, layers), area.w, area.h, area.x,
                              area.y, 0);
    } else if (layers.overSky) {
        al_draw_bitmap(caches.sky, 0, 0, 0);
    } else {
        al_clear_to_color(skyColour(key.sky));
        drawNightSky(game.clock, 0, 0);
    }
    al_hold_bitmap_drawing(true);
    // A figure, and right after one's own the part of the outline it hides.
    auto drawFigure = [&](const PlacedFigure* f) {
        drawSprite(f->sprite);
        if (f == own) drawOutlineThroughOwn(game, key, own->sprite);
    };
    std::size_t next = 0;
    for (int i = from; i < layers.drawCount; ++i) {
        for (; next < inArea.size() && inArea[next]->index <= i; ++next) drawFigure(inArea[next]);
        const WorldDraw& d = layers.draws[i];
        const int x = d.x + game.camera.offsetX, y = d.y + game.camera.offsetY;
        if (!area.overlaps(PixelRect{x, y, d.sw, d.sh})) continue;
        al_draw_tinted_bitmap_region(d.bitmap, d.tint, d.sx, d.sy, d.sw, d.sh, x, y, 0);
    }
    for (; next < inArea.size(); ++next) drawFigure(inArea[next]);
    if (ghost != nullptr) drawSprite(*ghost);
    al_hold_bitmap_drawing(false);
    drawOwnThroughCovers(game, layers, own != nullptr ? &own->sprite : nullptr);
    drawOverTheWorldIn(game, area);
}

// Figures whose rectangles overlap, and the rectangle around them all.
struct FigureGroup {
    PixelRect rect;
    std::vector<const PlacedFigure*> figures;
};

PixelRect around(const PixelRect& a, const PixelRect& b) {
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

// Groups whose rectangles do not overlap, each figure on the screen in one;
// the figures of a group in the order the pass meets them (as listed where
// they meet it together).
std::vector<FigureGroup> groupFigures(const std::vector<PlacedFigure>& placed) {
    std::vector<FigureGroup> groups;
    for (const PlacedFigure& f : placed) {
        if (f.rect.isEmpty()) continue;
        FigureGroup group{f.rect, {&f}};
        for (std::size_t i = 0; i < groups.size();) {
            if (!groups[i].rect.overlaps(group.rect)) {
                ++i;
                continue;
            }
            // The larger rectangle may reach groups already passed.
            group.rect = around(group.rect, groups[i].rect);
            group.figures.insert(group.figures.end(), groups[i].figures.begin(),
                                 groups[i].figures.end());
            groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(i));
            i = 0;
        }
        groups.push_back(group);
    }
    for (FigureGroup& group : groups)
        std::sort(group.figures.begin(), group.figures.end(),
                  [](const PlacedFigure* a, const PlacedFigure* b) {
                      return a->index != b->index ? a->index < b->index : a < b;
                  });
    return groups;
}

bool overlapsHud(const PixelRect& area) {
    for (int i = 0; i < renderPictures.hudPieceCount; ++i)
        if (area.overlaps(renderPictures.hudPieces[i])) return true;
    return false;
}

// Whether the group's rectangle on the target shows the composed screen with
// nothing over the world there but the HUD frame, when that too gives every
// pixel it draws or leaves it (no weather, hotbar, nor one's own sprite and
// ghost), and the blocks from its first figure on may be drawn there again.
bool drawnOver(const GameView& game, const WorldLayers& layers, const FigureGroup& group,
               const PixelRect& ownArea) {
    const PixelRect& area = group.rect;
    return !weatherShows(game.weather) && !area.overlaps(ownArea) &&
           area.y + area.h <= kHotbarTop &&
           (renderPictures.hudTwoLevelAlpha || !overlapsHud(area)) &&
           redrawable(game, layers, group.figures.front()->index, area);
}

// The part of a draw inside the area, cut from its picture: the same pixels
// as the whole draw clipped there, without a clipping rectangle, so that the
// draws of every group stay one batch.
void drawInside(ALLEGRO_BITMAP* bitmap, ALLEGRO_COLOR tint, const PixelRect& from, int x, int y,
                const PixelRect& area) {
    const int x0 = std::max(x, area.x), y0 = std::max(y, area.y);
    const int x1 = std::min(x + from.w, area.x + area.w);
    const int y1 = std::min(y + from.h, area.y + area.h);
    if (x0 >= x1 || y0 >= y1) return;
    al_draw_tinted_bitmap_region(bitmap, tint, from.x + x0 - x, from.y + y0 - y, x1 - x0, y1 - y0,
                                 x0, y0, 0);
}

// A group drawn straight onto the composed screen, among the blocks from its
// first figure on drawn again: those give every pixel they draw or leave it,
// so drawing them a second time changes nothing but what they hide of the
// figures. The figures lie inside the rectangle or off the screen.
void drawGroupOver(const GameView& game, const WorldLayers& layers, const FigureGroup& group) {
    std::size_t next = 0;
    const std::size_t count = group.figures.size();
    for (int i = group.figures.front()->index; i < layers.drawCount; ++i) {
        for (; next < count && group.figures[next]->index <= i; ++next)
            drawSprite(group.figures[next]->sprite);
        const WorldDraw& d = layers.draws[i];
        drawInside(d.bitmap, d.tint, PixelRect{d.sx, d.sy, d.sw, d.sh}, d.x + game.camera.offsetX,
                   d.y + game.camera.offsetY, group.rect);
    }
    for (; next < count; ++next) drawSprite(group.figures[next]->sprite);
}

// The HUD frame over a group drawn over the composed screen. The groups'
// rectangles are apart, so this may wait until all of them are drawn and
// the frame's picture is drawn from once.
void drawHudOver(const FigureGroup& group) {
    if (assets.hudFrame == nullptr) return;
    for (int i = 0; i < renderPictures.hudPieceCount; ++i) {
        const PixelRect& p = renderPictures.hudPieces[i];
        drawInside(assets.hudFrame, currentTint(), p, p.x, p.y, group.rect);
    }
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
    prepareSeeThrough();
    caches.prepared = true;
    return true;
}

void releaseRenderer() {
    releaseCaches();
    releaseWorldLayers();
    releaseRenderPictures();
    releaseOutlinePictures();
    releaseSeeThrough();
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
    if (ghostDrawn) drawSpriteArea(game, key, layers, spriteInPass ? &sprite : nullptr, ghost);
    if (otherFigures().empty()) return true;
    const std::vector<PlacedFigure> placed = placeOthers(game, layers);
    const PlacedFigure own{sprite, onScreen(sprite), layers.spriteIndex};
    // One's own sprite is drawn only in its ghost's rectangle (the same one).
    const PixelRect ownArea = ghostDrawn ? onScreen(ghost) : spriteInPass ? own.rect : PixelRect{};
    const std::vector<FigureGroup> groups = groupFigures(placed);
    std::vector<const FigureGroup*> over;
    for (const FigureGroup& group : groups) {
        if (drawnOver(game, layers, group, ownArea)) {
            over.push_back(&group);
            continue;
        }
        for (const PlacedFigure* figure : group.figures)
            drawOtherArea(game, key, layers, spriteInPass ? &own : nullptr,
                          ghostDrawn ? &ghost : nullptr, placed, figure->rect);
    }
    al_hold_bitmap_drawing(true);
    for (const FigureGroup* group : over) drawGroupOver(game, layers, *group);
    for (const FigureGroup* group : over) drawHudOver(*group);
    al_hold_bitmap_drawing(false);
    return true;
}

// Keeps the world layers in step with the game. The world has no change
// counter (the world tick writes cells directly), so the cells a pass can
// read are copied after each listing and compared on the next frame.
#include "render/world_layers.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/render_pictures.h"
#include "render/world_draws.h"
#include "render/world_view.h"
#include "world/world_grid.h"

namespace {

constexpr int kNeighbourReach = 2;  // lava lights two cells away
constexpr int kBandSide = kWidestWindow + 2 * kNeighbourReach;
constexpr int kBandCapacity = kBandSide * kBandSide * kGridLevels;

// Everything besides the cells that decides what the pass draws.
struct PassKey {
    std::int32_t x, y, level, scrollBefore, scrollAfter, maxX, maxY;
    std::int32_t night[2];
    std::int32_t crackX, crackY, crackLevel, strikes, acting;
    std::int32_t animFrame;
};

// The cells a pass reads: its window inside the bounds, two more columns and
// rows for the lava light, and every stored level down to the deepest drawn.
struct Band {
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1, levels = 0;
};

// A scene at rest stops drawing once it has shown every animation frame.
struct LayerSet {
    WorldLayers layers;
    SkyKind bakedSky = SkyDay;
    std::int32_t animFrame = 0;
    bool valid = false;
};

LayerSet sets[kLayerSets];
std::uint32_t generations = 0;
PassDraws pass;
PassKey passKey;
bool listed = false;
Band band;
BlockId bandCells[kBandCapacity];

PassKey currentKey(int scrollBefore, int scrollAfter) {
    PassKey key;
    std::memset(&key, 0, sizeof key);
    key.x = player.x;
    key.y = player.y;
    key.level = player.level;
    key.scrollBefore = scrollBefore;
    key.scrollAfter = scrollAfter;
    key.maxX = world.maxX;
    key.maxY = world.maxY;
    std::memcpy(key.night, &worldClock.nightLevel, sizeof key.night);
    key.acting = crackedCell(&key.crackX, &key.crackY, &key.crackLevel);
    key.strikes = player.strikes;
    key.animFrame = worldClock.blockAnimFrame;
    return key;
}

bool sameKey(const PassKey& a, const PassKey& b, bool animated) {
    return std::memcmp(&a, &b, offsetof(PassKey, animFrame)) == 0 &&
           (!animated || a.animFrame == b.animFrame);
}

Band currentBand() {
    Band b;
    const int deepest = deepestVisitedLevel();
    if (deepest < 0) return b;
    b.x0 = std::max(0, std::max(0, windowFirst(player.x, deepest)) - kNeighbourReach);
    b.x1 = std::min(kGridSizeX - 1,
                    std::min(world.maxX, windowLast(player.x, deepest)) + kNeighbourReach);
    b.y0 = std::max(0, std::max(0, windowFirst(player.y, deepest)) - kNeighbourReach);
    b.y1 = std::min(kGridSizeY - 1,
                    std::min(world.maxY, windowLast(player.y, deepest)) + kNeighbourReach);
    b.levels = deepest - kHighestLevel + 1;
    if (b.x0 > b.x1 || b.y0 > b.y1) b = Band{};
    return b;
}

// Calls visit(stored column, copy) for every column of the band.
template <typename Visit>
bool eachBandColumn(const Band& b, Visit visit) {
    int copy = 0;
    for (int x = b.x0; x <= b.x1; ++x) {
        for (int y = b.y0; y <= b.y1; ++y, copy += b.levels) {
            if (!visit(&world.cells[cellIndex(x, y, kHighestLevel)], &bandCells[copy]))
                return false;
        }
    }
    return true;
}

bool bandUnchanged() {
    const Band b = currentBand();
    if (b.x0 != band.x0 || b.x1 != band.x1 || b.y0 != band.y0 || b.y1 != band.y1 ||
        b.levels != band.levels)
        return false;
    const std::size_t bytes = sizeof(BlockId) * b.levels;
    return eachBandColumn(b, [bytes](const BlockId* stored, const BlockId* copy) {
        return std::memcmp(stored, copy, bytes) == 0;
    });
}

void keepBand() {
    band = currentBand();
    const std::size_t bytes = sizeof(BlockId) * band.levels;
    eachBandColumn(band, [bytes](const BlockId* stored, BlockId* copy) {
        std::memcpy(copy, stored, bytes);
        return true;
    });
}

void drawRange(int first, int last, int x, int y) {
    al_hold_bitmap_drawing(true);
    for (int i = first; i < last; ++i) {
        const WorldDraw& d = pass.draws[i];
        al_draw_tinted_bitmap_region(d.bitmap, d.tint, d.sx, d.sy, d.sw, d.sh, d.x + x, d.y + y, 0);
    }
    al_hold_bitmap_drawing(false);
}

// Draws both layers for the current camera. Without the sky in them their
// clear pixels let it show; with it (translucent water over the sky, or
// pictures with soft edges) the sky is drawn first, as on the screen.
void drawLayers(LayerSet& set, SkyKind sky, bool overSky) {
    WorldLayers& l = set.layers;
    l.originX = camera.offsetX;
    l.originY = camera.offsetY;
    l.overSky = overSky;
    const int x = l.originX + kLayerMarginX, y = l.originY + kLayerMarginY;
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
    al_set_target_bitmap(l.beforeSprite);
    al_clear_to_color(overSky ? al_map_rgba(0, 0, 0, 0) : skyColour(sky));
    if (!overSky) drawNightSky(kLayerMarginX, kLayerMarginY);
    drawRange(0, pass.spriteIndex, x, y);
    copyWholeBitmap(l.beforeSprite, l.whole);
    al_set_target_bitmap(l.whole);
    drawRange(pass.spriteIndex, pass.count, x, y);
    al_restore_state(&state);
    l.generation = ++generations;
    set.bakedSky = sky;
    set.animFrame = worldClock.blockAnimFrame;
    set.valid = true;
}

// A camera move within the margins only shifts the layers, unless the night
// sky, which stays put on the screen, is drawn into them.
bool shiftFits(const WorldLayers& l, bool overSky) {
    const int dx = camera.offsetX - l.originX, dy = camera.offsetY - l.originY;
    if (std::abs(dx) > kLayerMarginX || std::abs(dy) > kLayerMarginY) return false;
    return overSky || worldClock.nightLevel <= 0 || (dx == 0 && dy == 0);
}

bool setFits(const LayerSet& set, SkyKind sky, bool overSky) {
    return set.valid && (!pass.animated || set.animFrame == worldClock.blockAnimFrame) &&
           set.layers.overSky == overSky && (overSky || set.bakedSky == sky) &&
           shiftFits(set.layers, overSky);
}

// The first set is made at start-up, the others when first needed (once in
// a run), which keeps start-up short.
bool makeLayerBitmaps(LayerSet& set) {
    WorldLayers& l = set.layers;
    for (ALLEGRO_BITMAP** layer : {&l.beforeSprite, &l.whole}) {
        if (*layer == nullptr)
            *layer = al_create_bitmap(kScreenWidth + 2 * kLayerMarginX,
                                      kScreenHeight + 2 * kLayerMarginY);
        if (*layer == nullptr) return false;
    }
    return true;
}

LayerSet& setForFrame() {
    LayerSet& set = sets[pass.animated ? (worldClock.blockAnimFrame & (kLayerSets - 1)) : 0];
    return makeLayerBitmaps(set) ? set : sets[0];
}

// Lists the pass again when anything it shows has changed; a change of the
// scene itself (not only of the animation frame) makes every set stale.
void relistIfChanged(const PassKey& key, int scrollBefore, int scrollAfter) {
    const bool sameScene = listed && sameKey(key, passKey, false) && bandUnchanged();
    if (sameScene && (!pass.animated || key.animFrame == passKey.animFrame)) return;
    if (!sameScene) {
        for (LayerSet& set : sets) set.valid = false;
        keepBand();
    }
    pass = listPassDraws(scrollBefore, scrollAfter);
    passKey = key;
    listed = true;
}

}  // namespace

bool createWorldLayers() {
    releaseWorldLayers();
    for (int i = 0; i < kLayerSets; ++i) sets[i].layers.set = i;
    return makeLayerBitmaps(sets[0]);
}

void releaseWorldLayers() {
    for (LayerSet& set : sets) {
        for (ALLEGRO_BITMAP* layer : {set.layers.beforeSprite, set.layers.whole})
            if (layer != nullptr) al_destroy_bitmap(layer);
        set = LayerSet{};
    }
    listed = false;
}

const WorldLayers& updateWorldLayers(SkyKind sky, int scrollBefore, int scrollAfter) {
    relistIfChanged(currentKey(scrollBefore, scrollAfter), scrollBefore, scrollAfter);
    LayerSet& set = setForFrame();
    const bool overSky = renderPictures.twoLevelAlpha && !pass.translucent;
    if (!setFits(set, sky, overSky)) drawLayers(set, sky, overSky);
    set.layers.draws = pass.draws;
    set.layers.drawCount = pass.count;
    set.layers.spriteIndex = pass.spriteIndex;
    return set.layers;
}

int layerScreenX(const WorldLayers& l) { return camera.offsetX - l.originX - kLayerMarginX; }

int layerScreenY(const WorldLayers& l) { return camera.offsetY - l.originY - kLayerMarginY; }

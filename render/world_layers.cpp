// Keeps the pass listing and the layer sets in step with the game; what makes
// them stale is listed in cached_frame.h.
#include "render/world_layers.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/frame_parts.h"
#include "render/render_pictures.h"
#include "render/tile_shapes.h"
#include "render/world_draws.h"
#include "render/world_view.h"
#include "rules/projection.h"

namespace {

// A pass lists every cell the layers can show, wherever the camera rests.
static_assert(kLayerMarginX + kTileHalfWidth <= kPassReachX &&
                  kLayerMarginY + kTileHalfHeight <= kPassReachY,
              "the pass reaches past the layers' margins");

// A scene at rest stops drawing once it has shown every animation frame.
struct LayerSet {
    WorldLayers layers;
    SkyKind bakedSky = SkyKind::Day;
    std::int32_t animFrame = 0;
    bool valid = false;
    std::uint32_t listing = 0;     // the pass listing the layers show
    std::vector<WorldDraw> drawn;  // and its draws, to tell what changed since
    int drawnSpriteIndex = 0;
    int drawnScroll = 0;  // the level scroll it placed the cells before the figure with
};

LayerSet sets[kLayerSets];
std::uint32_t generations = 0;
PassDraws pass;
std::uint32_t listings = 0;
SceneKey listedScene;
std::int32_t listedTileFrame = 0;
bool listed = false;
// What a layer moves into when the camera has left its margins: one for
// each layer, swapped with the set's own.
ALLEGRO_BITMAP* spareWhole = nullptr;
ALLEGRO_BITMAP* spareBefore = nullptr;

constexpr int kLayerWidth = kScreenWidth + 2 * kLayerMarginX;
constexpr int kLayerHeight = kScreenHeight + 2 * kLayerMarginY;

void drawRange(int first, int last, int x, int y) {
    al_hold_bitmap_drawing(true);
    for (int i = first; i < last; ++i) {
        const WorldDraw& d = pass.draws[i];
        al_draw_tinted_bitmap_region(d.bitmap, d.tint, d.sx, d.sy, d.sw, d.sh, d.x + x, d.y + y, 0);
    }
    al_hold_bitmap_drawing(false);
}

void keepDrawn(LayerSet& set, std::uint32_t generation) {
    set.drawn.assign(pass.draws, pass.draws + pass.count);
    set.drawnSpriteIndex = pass.spriteIndex;
    set.drawnScroll = listedScene.scrollBefore;
    set.listing = listings;
    set.layers.generation = generation;
}

// Draws both layers for the current camera. Without the sky in them their
// clear pixels let it show; with it (translucent water over the sky, or
// pictures with soft edges) the sky is drawn first, as on the screen.
void drawLayers(const GameView& game, LayerSet& set, SkyKind sky, bool overSky) {
    WorldLayers& l = set.layers;
    l.originX = game.camera.offsetX;
    l.originY = game.camera.offsetY;
    l.overSky = overSky;
    const int x = l.originX + kLayerMarginX, y = l.originY + kLayerMarginY;
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
    al_set_target_bitmap(l.beforeSprite);
    al_clear_to_color(overSky ? al_map_rgba(0, 0, 0, 0) : skyColour(sky));
    if (!overSky) drawNightSky(game.clock, kLayerMarginX, kLayerMarginY);
    drawRange(0, pass.spriteIndex, x, y);
    copyWholeBitmap(l.beforeSprite, l.whole);
    al_set_target_bitmap(l.whole);
    drawRange(pass.spriteIndex, pass.count, x, y);
    al_restore_state(&state);
    set.bakedSky = sky;
    set.animFrame = game.clock.blockAnimFrame;
    set.valid = true;
    keepDrawn(set, ++generations);
}

// The layers in blocks, marked where their pixels may have to change.
constexpr int kBlock = 32;
constexpr int kBlocksX = (kLayerWidth + kBlock - 1) / kBlock;
constexpr int kBlocksY = (kLayerHeight + kBlock - 1) / kBlock;
// Past this many changed blocks of the two layers, drawing them whole is cheaper.
constexpr int kMostPatchedBlocks = kBlocksX * kBlocksY;

struct Blocks {
    bool dirty[kBlocksY][kBlocksX] = {};
    int count = 0;
    // The edges a move brings into view, drawn as they are: a quarter-cell
    // move would otherwise redraw blocks four times as wide.
    PixelRect edges[2];
    int edgeCount = 0;
    void mark(int x, int y, int w, int h) {
        const int x0 = std::max(0, x / kBlock), y0 = std::max(0, y / kBlock);
        const int x1 = std::min(kBlocksX - 1, (x + w - 1) / kBlock);
        const int y1 = std::min(kBlocksY - 1, (y + h - 1) / kBlock);
        if (x + w <= 0 || y + h <= 0) return;
        for (int by = y0; by <= y1; ++by)
            for (int bx = x0; bx <= x1; ++bx) {
                count += !dirty[by][bx];
                dirty[by][bx] = true;
            }
    }
};

bool sameDraw(const WorldDraw& a, const WorldDraw& b, int lift) {
    return a.bitmap == b.bitmap && a.tint.r == b.tint.r && a.tint.g == b.tint.g &&
           a.tint.b == b.tint.b && a.tint.a == b.tint.a && a.sx == b.sx && a.sy == b.sy &&
           a.sw == b.sw && a.sh == b.sh && a.x == b.x && a.y + lift == b.y &&
           a.replaces == b.replaces && a.block == b.block;
}

// Marks where two listings in the painter's order differ: a pixel that no
// differing draw touches meets the same draws in the same order in both.
// The earlier listing is taken `lift` pixels lower.
void markChanges(const WorldDraw* before, int beforeCount, int lift, const WorldDraw* after,
                 int afterCount, int x, int y, Blocks& blocks) {
    auto mark = [&](const WorldDraw& d) { blocks.mark(d.x + x, d.y + y, d.sw, d.sh); };
    auto markBefore = [&](const WorldDraw& d) { blocks.mark(d.x + x, d.y + lift + y, d.sw, d.sh); };
    int i = 0, j = 0;
    while (i < beforeCount || j < afterCount) {
        if (j == afterCount || (i < beforeCount && before[i].order < after[j].order)) {
            markBefore(before[i++]);
        } else if (i == beforeCount || after[j].order < before[i].order) {
            mark(after[j++]);
        } else {
            const int order = before[i].order;
            int i2 = i, j2 = j;
            while (i2 < beforeCount && before[i2].order == order) ++i2;
            while (j2 < afterCount && after[j2].order == order) ++j2;
            bool same = i2 - i == j2 - j;
            for (int k = 0; same && k < i2 - i; ++k)
                same = sameDraw(before[i + k], after[j + k], lift);
            if (!same) {
                for (int k = i; k < i2; ++k) markBefore(before[k]);
                for (int k = j; k < j2; ++k) mark(after[k]);
            }
            i = i2;
            j = j2;
        }
    }
}

// Moves a layer's pixels by (dx, dy) into the spare, which then takes its
// place; what moves in from outside is marked.
void shiftLayer(ALLEGRO_BITMAP*& layer, ALLEGRO_BITMAP*& spare, int dx, int dy, Blocks& blocks) {
    al_set_target_bitmap(spare);
    al_draw_bitmap(layer, dx, dy, 0);
    std::swap(layer, spare);
    if (dx != 0)
        blocks.edges[blocks.edgeCount++] =
            PixelRect{dx > 0 ? 0 : kLayerWidth + dx, 0, std::abs(dx), kLayerHeight};
    if (dy != 0)
        blocks.edges[blocks.edgeCount++] =
            PixelRect{0, dy > 0 ? 0 : kLayerHeight + dy, kLayerWidth, std::abs(dy)};
}

// An area of a layer cleared and drawn again from the pass's first `last` draws.
void redrawArea(const GameView& game, const LayerSet& set, const PixelRect& area, int last) {
    const WorldLayers& l = set.layers;
    const int x = l.originX + kLayerMarginX, y = l.originY + kLayerMarginY;
    al_set_clipping_rectangle(area.x, area.y, area.w, area.h);
    al_clear_to_color(l.overSky ? al_map_rgba(0, 0, 0, 0) : skyColour(set.bakedSky));
    if (!l.overSky) drawNightSky(game.clock, kLayerMarginX, kLayerMarginY);
    al_hold_bitmap_drawing(true);
    for (int i = 0; i < last; ++i) {
        const WorldDraw& d = pass.draws[i];
        if (area.overlaps(PixelRect{d.x + x, d.y + y, d.sw, d.sh}))
            al_draw_tinted_bitmap_region(d.bitmap, d.tint, d.sx, d.sy, d.sw, d.sh, d.x + x, d.y + y,
                                         0);
    }
    al_hold_bitmap_drawing(false);
}

// Draws the marked blocks of a layer again from the pass, in rectangles of
// whole runs of blocks along a row, stacked where rows repeat, and the edges.
void redrawBlocks(const GameView& game, const LayerSet& set, const Blocks& blocks, int last) {
    bool done[kBlocksY][kBlocksX] = {};
    for (int by = 0; by < kBlocksY; ++by) {
        for (int bx = 0; bx < kBlocksX; ++bx) {
            if (!blocks.dirty[by][bx] || done[by][bx]) continue;
            int bx1 = bx;
            while (bx1 + 1 < kBlocksX && blocks.dirty[by][bx1 + 1] && !done[by][bx1 + 1]) ++bx1;
            int by1 = by;
            for (bool whole = true; whole && by1 + 1 < kBlocksY;) {
                for (int b = bx; b <= bx1 && whole; ++b)
                    whole = blocks.dirty[by1 + 1][b] && !done[by1 + 1][b];
                if (whole) ++by1;
            }
            for (int r = by; r <= by1; ++r)
                for (int b = bx; b <= bx1; ++b) done[r][b] = true;
            redrawArea(game, set,
                       PixelRect{bx * kBlock, by * kBlock, (bx1 - bx + 1) * kBlock,
                                 (by1 - by + 1) * kBlock},
                       last);
        }
    }
    for (int i = 0; i < blocks.edgeCount; ++i) redrawArea(game, set, blocks.edges[i], last);
    al_reset_clipping_rectangle();
}

// Brings valid layers up to the pass and the camera by drawing again only
// where they change; false when that would touch too much of them (or
// would move the night sky, which stays put on the screen).
bool patchLayers(const GameView& game, LayerSet& set) {
    WorldLayers& l = set.layers;
    // Moved by the camera's travel and the change of level scroll, the old
    // pixels lie where the old draws, lifted by that scroll, are now drawn.
    // Most draws come before the figure: theirs is the scroll followed (on
    // the frame the level changes, those after the figure move on first).
    const int lift = set.drawnScroll - listedScene.scrollBefore;
    const int dx = game.camera.offsetX - l.originX;
    const int dy = game.camera.offsetY - l.originY + lift;
    if ((dx != 0 || dy != 0) && !l.overSky && game.clock.nightLevel > 0) return false;
    if (std::abs(dx) >= kLayerWidth / 2 || std::abs(dy) >= kLayerHeight / 2) return false;
    if (spareWhole == nullptr || spareBefore == nullptr) return false;
    Blocks before, whole;
    const int x = game.camera.offsetX + kLayerMarginX, y = game.camera.offsetY + kLayerMarginY;
    const std::vector<WorldDraw>& old = set.drawn;
    markChanges(old.data(), set.drawnSpriteIndex, lift, pass.draws, pass.spriteIndex, x, y, before);
    markChanges(old.data(), static_cast<int>(old.size()), lift, pass.draws, pass.count, x, y,
                whole);
    if (before.count + whole.count > kMostPatchedBlocks) return false;
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
    if (dx != 0 || dy != 0) {
        al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
        shiftLayer(l.beforeSprite, spareBefore, dx, dy, before);
        shiftLayer(l.whole, spareWhole, dx, dy, whole);
        al_restore_state(&state);
        l.originX = game.camera.offsetX;
        l.originY = game.camera.offsetY;
    }
    al_set_target_bitmap(l.beforeSprite);
    redrawBlocks(game, set, before, pass.spriteIndex);
    al_set_target_bitmap(l.whole);
    redrawBlocks(game, set, whole, pass.count);
    al_restore_state(&state);
    set.animFrame = game.clock.blockAnimFrame;
    keepDrawn(set, ++generations);
    return true;
}

// A camera move within the margins only shifts the layers, unless the night
// sky, which stays put on the screen, is drawn into them.
bool shiftFits(const GameView& game, const WorldLayers& l, bool overSky) {
    const int dx = game.camera.offsetX - l.originX, dy = game.camera.offsetY - l.originY;
    if (std::abs(dx) > kLayerMarginX || std::abs(dy) > kLayerMarginY) return false;
    return overSky || game.clock.nightLevel <= 0 || (dx == 0 && dy == 0);
}

// Whether the set shows this sky at all; what it shows of the world is then
// brought up to date by patching.
bool skyFits(const LayerSet& set, SkyKind sky, bool overSky) {
    return set.valid && set.layers.overSky == overSky && (overSky || set.bakedSky == sky);
}

// The first set is made at start-up, the others when first needed (once in
// a run), which keeps start-up short.
bool makeLayerBitmaps(LayerSet& set) {
    WorldLayers& l = set.layers;
    for (ALLEGRO_BITMAP** layer : {&l.beforeSprite, &l.whole}) {
        if (*layer == nullptr) *layer = al_create_bitmap(kLayerWidth, kLayerHeight);
        if (*layer == nullptr) return false;
    }
    return true;
}

LayerSet& setForFrame(const GameView& game) {
    LayerSet& set = sets[pass.animated ? (game.clock.blockAnimFrame & (kLayerSets - 1)) : 0];
    return makeLayerBitmaps(set) ? set : sets[0];
}

// Lists the pass again when anything it shows has changed.
void relistIfChanged(const GameView& game, const SceneKey& scene) {
    const std::int32_t tileFrame = game.clock.blockAnimFrame;
    const bool sameScene = listed && scene == listedScene;
    if (sameScene && (!pass.animated || tileFrame == listedTileFrame)) return;
    pass = listPassDraws(game, scene.scrollBefore, scene.scrollAfter);
    ++listings;
    listedScene = scene;
    listedTileFrame = tileFrame;
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
    for (ALLEGRO_BITMAP** spare : {&spareWhole, &spareBefore}) {
        if (*spare != nullptr) al_destroy_bitmap(*spare);
        *spare = nullptr;
    }
    listed = false;
}

const WorldLayers& updateWorldLayers(const GameView& game, const ViewKey& key) {
    relistIfChanged(game, key.scene);
    LayerSet& set = setForFrame(game);
    const bool overSky = renderPictures.twoLevelAlpha && !pass.translucent;
    const bool current = set.listing == listings && shiftFits(game, set.layers, overSky);
    if (!skyFits(set, key.sky, overSky)) {
        drawLayers(game, set, key.sky, overSky);
    } else if (!current) {
        // Made when first needed: a world at rest never needs them.
        for (ALLEGRO_BITMAP** spare : {&spareWhole, &spareBefore})
            if (*spare == nullptr) *spare = al_create_bitmap(kLayerWidth, kLayerHeight);
        if (!patchLayers(game, set)) drawLayers(game, set, key.sky, overSky);
    }
    set.layers.draws = pass.draws;
    set.layers.drawCount = pass.count;
    set.layers.spriteIndex = pass.spriteIndex;
    return set.layers;
}

int layerScreenX(const Camera& camera, const WorldLayers& l) {
    return camera.offsetX - l.originX - kLayerMarginX;
}

int layerScreenY(const Camera& camera, const WorldLayers& l) {
    return camera.offsetY - l.originY - kLayerMarginY;
}

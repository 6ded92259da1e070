// Keeps the pass listing and the layer sets in step with the game; what makes
// them stale is listed in cached_frame.h.
#include "render/world_layers.h"

#include <cstdlib>
#include <initializer_list>

#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/render_pictures.h"
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
};

LayerSet sets[kLayerSets];
std::uint32_t generations = 0;
PassDraws pass;
SceneKey listedScene;
std::int32_t listedTileFrame = 0;
bool listed = false;

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
    l.generation = ++generations;
    set.bakedSky = sky;
    set.animFrame = game.clock.blockAnimFrame;
    set.valid = true;
}

// A camera move within the margins only shifts the layers, unless the night
// sky, which stays put on the screen, is drawn into them.
bool shiftFits(const GameView& game, const WorldLayers& l, bool overSky) {
    const int dx = game.camera.offsetX - l.originX, dy = game.camera.offsetY - l.originY;
    if (std::abs(dx) > kLayerMarginX || std::abs(dy) > kLayerMarginY) return false;
    return overSky || game.clock.nightLevel <= 0 || (dx == 0 && dy == 0);
}

bool setFits(const GameView& game, const LayerSet& set, SkyKind sky, bool overSky) {
    return set.valid && (!pass.animated || set.animFrame == game.clock.blockAnimFrame) &&
           set.layers.overSky == overSky && (overSky || set.bakedSky == sky) &&
           shiftFits(game, set.layers, overSky);
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

LayerSet& setForFrame(const GameView& game) {
    LayerSet& set = sets[pass.animated ? (game.clock.blockAnimFrame & (kLayerSets - 1)) : 0];
    return makeLayerBitmaps(set) ? set : sets[0];
}

// Lists the pass again when anything it shows has changed; a change of the
// scene itself (not only of the animation frame) makes every set stale.
void relistIfChanged(const GameView& game, const SceneKey& scene) {
    const std::int32_t tileFrame = game.clock.blockAnimFrame;
    const bool sameScene = listed && scene == listedScene;
    if (sameScene && (!pass.animated || tileFrame == listedTileFrame)) return;
    if (!sameScene) {
        for (LayerSet& set : sets) set.valid = false;
    }
    pass = listPassDraws(game, scene.scrollBefore, scene.scrollAfter);
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
    listed = false;
}

const WorldLayers& updateWorldLayers(const GameView& game, const ViewKey& key) {
    relistIfChanged(game, key.scene);
    LayerSet& set = setForFrame(game);
    const bool overSky = renderPictures.twoLevelAlpha && !pass.translucent;
    if (!setFits(game, set, key.sky, overSky)) drawLayers(game, set, key.sky, overSky);
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

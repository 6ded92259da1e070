// The world pass kept between frames: the draws it makes, less what opaque
// blocks drawn later hide, and two layers drawn from them: the painter's order
// up to the player's sprite, and the whole pass, kept for each tile animation
// frame. They are drawn again only where something they show has changed: a
// step moves them with the camera and redraws the edge that comes into view
// and the blocks whose draws differ, so a walk costs what changes on the
// screen, not what the screen shows.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>

#include "render/frame_parts.h"
#include "render/view_key.h"

// One draw of the pass, placed for a camera at offset (0, 0).
struct WorldDraw {
    ALLEGRO_BITMAP* bitmap;
    ALLEGRO_COLOR tint;
    int sx, sy, sw, sh;
    int x, y;
    int order;  // passOrder of its cell: where other figures fall among the draws
    // Every pixel it draws either replaces what lies below or leaves it: drawn
    // twice, it gives what it gives once.
    bool replaces;
    bool block = false;  // a block's picture, not a mark laid over one
};

// The layers reach one cell of camera travel past every screen edge, so a
// step's camera moves only shift them.
constexpr int kLayerMarginX = 32;
constexpr int kLayerMarginY = 16;
constexpr int kLayerSets = 4;  // one per tile animation frame

struct WorldLayers {
    ALLEGRO_BITMAP* beforeSprite = nullptr;
    ALLEGRO_BITMAP* whole = nullptr;
    int originX = 0, originY = 0;  // camera offset the layers were drawn for
    bool overSky = false;          // clear where no block is, to be laid over the sky
    std::uint32_t generation = 0;  // changes whenever the layers are drawn
    int set = 0;                   // which of the kept sets (one per tile animation frame)
    const WorldDraw* draws = nullptr;
    int drawCount = 0;
    int spriteIndex = 0;  // draws from here on come after the sprite
};

bool createWorldLayers();
void releaseWorldLayers();
// Brings the layers up to date with this frame, after its step.
const WorldLayers& updateWorldLayers(const GameView& game, const ViewKey& key);
// Top-left corner on the screen of a layer drawn for the camera.
int layerScreenX(const Camera& camera, const WorldLayers& layers);
int layerScreenY(const Camera& camera, const WorldLayers& layers);

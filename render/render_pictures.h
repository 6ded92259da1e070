// The pictures as the cached drawing uses them: one atlas texture holding the
// tiles, the crack and the player sheets (so long runs of draws stay one
// batch), their sizes read once, and what their shapes allow to leave out.
#pragma once

#include <allegro5/allegro.h>

#include "render/tile_shapes.h"
#include "render/world_view.h"
#include "world/world_grid.h"

struct PictureCopy {
    ALLEGRO_BITMAP* bitmap = nullptr;    // in the atlas, or the loaded picture itself
    ALLEGRO_BITMAP* original = nullptr;  // as loaded
    int w = 0, h = 0;
};

constexpr int kMaxHudPieces = 300;

struct RenderPictures {
    ALLEGRO_BITMAP* atlas = nullptr;
    PictureCopy tile[kBlockTypes];
    PictureCopy crack;
    PictureCopy sheet[5];
    // Frames of the common cube shape, fully opaque inside it.
    bool standardFrame[kBlockTypes][kStripFrames] = {};
    // Every tile and crack pixel is blank or opaque: the world can then be
    // drawn apart from the sky and laid over it with the same result.
    bool twoLevelAlpha = false;
    PixelRect visibleParts[kCoverSets];
    // Every pixel of the HUD frame is blank or opaque.
    bool hudTwoLevelAlpha = false;
    PixelRect hudPieces[kMaxHudPieces];
    int hudPieceCount = 0;
};
extern RenderPictures renderPictures;

// Builds everything above from `assets`; call after the pictures are loaded
// (and, in the game, after the display exists, so the atlas is a texture).
bool loadRenderPictures();
void releaseRenderPictures();
// The atlas copy of a loaded picture when the region lies inside it, else the
// picture itself.
ALLEGRO_BITMAP* atlasPicture(const PictureCopy& copy, int sx, int sy, int sw, int sh);

// Seeing through what stands in front: the part of the target outline that
// the figure hides, drawn thin over the figure, and the figure's edge where
// blocks in front of it hide it, drawn over them. The plain and the cached
// drawing both call these at the same place in the painter's order.
#pragma once

#include <allegro5/allegro.h>

#include "render/world_view.h"

// Starts this frame's list of the blocks drawn after the figure; nothing is
// listed for a figure that is not drawn, nor in the classic picture.
void beginFigureCovers(const SpriteDraw* figure);
// Notes a block drawn after the figure at (x, y); a faded one hides nothing.
void addFigureCover(ALLEGRO_BITMAP* bitmap, ALLEGRO_COLOR tint, int sx, int sy, int sw, int sh,
                    int x, int y);
// The figure's edge where the blocks listed hide it.
void drawFigureThroughCovers(const SpriteDraw& figure);
// The part of the target outline at (x, y) that the figure covers, thin.
void drawOutlineThroughFigure(const SpriteDraw& figure, bool raised, int x, int y);
// Makes the pictures ahead of the first frame that needs them (else they are
// made then).
void prepareSeeThrough();
void releaseSeeThrough();

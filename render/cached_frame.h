// The game frame drawn from caches. Each tier keeps what it was made for and
// is made again only when that no longer holds (render/view_key.h has the
// keys):
//
//   pictures         the atlas of the tiles, crack and sheets, the tile shapes
//                    and the HUD pieces (render_pictures.cpp); made by
//                    prepareRenderer from the loaded pictures, stale only when
//                    it runs again.
//   pass listing     the world pass's draws less what later opaque blocks
//                    hide (world_layers.cpp); stale when the scene key changes
//                    (the world's revision, the player's column and level, the
//                    level scrolls, the bounds, the night level, the crack) or,
//                    when a drawn tile is animated, the tile frame.
//   layer sets       one per tile frame: the pass up to the figure and whole,
//                    drawn for one camera offset. When the listing or the
//                    camera (past the margins) has moved on, a set is moved
//                    with the camera and the level scroll and drawn again only
//                    in the blocks where its listing and the new one differ;
//                    drawn whole when that is most of it, when its sky is baked
//                    in and differs, or when the night sky baked in would move.
//   sky              the sky colour under the night layer; stale when the sky
//                    kind or the night level changes.
//   composed screens one per layer set and weather frame: the layers, weather,
//                    HUD and hotbar; stale when the view key changes or the
//                    layers under them are redrawn.
//
// Nothing of the figures is kept: one's own rectangle is redrawn every frame.
// Other players' figures, in groups whose rectangles overlap, are drawn over
// the composed screen among the blocks in front of them, cut to the group's
// rectangle (and the HUD frame), where those blocks give each pixel they draw
// or leave it; a group under weather, the hotbar, one's own figure or a
// fading block is redrawn from the layers instead.
#pragma once

#include "game/frame_step.h"

// Draws the game frame from the caches; false (having drawn nothing) when
// they are not prepared, switched off, or the target is not a frame buffer
// of the screen's size.
bool drawCachedGameFrame(const GameView& game, const GameFrame& frame);

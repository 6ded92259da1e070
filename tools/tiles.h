// Block tiles: one 64 x 64 cube per block id, four frames side by side for the
// animated liquids.
#pragma once

#include "tools/image.h"

Image makeTile(int blockId);
// The crack laid over a block being mined: four growing stages, one per frame.
Image makeCrackStrip();

// The desktop icon: the grass cube, the block a new world is made of.
#pragma once

#include "tools/image.h"

// The cube at size x size pixels (size 32, 64, 128 or 256).
Image makeIcon(int size);

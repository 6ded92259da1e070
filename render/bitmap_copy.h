// Copying one picture onto another of the same size, pixel for pixel.
#pragma once

#include <allegro5/allegro.h>

// Makes `to` an exact copy of `from` (alpha included). Two textures of the
// OpenGL display are copied by the driver without drawing, which costs a
// fraction of a drawn full-screen copy on a software renderer; anything else
// is drawn with blending off. Leaves the target bitmap and blender as they were.
void copyWholeBitmap(ALLEGRO_BITMAP* from, ALLEGRO_BITMAP* to);

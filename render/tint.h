// The drawing tint: one blend colour that multiplies every bitmap and text.
#pragma once

#include <allegro5/allegro.h>

struct Tint {
    float r = 1, g = 1, b = 1, a = 1;
};
constexpr Tint kNoTint{};

// Sets the current tint (and the blender the game draws with).
void setTint(Tint tint);
// Back to opaque white.
void resetTint();
// The current tint as an Allegro colour, for the tinted drawing calls.
ALLEGRO_COLOR currentTint();

// Text in the small font, in the current tint.
#pragma once

// Draws format filled in with one value (a whole number or a text) at (x, y).
void drawText(const char* format, int x, int y, int value);
void drawText(const char* format, int x, int y, const char* value);

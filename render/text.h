// Text in the game's fonts, in the current tint.
#pragma once

// Draws format filled in with one value (a whole number or a text) at (x, y)
// in the small font.
void drawText(const char* format, int x, int y, int value);
void drawText(const char* format, int x, int y, const char* value);
// Draws a plain text at (x, y) in the large font (the slogans).
void drawLargeText(const char* text, int x, int y);

// Text in the game's fonts, in the current tint.
#pragma once

// Draws a text as it is at (x, y) in the small font (labels, panels, counts).
void drawText(const char* text, int x, int y);
// Draws a text as it is at (x, y) in the large font (the slogans).
void drawLargeText(const char* text, int x, int y);
// Width in pixels of a text in the small font; 0 without the font.
int textWidth(const char* text);

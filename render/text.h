// Text in the game's fonts, in the current tint, and the dark backings that
// keep text over the game's picture readable on snow, sand and the day sky.
#pragma once

#include <string>
#include <vector>

#include "render/tint.h"

// Draws a text as it is at (x, y) in the small font (labels, panels, counts).
void drawText(const char* text, int x, int y);
// Draws a text as it is at (x, y) in the large font (the slogans).
void drawLargeText(const char* text, int x, int y);
// Width in pixels of a text in the small font; 0 without the font.
int textWidth(const char* text);
// Height of a line of the small font; 0 without the font.
int textLineHeight();

// How far a backing reaches beyond its text on each side.
constexpr int kBackingMarginX = 3, kBackingMarginY = 1;
// A small-font text over the game's picture: on a backing that fits it,
// but bare in the classic picture, as it always was there.
void drawOverlayText(const char* text, int x, int y);
// The backing behind a text of that width at (x, y), alone: many backings
// and then many texts make two batches of drawing instead of many.
void drawTextBacking(int x, int y, int width);
// The backings' colour: dark enough that the font's white reaches a
// contrast of about 7 to 1 over snow, and light enough that the world still
// shows through.
constexpr Tint kBackingTint{0, 0, 0, 0.65f};
// A dark, partly transparent rectangle; the same in both pictures.
void drawBacking(int x, int y, int w, int h);
// A rectangle in `tint` (premultiplied as every tint), and one's one-pixel
// outline.
void fillRectangle(int x, int y, int w, int h, Tint tint);
void drawOutline(int x, int y, int w, int h, Tint colour);
// The backings' picture goes with the other Allegro objects at shutdown.
void releaseTextBacking();

// The words of `text` in lines no wider than `width` in the small font; a
// word wider than a line is cut where it must be.
std::vector<std::string> wrapText(const std::string& text, int width);
// As much of the end of `text` as fits in `width`, with "..." before it
// when something was left out: the typing end of a long line stays in view.
std::string textEndThatFits(const std::string& text, int width);

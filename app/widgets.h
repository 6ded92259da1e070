// The menus' widgets: the button and its hit test, the backdrop behind every
// menu screen, and the dark panels text stands on. The screens and their
// panels draw with these; nothing here calls back into them.
#pragma once

// The backdrop darkens only the button column; the panel beside it and the
// bar along the bottom are darkened the same way where a screen writes in them.
constexpr int kPanelBoxX = 432, kPanelBoxW = 202;       // the panel beside the buttons
constexpr int kPanelBoxY = 200, kPanelBoxBottom = 368;  // its top, and where it ends
constexpr int kPanelBoxH = kPanelBoxBottom - kPanelBoxY;
constexpr int kBarX = 212, kBarY = 452, kBarW = 296, kBarH = 22;  // the bottom bar

void drawMenuButton(int x, int y, const char* label);
// A button lit or not whatever the pointer does: for menus that keep one
// chosen row.
void drawMenuButton(int x, int y, const char* label, bool lit);
// Whether the pointer is over the menu button picture drawn at (x, y).
bool pointerOverButton(int x, int y);
// The title menu's picture behind every menu screen, with the panel beside
// the buttons and the bar along the bottom that those screens write in.
void drawMenuBackdrop();
// The picture alone, its button column darkened: the title menu's.
void drawTitleBackdrop();
// The scene darkened as the backdrop's button column is, its corners bare.
void drawMenuPanel(int x, int y, int w, int h);
// One of the backdrop's side-by-side panels (left edge, width) drawn taller,
// down to just above its bottom bar.
void extendMenuPanel(int x, int width);
// The backdrop's bottom bar drawn on to x = `right`, for a line that would
// run past its end.
void extendMenuBar(int right);

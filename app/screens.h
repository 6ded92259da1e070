// The screens before and around the game: intro, title menu, information panels.
#pragma once

// The menu's hit tests and what its choice does: the game shown, or quitting.
void updateTitleMenu();
// The update of whichever screen is shown, before the frame is drawn.
void updateScreens();

void drawIntroSlogan(const char* text);
void drawTitleSlogan(const char* text, int x, int y);
void drawMenuButton(int x, int y, const char* label);
// Whether the pointer is over the menu button picture drawn at (x, y).
bool pointerOverButton(int x, int y);
// The title menu's picture behind every menu screen.
void drawMenuBackdrop();
void drawIntroScreen();
void drawTitleMenu();

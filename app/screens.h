// The screens before and around the game: intro, title menu, information panels.
#pragma once

#include <string>
#include <vector>

// One row of the controls panel outside the classic picture: the keys, and
// what they do.
struct ControlsRow {
    std::string keys, action;
};
std::vector<ControlsRow> controlsRows();
// The foot of the panel's last row.
int controlsRowsBottom();

// The menu's hit tests and what its choice does: the game shown, or quitting.
void updateTitleMenu();
// The update of whichever screen is shown, before the frame is drawn.
void updateScreens();

void drawIntroSlogan(const char* text);
void drawTitleSlogan(const char* text, int x, int y);
void drawMenuButton(int x, int y, const char* label);
// A button lit or not whatever the pointer does: for menus that keep one
// chosen row.
void drawMenuButton(int x, int y, const char* label, bool lit);
// Whether the pointer is over the menu button picture drawn at (x, y).
bool pointerOverButton(int x, int y);
// The title menu's picture behind every menu screen, with the panel beside
// the buttons and the bar along the bottom that those screens write in.
void drawMenuBackdrop();
// One of the backdrop's side-by-side panels (left edge, width) drawn taller,
// down to just above its bottom bar.
void extendMenuPanel(int x, int width);
// The backdrop's bottom bar drawn on to x = `right`, for a line that would
// run past its end.
void extendMenuBar(int right);
void drawIntroScreen();
void drawTitleMenu();

// A key pressed this tick on the title menu or the pause menu: Up and Down
// move the choice, Enter takes it. Escape is the main loop's.
void titleMenuKey(int keycode);
void pauseMenuKey(int keycode);
// The pause menu's pointer and clicks, once per event while it is shown.
void updatePauseMenu();
// Over the game's picture.
void drawPauseMenu();

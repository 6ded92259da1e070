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

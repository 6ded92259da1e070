// The screens before and around the game: intro, title menu, information panels.
#pragma once

void drawIntroSlogan(const char* text);
void drawTitleSlogan(const char* text, int x, int y);
void drawMenuButton(int x, int y, const char* label, int id);
void drawIntroScreen();
void drawTitleMenu();

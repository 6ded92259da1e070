// F12's pictures: what the game shows, at its own 640 x 480.
#pragma once

#include <allegro5/allegro.h>

#include <string>

// Writes the picture as a PNG into the screenshot folder (game/paths.h),
// named by the local date and time and never over an earlier file. False
// when it could not; one line on standard error then says why. The file's
// name, without its folder, goes to `savedName` when one is given.
bool saveScreenshot(ALLEGRO_BITMAP* picture, std::string* savedName = nullptr);

// Pictures around the world: HUD frame, hotbar, cursor, night layer, menu
// background and button, logo, weather strips and the two spare pictures.
#pragma once

#include "tools/image.h"

Image makeHudFrame();        // 001: 640 x 480, a thin frame round a transparent middle
Image makeEmblem();          // 002: small, loaded but never drawn
Image makeHotbarStrip();     // 003: nine 30 px slots, drawn at (182, 417)
Image makeHotbarCursor();    // 004: frames one slot, drawn at (182 + 30 * slot, 416)
Image makePickaxeIcon();     // 005: small, loaded but never drawn
Image makeNightLayer();      // 006: 640 x 480
Image makeMenuBackground();  // 007: 640 x 480
Image makeMenuButton();      // 008: normal half above, highlighted half below
Image makeLogo();            // drawn on white at (60, 150)
Image makeRainStrip();       // four 80 x 100 frames that loop
Image makeSnowStrip();

constexpr int kButtonWidth = 200;
constexpr int kButtonHalfHeight = 20;

// Every bitmap and font of the game, loaded once at start-up.
#pragma once

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>

#include "rules/projection.h"
#include "world/world_grid.h"

struct AssetSet {
    ALLEGRO_BITMAP* frameBuffer = nullptr;         // target of all drawing, 640 x 480
    ALLEGRO_BITMAP* playerBitmap[5] = {};          // sheets 1..4; 0 unused
    ALLEGRO_BITMAP* tileBitmap[kBlockTypes] = {};  // picture of block id 1..22; 0 unused
    ALLEGRO_BITMAP* hudFrame = nullptr;            // 001
    ALLEGRO_BITMAP* gfx002 = nullptr;              // loaded, never drawn
    ALLEGRO_BITMAP* hotbarStrip = nullptr;         // 003
    ALLEGRO_BITMAP* hotbarCursor = nullptr;        // 004
    ALLEGRO_BITMAP* gfx005 = nullptr;              // loaded, never drawn
    ALLEGRO_BITMAP* nightSky = nullptr;            // 006
    ALLEGRO_BITMAP* menuBackground = nullptr;      // 007
    ALLEGRO_BITMAP* menuButton = nullptr;          // 008: upper half normal, lower highlighted
    ALLEGRO_BITMAP* logo = nullptr;
    ALLEGRO_BITMAP* weatherBitmap[3] = {};  // 1 rain, 2 snow
    ALLEGRO_BITMAP* crackBitmap = nullptr;
    ALLEGRO_FONT* smallFont = nullptr;  // size 10
    ALLEGRO_FONT* largeFont = nullptr;  // size 18
    std::int32_t menuSloganIndex = 0;   // title slogan of the run, 0..3
};
extern AssetSet assets;

constexpr int kScreenWidth = kViewWidth;
constexpr int kScreenHeight = kViewHeight;

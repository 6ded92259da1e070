// The one player of the run and the camera that follows it.
#pragma once

#include <cstdint>

#include "world/world_grid.h"

constexpr int kHotbarSlots = 9;
// What every run starts with; setUpWorld hands them out.
constexpr BlockId kStartHotbar[kHotbarSlots] = {1, 6, 2, 4, 13, 18, 19, 5, 8};
constexpr std::int32_t kStartCount = 100;  // of every block type

// Zero at program start; setUpWorld gives it its defaults.
struct PlayerState {
    std::int32_t x = 0, y = 0;       // column the player stands in
    std::int32_t level = 0;          // level of the ground block; body at level - 1, head at level - 2
    std::int32_t facing = 0;         // 0 toward y - 1, 1 toward y + 1, 2 toward x - 1, 3 toward x + 1
    bool busy = false;               // a step or an action animation is running
    bool acting = false;             // the running animation is an action, not a step
    bool resting = false;            // rest mode (F11)
    std::int32_t actionMode = 0;     // 0 mining, 1 placing
    std::int32_t strikes = 0;        // finished actions toward the next break, 0..2
    std::int32_t animTick = 0;       // 0..16 inside the running animation
    std::int32_t animFrame = 0;      // sheet column to draw, 0..3
    std::int32_t spriteSheet = 0;    // 1 standing, 2 walking, 3 resting, 4 acting
    std::int32_t holdTicks = 0;      // ticks in a row with an arrow key held
    std::int32_t spriteRow = 0;      // look, 0..6 (F1)
    std::int32_t spriteGroup = 0;    // second look, 0..1 (F2)
    std::int32_t targetRaised = 0;   // 1: actions one level above the ground ahead; 0: at it
    bool autoJump = false;           // J: steps never blocked, level follows the column top
    std::int32_t selectedSlot = 0;   // 0..8
    BlockId hotbar[kHotbarSlots] = {};
    std::int32_t blockCounts[kBlockTypes] = {};
    BlockId targetBlock = 0;         // block at the action cell as the last world tick saw it
    std::int32_t hurtFlash = 0;      // 0 none; 1 and 2 alternate while hurt, 2 draws red
    std::int32_t hurtFlashTick = 0;  // 0..75
    bool onWater = false;            // standing on water
    bool litByLava = false;          // lava near the player at night
};
extern PlayerState player;

// The view's screen offset and its per-step velocity. At rest:
// offsetX = 32 * (y - x), offsetY = -16 * (x + y) for the player's column.
struct Camera {
    std::int32_t offsetX = 0, offsetY = 0;
    std::int32_t velocityX = 0, velocityY = 0;
};
extern Camera camera;

// A column of the grid.
struct Column {
    int x = 0, y = 0;
};

// The neighbour column the player faces: where it steps and acts.
Column columnAhead();

// Puts the player on a column and aims the camera at it.
void placePlayer(int x, int y);
// Sets the camera offset that belongs to the player's column at rest.
void aimCamera();
// One quarter of a cell of camera travel.
void cameraStep();

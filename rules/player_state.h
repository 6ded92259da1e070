// A player's record and the camera that follows it. The rules take the
// player they act on; the process-wide records are the single player's.
#pragma once

#include <cstdint>

#include "world/world_grid.h"

constexpr int kHotbarSlots = 9;
// The most of one block a player holds: what a hotbar slot has room to show.
constexpr std::int32_t kMostOfABlock = 999;

// The coded fields of the player record keep the numbers the game has always
// stored; with a 32-bit underlying type any stored value stays representable.

// Toward y - 1, y + 1, x - 1 and x + 1: the arrow keys.
enum class Facing : std::int32_t { Up = 0, Down = 1, Left = 2, Right = 3 };
enum class ActionMode : std::int32_t { Mining = 0, Placing = 1 };
// playerBitmap[1..4]; no sheet until the first tick.
enum class SpriteSheet : std::int32_t {
    Unset = 0,
    Standing = 1,
    Walking = 2,
    Resting = 3,
    Acting = 4,
};
// While hurt the flash alternates between the figure as it is and in red.
enum class HurtFlash : std::int32_t { Off = 0, Plain = 1, Red = 2 };

inline bool isHurt(HurtFlash flash) { return static_cast<std::int32_t>(flash) > 0; }

// Zero at program start; setUpWorld gives the single player its defaults.
struct PlayerState {
    std::int32_t x = 0, y = 0;  // column the player stands in
    std::int32_t level = 0;     // level of the ground block; body at level - 1, head at level - 2
    Facing facing = Facing::Up;
    bool busy = false;     // a step or an action animation is running
    bool acting = false;   // the running animation is an action, not a step
    bool running = false;  // the step under way is a run: kRunTicks long
    bool resting = false;  // rest mode (F11)
    ActionMode actionMode = ActionMode::Mining;
    std::int32_t strikes = 0;    // finished actions toward the next break, 0..2
    std::int32_t animTick = 0;   // 0..16 inside the running animation
    std::int32_t animFrame = 0;  // sheet column to draw, 0..3
    SpriteSheet spriteSheet = SpriteSheet::Unset;
    std::int32_t holdTicks = 0;     // ticks in a row with an arrow key held
    std::int32_t spriteRow = 0;     // look, 0..6 (F1)
    std::int32_t spriteGroup = 0;   // second look, 0..1 (F2)
    std::int32_t targetRaised = 0;  // 1: actions one level above the ground ahead; 0: at it
    bool autoJump = false;          // J: steps never blocked, level follows the column top
    std::int32_t selectedSlot = 0;  // 0..8
    BlockId hotbar[kHotbarSlots] = {};
    std::int32_t blockCounts[kBlockTypes] = {};
    BlockId targetBlock = 0;  // block at the action cell as the last world tick saw it
    HurtFlash hurtFlash = HurtFlash::Off;
    std::int32_t hurtFlashTick = 0;  // 0..75
    bool onWater = false;            // standing on water
    bool litByLava = false;          // lava near the player at night
};
// The single player. No function of the rules reads it.
extern PlayerState player;

// What every player starts with: the hotbar and a stock of every block.
void giveStartingKit(PlayerState& p);

// The view's screen offset and its per-step velocity, and the lift that shows
// the player's level. At rest the offset undoes the projection of the
// player's column (aimCamera).
struct Camera {
    std::int32_t offsetX = 0, offsetY = 0;
    std::int32_t velocityX = 0, velocityY = 0;
    std::int32_t levelScroll = 0;  // as the last game frame left it
};
// The single player's view.
extern Camera camera;

// A column of the grid.
struct Column {
    int x = 0, y = 0;
};

// The neighbour column the player faces: where it steps and acts. Only the
// low two bits of the facing count.
Column columnAhead(const PlayerState& p);

// Puts the player on a column and aims the camera at it.
void placePlayer(PlayerState& p, Camera& view, int x, int y);
// Sets the camera offset that belongs to the player's column at rest.
void aimCamera(Camera& view, const PlayerState& p);
// One quarter of a cell of camera travel.
void cameraStep(Camera& view);
// Lifts the view to the player's level; outside the band it stays where the
// last level left it.
void followPlayerLevel(Camera& view, const PlayerState& p);

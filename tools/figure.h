// The player figure's four sheets: standing, walking, resting and acting.
//
// Every sheet has seven rows (looks) and two column groups (outfits). Within a
// group the frames facing down-left come first, then those facing up-left; the
// game mirrors them for the other two facings. Frame sizes are chosen so that
// the figure's feet meet the middle of the player's tile wherever the game
// draws the frame: the mirror axis of each frame sits on screen x = 320.5.
#pragma once

#include "tools/image.h"

constexpr int kLooks = 7;

struct SheetLayout {
    int frameWidth, frameHeight;
    int framesPerFacing;  // per column group and facing
};

constexpr SheetLayout kStandingSheet{20, 56, 1};
constexpr SheetLayout kWalkingSheet{28, 56, 4};
constexpr SheetLayout kRestingSheet{40, 36, 1};
constexpr SheetLayout kActingSheet{26, 56, 2};

// sheet 1..4 as the game numbers them.
Image makePlayerSheet(int sheet);

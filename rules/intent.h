// What a player asks for in one tick. Single player makes it from the
// keyboard; a network client will send the same. The rules decide what of it
// happens: a busy player does not turn, a step into a wall only turns.
#pragma once

#include <cstdint>

struct PlayerIntent {
    bool walkUp = false, walkDown = false;     // held toward y - 1, y + 1
    bool walkLeft = false, walkRight = false;  // held toward x - 1, x + 1
    bool mine = false, place = false;
    bool run = false;  // a step started now takes kRunTicks, not kAnimTicks
    // The switches act on every tick they are held (a pause follows each).
    bool height = false;     // work at body height or at the ground ahead
    bool autoJump = false;   // auto-jump on or off
    bool rest = false;       // rest mode on or off
    bool look1 = false;      // the figure's next row of looks
    bool look2 = false;      // the figure's next group of looks; hides the slot choice
    std::int32_t slot = -1;  // hotbar slot chosen, 0..8; -1 none
};

// Each player's part of a timer tick: its intent turned into turns, steps,
// switches and actions, and the 17-tick animation that follows every step
// and action. Runs once per player per tick.
#pragma once

#include "rules/intent.h"
#include "rules/player_state.h"
#include "world/world_grid.h"

constexpr int kAnimTicks = 17;       // one step or one action
constexpr int kRunTicks = 9;         // one step with the run key held
constexpr int kHoldThreshold = 6;    // a step needs more ticks of holding than this
constexpr int kTogglePauseMs = 300;  // the only debounce of the switches

// Returns how many switches flipped; single player pauses kTogglePauseMs
// after each, as the game has always done, and a server does not.
int handlePlayerInput(PlayerState& p, Camera& view, const PlayerIntent& intent,
                      const WorldGrid& grid);
// The animation (and the action's effect when it ends), the hurt flash and
// the standing sheet.
void updateAnimations(PlayerState& p, Camera& view, WorldGrid& grid);
bool isStepBlocked(const PlayerState& p, const WorldGrid& grid);
// How many ticks the animation under way lasts.
int animationTicks(const PlayerState& p);
// Which of its animation's four marks (0..3) the player's tick is, or -1:
// the ticks at which the figure changes and a step moves the view on.
int animationMarkAt(const PlayerState& p);

// A short line in the picture saying what was just switched or saved, for
// about two seconds, and while the player rests, how to stand up; and, while
// the player has it on, a line beneath it saying where the player is.
// Nothing of it in the classic picture.
#pragma once

#include <string>

#include "rules/player_state.h"

constexpr int kStatusTicks = 80;  // two seconds at 40 ticks a second

// Shows a line for kStatusTicks ticks, replacing the one shown.
void showStatus(const std::string& text);
// Once per timer tick, around the player's tick: the switches before it and
// after it say what changed; a failing autosave is told once when it starts.
void noteSwitches(const PlayerState& before, const PlayerState& after, bool autosaveFailing);
// The mining and placing keys of this tick. A press whose action would change
// nothing says why, once, as the player comes free to act on it (a press in
// the middle of a step waits for the step's end, and is dropped if let go).
void noteActionKeys(const PlayerState& before, bool minePressed, bool mineHeld, bool placePressed,
                    bool placeHeld);
// What the line says now; "" when nothing.
std::string statusText(const PlayerState& p);
// The position key: the position line on, or off again, kept in the settings file.
void togglePositionLine();
bool positionLineShown();
// "column X, row Y, height H" for the player's column and the height it stands at.
std::string positionText(const PlayerState& p);
// "Home: 48 columns north-east, 3 up": the way to the mark chosen on the
// map; "" when none is.
std::string markWayText(const PlayerState& p);
// Over the game frame, just above the hotbar; the position line only when
// asked for (the map panel writes it itself).
void drawStatusLine(const PlayerState& p, bool showPosition = true);

// Puts every game record back to its program-start state, with the player
// set up as a run would leave it, and lets tests hold keys down. The one
// fresh run for the tests and the benchmarks.
#pragma once

#include <array>

#include "game/frame_step.h"
#include "game/key_bindings.h"
#include "rules/input.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

namespace fresh {

inline std::array<bool, 256> keys{};
inline int pauses = 0;
inline int pausedMs = 0;
inline bool keyboardOn = true;  // off: no key reads as down

inline bool keyDown(int key) { return key >= 0 && key < 256 && keys[key]; }
inline void recordPause(int ms) {
    pauses += 1;
    pausedMs += ms;
}

inline void hold(int key) { keys[key] = true; }
inline void release(int key) { keys[key] = false; }
inline void releaseAll() { keys.fill(false); }

// The records as a run's set-up leaves them, without the world file and the
// random draws: the bounds, no weather, the clocks at their start, and the
// player's defaults (the starting kit) on column (x, y) standing on level
// `level`, the camera on it. The cells are left as they are, so a scene may
// be built before or after.
inline void startRun(int x, int y, int level) {
    world.maxX = kBandEdge;
    world.maxY = kBandEdge;
    player = PlayerState{};
    camera = Camera{};
    weather = WeatherState{};
    worldClock = WorldClock{};
    giveStartingKit(player);
    player.facing = Facing::Down;
    player.spriteGroup = 1;
    player.targetRaised = 1;
    player.autoJump = true;
    player.level = level;
    placePlayer(player, camera, x, y);
}

// Zero state like a new process, then startRun on an empty world, with the
// keyboard and the pause bound to this file's recorders.
inline void startGame(int x = 10, int y = 10, int level = 5) {
    clearWorld();
    startRun(x, y, level);
    releaseAll();
    keyboardOn = true;
    pauses = 0;
    pausedMs = 0;
}

// The keys held now, as the player's intent.
inline PlayerIntent intent() { return intentFromKeys(keyboardOn ? keyDown : nullptr); }

// One timer tick of the single player.
inline void tick() { tickGame(intent(), recordPause); }

inline void ticks(int count) {
    for (int n = 0; n < count; ++n) tick();
}

// The single player's world tick, as a drawn game frame runs it.
inline void worldTick() { ::worldTick(localWorld(), player); }
// The world's clocks of one timer tick.
inline void advanceClocks() { ::advanceClocks(localWorld()); }
// Puts the single player on a column with its camera on it.
inline void placePlayer(int x, int y) { ::placePlayer(player, camera, x, y); }

// One timer tick followed by one drawn game frame.
inline void playTick() {
    tick();
    worldTick();
}

inline void playTicks(int count) {
    for (int n = 0; n < count; ++n) playTick();
}

inline bool cameraOnPlayer() {
    return camera.offsetX == 32 * (player.y - player.x) &&
           camera.offsetY == -16 * (player.x + player.y);
}

}  // namespace fresh

// The world changing by itself. The world's own part (liquids, snow cover,
// weather, day and night) runs once per tick of a world whatever the number
// of players in it; each player's part of the tick (lava light, target,
// auto-jump, footing, rest sheet) once per player.
#pragma once

#include <cstdint>

#include "rules/player_state.h"
#include "world/world_grid.h"

enum class WeatherKind : std::int32_t { Unset = 0, Rain = 1, Snow = 2 };

struct WeatherState {
    bool weatherActive = false;                    // rain or snow is falling
    WeatherKind weatherKind = WeatherKind::Unset;  // drawn at set-up, fixed for the run
    bool snowCover = false;             // raised by every world tick while the kind is snow
    std::int32_t weatherAnimFrame = 0;  // frame of the weather strip, 0..3
    std::int32_t weatherTick = 0;       // 0..15 inside a weather cycle
    std::int32_t weatherCycles = 0;     // cycles of the current spell, 0..200
    std::int32_t weatherTrigger = 0;    // 0..300, drawn first at set-up; 1..4 keeps weather on
};
// The single player's weather.
extern WeatherState weather;

struct WorldClock {
    double nightLevel = 0.0;          // 0 day, 1..5 darker and darker night
    std::int32_t dayTick = 0;         // 0..16320
    std::int32_t blockAnimFrame = 0;  // frame of every animated tile, 0..3
    std::int32_t blockAnimTick = 0;   // 0..80
    // The world's ticks, which pace its streams, and the tick they have
    // stepped up to: a frame drawn between two ticks steps nothing.
    std::uint32_t flowTick = 0;
    std::uint32_t flowDone = 0;
};
// The single player's clock.
extern WorldClock worldClock;

// The records a world is made of, by reference: the single player's
// process-wide ones, or those a server keeps for the world it runs.
struct World {
    WorldGrid& grid;
    WeatherState& weather;
    WorldClock& clock;
};
// The single player's world.
World localWorld();

// Whether weather keeps coming back all run long, decided once.
void drawWeatherTrigger(WeatherState& state);

// The per-frame world tick for the players in the world, in this order: each
// player's lava light, the weather trigger, the liquids (in a classic world
// at each player's level, with the snow on the first pass; in a larger one
// the streams' steps due by the world's ticks, then the snow), each player's target, auto-jump,
// footing and rest sheet, and last the snow cover of the snow kind.
void worldTick(World world, PlayerState* const players[], int count);
void worldTick(World world, PlayerState& p);
// One player's part of the world tick alone (lava light, target, auto-jump,
// footing, rest sheet): for a world whose own part runs elsewhere, on a server.
void playerPartOfTick(World world, PlayerState& p);
// The world's clocks, once per timer tick: day and night, the weather spell
// and the tile animation.
void advanceClocks(World world);

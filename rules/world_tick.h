// The world changing by itself: the per-frame world tick and the per-tick clocks.
#pragma once

#include <cstdint>

enum class WeatherKind : std::int32_t { Unset = 0, Rain = 1, Snow = 2 };

struct WeatherState {
    bool weatherActive = false;                    // rain or snow is falling
    WeatherKind weatherKind = WeatherKind::Unset;  // drawn at set-up, fixed for the run
    bool snowCover = false;             // raised by every game frame while the kind is snow
    std::int32_t weatherAnimFrame = 0;  // frame of the weather strip, 0..3
    std::int32_t weatherTick = 0;       // 0..15 inside a weather cycle
    std::int32_t weatherCycles = 0;     // cycles of the current spell, 0..200
    std::int32_t weatherTrigger = 0;    // 0..300, drawn before main; 1..4 keeps weather on
};
extern WeatherState weather;

struct WorldClock {
    double nightLevel = 0.0;          // 0 day, 1..5 darker and darker night
    std::int32_t dayTick = 0;         // 0..16320
    std::int32_t blockAnimFrame = 0;  // frame of every animated tile, 0..3
    std::int32_t blockAnimTick = 0;   // 0..80
};
extern WorldClock worldClock;

void worldTick();
void advanceClocks();

// Water and lava in a world larger than the classic band: sources stay put,
// streams fall first, run a few columns on what holds them up, and drain,
// far end first, once nothing feeds them. Each liquid takes a step every few
// of the world's ticks, whatever the frame rate, so a server and a single
// player grow the same streams from the same edits.
#pragma once

#include <cstdint>

#include "world/world_grid.h"

constexpr int kWaterStepTicks = 5;
constexpr int kLavaStepTicks = 20;

// Whether the world's liquids run as streams: only worlds larger than the
// band; a classic world floods its ground level as it always has.
inline bool flowsInStreams(const WorldGrid& grid) {
    return grid.maxX > kBandEdge || grid.maxY > kBandEdge;
}

// Every liquid and the cells beside it looked at again: after a load, or
// cells written without waking them.
void wakeAllLiquids(WorldGrid& grid);

// The steps due from `done` up to the world's tick `now`, each liquid at its
// own pace; `done` is left at `now`.
void stepLiquids(WorldGrid& grid, std::uint32_t now, std::uint32_t& done);

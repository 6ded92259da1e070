// The colours of the world seen from above, shared by the map panel and the
// world shot tool so that a picture of a saved world looks like the map in
// the game. No Allegro: the tool draws without a display.
#pragma once

#include <algorithm>
#include <cstdint>

#include "world/world_grid.h"

struct Rgb8 {
    std::uint8_t r, g, b;
};

// By BlockId: each material's main colour as its tile shows it, the top face
// first, since that is the face seen from above.
constexpr Rgb8 kBlockColours[kBlockTypes] = {
    {0, 0, 0},        // empty
    {84, 156, 60},    // grass
    {128, 128, 128},  // cobblestone
    {200, 40, 32},    // explosive crate
    {196, 152, 92},   // planks
    {40, 96, 220},    // water
    {130, 88, 52},    // earth
    {226, 206, 140},  // sand
    {255, 120, 16},   // lava
    {120, 116, 110},  // gravel
    {236, 240, 246},  // snow
    {150, 110, 64},   // log (rings)
    {40, 100, 40},    // leaves
    {170, 64, 48},    // brick
    {176, 214, 232},  // glass
    {90, 90, 90},     // coal ore
    {150, 132, 116},  // iron ore
    {40, 28, 52},     // hard rock
    {232, 230, 226},  // marble
    {204, 110, 60},   // terracotta
    {170, 150, 80},   // gold ore
    {96, 124, 84},    // mossy stone
    {170, 226, 236},  // ice
};
constexpr Rgb8 kDeep{14, 12, 22};

// Higher ground lighter, four in a hundred a level, so that neighbouring
// levels of one material still tell apart: level 0 a third above the
// material's colour, the floor of the band near half below it. Water and
// lava keep most of theirs, so that they read as what they are at any depth.
inline Rgb8 shaded(BlockId id, int level) {
    const Rgb8 base = kBlockColours[id];
    const float height = static_cast<float>(kBandEdge - level) / kBandEdge;  // 1 on top
    const bool liquid = id == Water || id == Lava;
    const float factor = liquid ? 0.85f + 0.2f * height : 0.55f + 0.8f * height;
    const auto channel = [&](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::min(255.0f, c * factor));
    };
    return {channel(base.r), channel(base.g), channel(base.b)};
}

inline Rgb8 paler(Rgb8 c) {
    const auto half = [](std::uint8_t v) { return static_cast<std::uint8_t>((v + 255) / 2); };
    return {half(c.r), half(c.g), half(c.b)};
}

// The colour of column (x, y): its topmost block's, shaded by its height.
inline Rgb8 topColour(const WorldGrid& grid, int x, int y) {
    const BlockId* column = &grid.cells[cellIndex(x, y, kHighestLevel)];
    for (int level = kHighestLevel; level <= kLowestLevel; ++level) {
        const BlockId id = column[level - kHighestLevel];
        if (id == Empty) continue;
        // A stream shows paler than its source, so a spill reads apart from
        // a sea; a value the game does not know stands as stone would.
        if (isStream(id)) return paler(shaded(liquidOf(id), std::max(level, 0)));
        return shaded(hasTile(id) ? id : Cobblestone, std::max(level, 0));
    }
    return kDeep;
}

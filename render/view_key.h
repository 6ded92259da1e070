// What a cached game frame shows, besides the pictures and the figure: the
// caches keep the key they were drawn for and compare it with the frame's.
#pragma once

#include <cstdint>

#include "game/frame_step.h"

// What the world pass draws.
struct SceneKey {
    std::uint32_t worldRevision = 0;
    std::int32_t x = 0, y = 0, level = 0;            // the player's column and level
    std::int32_t scrollBefore = 0, scrollAfter = 0;  // around the figure's place in the pass
    std::int32_t maxX = 0, maxY = 0;
    double nightLevel = 0;
    bool cracked = false;
    std::int32_t crackX = 0, crackY = 0, crackLevel = 0, strikes = 0;
    bool targeted = false;  // the target outline, and where
    std::int32_t targetX = 0, targetY = 0, targetLevel = 0;
    bool targetRaised = false;
    bool classic = false;
    bool viewCut = true;  // the cut-away and the fading switched on
    bool operator==(const SceneKey& o) const;
};

struct ViewKey {
    SceneKey scene;
    SkyKind sky = SkyKind::Day;
    std::int32_t cameraX = 0, cameraY = 0;
    bool weatherActive = false;
    WeatherKind weatherKind = WeatherKind::Unset;
    std::int32_t weatherFrame = 0;
    BlockId hotbar[kHotbarSlots] = {};
    std::int32_t counts[kHotbarSlots] = {};  // 0 for a slot without a tile
    std::int32_t selectedSlot = 0;
    bool operator==(const ViewKey& o) const;
    bool sameSky(const ViewKey& o) const;
};

ViewKey viewKey(const GameView& game, const GameFrame& frame);

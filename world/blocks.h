// The 22 blocks a cell can hold, named once: the rules, the tools, the scenes
// and the tests all say Lava, never 8. The numbers are what world files store.
#pragma once

#include <cstdint>

using BlockId = std::int32_t;

enum : BlockId {
    Empty = 0,
    Grass = 1,  // grass and earth are the ground that snow covers
    Cobblestone = 2,
    Explosive = 3,
    Planks = 4,
    Water = 5,
    Earth = 6,
    Sand = 7,
    Lava = 8,
    Gravel = 9,
    SnowCovered = 10,
    Log = 11,
    Leaves = 12,
    Brick = 13,
    Glass = 14,
    CoalOre = 15,
    IronOre = 16,
    HardRock = 17,
    Marble = 18,
    Terracotta = 19,
    GoldOre = 20,
    MossyStone = 21,
    Ice = 22,
};

constexpr BlockId kLastBlock = Ice;
constexpr int kBlockTypes = kLastBlock + 1;  // ids 0..22 have a count; 1..22 a tile

// Water and lava that run or fall from a source keep all they are in the
// cell's value, so one byte per cell still carries them in pieces and world
// files, and nothing beside the cells needs saving. Such a stream value is
// bit 7 set, bit 6 for lava, bits 4-5 how far it has drained (0 fed, 1 and
// 2 draining) and bits 0-2 its distance from what feeds it (0 where it
// falls or landed). Bit 3 is always clear. Sources are Water and Lava.
constexpr int kWaterReach = 4;  // columns a stream of water runs past its feed
constexpr int kLavaReach = 2;
constexpr BlockId kStreamBit = 0x80;
constexpr BlockId kLavaStreamBit = 0x40;
constexpr int kDrainShift = 4;
constexpr int kMostDrain = 2;

inline int reachOf(BlockId liquid) { return liquid == Lava ? kLavaReach : kWaterReach; }

inline bool isStream(BlockId id) {
    if (id < kStreamBit || id > 0xFF || (id & 0x08) != 0) return false;
    const BlockId liquid = (id & kLavaStreamBit) != 0 ? Lava : Water;
    return (id >> kDrainShift & 3) <= kMostDrain && (id & 7) <= reachOf(liquid);
}
inline BlockId streamOf(BlockId liquid, int distance, int drain = 0) {
    return kStreamBit | (liquid == Lava ? kLavaStreamBit : 0) | drain << kDrainShift | distance;
}
inline int streamDistance(BlockId stream) { return stream & 7; }
inline int streamDrain(BlockId stream) { return stream >> kDrainShift & 3; }

// Water or Lava for a source or a stream of it, Empty for anything else.
inline BlockId liquidOf(BlockId id) {
    if (id == Water || id == Lava) return id;
    if (!isStream(id)) return Empty;
    return (id & kLavaStreamBit) != 0 ? Lava : Water;
}

// A value a cell may hold and a world file or a piece on the wire may carry:
// the blocks and the streams. Anything else is a damaged file or packet.
inline bool isCellValue(BlockId id) { return (id >= 0 && id <= kLastBlock) || isStream(id); }

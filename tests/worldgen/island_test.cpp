// The island generator: a seed is a world, and every world it makes is one a
// player can start on and that stays as made once the liquids run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "worldgen/world_kinds.h"

namespace {

constexpr int kEdge = Terrain::kEdge;
constexpr int kSeaLevel = 12;

bool isLiquid(BlockId id) { return id == Water || id == Lava; }

int topLevel(const Terrain& t, int x, int y) {
    for (int level = 0; level < kEdge; ++level)
        if (isSolid(t.at(x, y, level))) return level;
    return kEdge;
}

TEST(Island, TheSameSeedMakesTheSameWorldAndAnotherSeedAnother) {
    Terrain first, again, other;
    generateIsland(20261207, first);
    generateIsland(20261207, again);
    generateIsland(20261208, other);
    EXPECT_EQ(first.cells, again.cells);
    EXPECT_NE(first.cells, other.cells);
}

class EveryIsland : public ::testing::TestWithParam<std::uint32_t> {
protected:
    void SetUp() override { generateIsland(GetParam(), island); }
    Terrain island;
};

TEST_P(EveryIsland, StartsThePlayerOnDryLandWhereverTheGamePutsItDown) {
    // The game may ignore the player lines and start anywhere on the diagonal.
    for (int k = 5; k <= 15; ++k) {
        const int top = topLevel(island, k, k);
        ASSERT_LT(top, kEdge) << k;
        EXPECT_FALSE(isLiquid(island.at(k, k, top))) << k;
        EXPECT_LE(top, kSeaLevel) << k;
    }
    EXPECT_EQ(island.startX, island.startY);
    EXPECT_EQ(
        island.at(island.startX, island.startY, topLevel(island, island.startX, island.startY)),
        Grass);
}

TEST_P(EveryIsland, TheSeaMeetsTheLandOnSandAndTheLiquidsHaveNowhereToRun) {
    int sea = 0;
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y)
            for (int level = 0; level < kEdge; ++level) {
                const BlockId id = island.at(x, y, level);
                if (!isLiquid(id)) continue;
                const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
                for (int n = 0; n < 4; ++n) {
                    const int nx = x + dx[n], ny = y + dy[n];
                    if (!Terrain::inside(nx, ny, level)) continue;
                    const BlockId next = island.at(nx, ny, level);
                    EXPECT_TRUE(isSolid(next)) << x << "," << y << "," << level;
                    if (id == Water && level == kSeaLevel) {
                        EXPECT_TRUE(next == Water || next == Sand) << x << "," << y;
                    }
                    if (id == Lava) {
                        EXPECT_NE(next, Water);
                    }
                }
                EXPECT_TRUE(isSolid(island.at(x, y, level + 1)));
                sea += id == Water && level == kSeaLevel;
            }
    EXPECT_GT(sea, 0);
}

TEST_P(EveryIsland, HasItsFeaturesAndHardRockAtTheBottom) {
    int count[kBlockTypes] = {};
    int pond = 0;
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y) {
            EXPECT_EQ(island.at(x, y, kEdge - 1), HardRock);
            for (int level = 0; level < kEdge; ++level) {
                const BlockId id = island.at(x, y, level);
                ++count[id];
                pond += id == Water && level < kSeaLevel;
            }
        }
    EXPECT_GT(count[Lava], 0);
    EXPECT_GT(pond, 0);
    EXPECT_GT(count[SnowCovered], 0);
    EXPECT_GT(count[Log], 0);
    EXPECT_GT(count[Earth], 0);
    EXPECT_GT(count[CoalOre] + count[IronOre] + count[GoldOre], 0);
    EXPECT_GT(count[Cobblestone], count[HardRock]);
}

INSTANTIATE_TEST_SUITE_P(Seeds, EveryIsland,
                         ::testing::Values(0u, 1u, 2u, 3u, 7u, 42u, 1000u, 65535u, 123456789u,
                                           4294967295u));

}  // namespace

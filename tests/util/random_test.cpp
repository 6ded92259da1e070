// The ranged random numbers cover their range, and random32 is built from the
// low bytes of four rand() results.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "util/random.h"

namespace {

std::set<int> drawMany(int min, int max, int draws) {
    std::set<int> seen;
    for (int i = 0; i < draws; ++i) seen.insert(randomInt(min, max));
    return seen;
}

TEST(RandomIntTest, ZeroToFiveReachesEveryValueAndNothingElse) {
    EXPECT_EQ(drawMany(0, 5, 5000), (std::set<int>{0, 1, 2, 3, 4, 5}));
}

TEST(RandomIntTest, FiveToFifteenReachesEveryValueAndNothingElse) {
    EXPECT_EQ(drawMany(5, 15, 10000), (std::set<int>{5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST(RandomIntTest, AOneValueRangeAlwaysGivesThatValue) {
    EXPECT_EQ(drawMany(7, 7, 200), (std::set<int>{7}));
    EXPECT_EQ(drawMany(0, 0, 200), (std::set<int>{0}));
}

TEST(RandomRealTest, StaysInsideTheRange) {
    for (int i = 0; i < 2000; ++i) {
        double value = randomReal(-1.5, 2.5);
        ASSERT_GE(value, -1.5);
        ASSERT_LE(value, 2.5);
    }
}

TEST(Random32Test, PutsTheLowBytesOfFourRandResultsFirstToLast) {
    for (unsigned seed : {1u, 42u, 20240601u}) {
        std::srand(seed);
        unsigned b3 = std::rand() & 0xFF, b2 = std::rand() & 0xFF;
        unsigned b1 = std::rand() & 0xFF, b0 = std::rand() & 0xFF;
        std::srand(seed);
        EXPECT_EQ(random32(), (b3 << 24) | (b2 << 16) | (b1 << 8) | b0) << seed;
    }
}

TEST(Random32Test, FillsTheTopBitsToo) {
    std::srand(7);
    bool topBitSeen = false;
    for (int i = 0; i < 200 && !topBitSeen; ++i) topBitSeen = (random32() & 0x80000000u) != 0;
    EXPECT_TRUE(topBitSeen);
}

}  // namespace

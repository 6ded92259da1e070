// The words for the way to a place: compass point, distance and climb, with
// heights counted up from the floor of the world.
#include "rules/bearings.h"

#include <gtest/gtest.h>

TEST(Bearings, TheWayToAPlaceNamesItsCompassPointDistanceAndClimb) {
    PlayerState p;
    p.x = 100;
    p.y = 100;
    p.level = 10;
    EXPECT_EQ(heightOf(p.level), 10);
    EXPECT_EQ(heightOf(kLowestLevel), 0);
    EXPECT_EQ(wayTo(p, 134, 66, 7), "48 columns north-east, 3 up");
    EXPECT_EQ(wayTo(p, 100, 101, 10), "1 column south");
    EXPECT_EQ(wayTo(p, 90, 103, 12), "10 columns west, 2 down");
    EXPECT_EQ(wayTo(p, 93, 107, 10), "10 columns south-west");
    EXPECT_EQ(wayTo(p, 100, 100, 9), "1 up");
    EXPECT_EQ(wayTo(p, 100, 100, 10), "here");
}

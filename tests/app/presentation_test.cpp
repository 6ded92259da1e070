// The picture's place in a window of any size, and the pointer mapped back.
#include <gtest/gtest.h>

#include "app/presentation.h"

namespace {

TEST(Presentation, ThePictureTakesTheLargestWholeScaleThatFitsInTheMiddleOfTheWindow) {
    const struct {
        int w, h, scale, x, y;
    } cases[] = {{640, 480, 1, 0, 0},      {1279, 1000, 1, 319, 260}, {1920, 1080, 2, 320, 60},
                 {1281, 961, 2, 0, 0},     {1920, 1440, 3, 0, 0},     {2000, 1500, 3, 40, 30},
                 {320, 200, 1, -160, -140}};
    for (const auto& c : cases) {
        const Placement placement = placePicture(c.w, c.h);
        EXPECT_EQ(placement.scale, c.scale) << c.w << " x " << c.h;
        EXPECT_EQ(placement.x, c.x) << c.w << " x " << c.h;
        EXPECT_EQ(placement.y, c.y) << c.w << " x " << c.h;
    }
    // A framed window on a 1920 x 1080 or a 2560 x 1440 desktop: twice.
    EXPECT_EQ(largestScale(1918, 1055), 2);
    EXPECT_EQ(largestScale(2558, 1415), 2);
}

TEST(Presentation, AWindowPointFindsThePictureBlockUnderItAndTheBarsFindNone) {
    const Placement fullHd = placePicture(1920, 1080);
    const struct {
        int windowX, windowY;
        bool inside;
        int x, y;
    } points[] = {
        {320, 60, true, 0, 0},      {321, 61, true, 0, 0},        {322, 63, true, 1, 1},
        {920, 500, true, 300, 220}, {1599, 1019, true, 639, 479}, {319, 500, false, 0, 0},
        {1600, 500, false, 0, 0},   {700, 59, false, 0, 0},       {700, 1020, false, 0, 0}};
    for (const auto& p : points) {
        int x = -7, y = -7;
        EXPECT_EQ(windowToPicture(fullHd, p.windowX, p.windowY, &x, &y), p.inside)
            << p.windowX << ", " << p.windowY;
        if (p.inside) {
            EXPECT_TRUE(x == p.x && y == p.y) << p.windowX << ", " << p.windowY;
        }
    }
}

}  // namespace

// The map: each column in its top block's colour at its place, shaded for
// height, the player's marker on top, at any size the grid holds.
#include <allegro5/allegro.h>

#include "render/map_view.h"
#include "render_fixture.h"

namespace {

constexpr int kBoxX = 110, kBoxY = 40, kBoxW = 420, kBoxH = 326;

bool bluish(Rgb c) { return c.b > c.r + 80 && c.b > c.g + 40; }
bool fiery(Rgb c) { return c.r > 200 && c.g > 60 && c.g < 200 && c.b < 60; }
bool yellow(Rgb c) { return c.r > 200 && c.g > 200 && c.b < 100; }
int lightness(Rgb c) { return c.r + c.g + c.b; }

class MapView : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        forgetWorldMap();
        clearFrame(kBlack);
    }
    void TearDown() override {
        forgetWorldMap();
        RenderTest::TearDown();
    }
    // The middle of a column's square on the frame.
    Rgb column(const MapPlacement& m, int x, int y) const {
        return at(m.x + x * m.scale + m.scale / 2, m.y + y * m.scale + m.scale / 2);
    }
};

TEST_F(MapView, aSmallWorldShowsWaterLavaAndHeightWhereTheyAreWithThePlayersFacing) {
    setCell(0, 0, 10, Water);
    setCell(20, 20, 10, Lava);
    setCell(10, 10, 3, Grass);
    setCell(11, 10, 12, Grass);
    setCell(12, 10, -3, Leaves);  // above the band's top: seen, not hidden
    setCell(12, 10, 4, Grass);
    player.x = 5;
    player.y = 15;
    player.facing = Facing::Right;
    const MapPlacement m = drawWorldMap(world, player, kBoxX, kBoxY, kBoxW, kBoxH);
    ASSERT_EQ(m.scale, 15) << "326 / 21 columns";
    EXPECT_EQ(m.x, kBoxX + (kBoxW - 21 * 15) / 2);

    EXPECT_TRUE(bluish(column(m, 0, 0))) << column(m, 0, 0);
    EXPECT_TRUE(fiery(column(m, 20, 20))) << column(m, 20, 20);
    const Rgb high = column(m, 10, 10), low = column(m, 11, 10);
    EXPECT_GT(high.g, high.r);
    EXPECT_GT(low.g, low.r);
    EXPECT_GT(lightness(high), lightness(low) + 40) << high << low;
    EXPECT_LT(column(m, 12, 10).g, high.g) << "the leaves over the grass";
    EXPECT_LT(lightness(column(m, 3, 3)), 60) << "nothing there";

    // The marker: yellow around the player's column, its nose out to the right only.
    const int cx = m.x + 5 * 15 + 7, cy = m.y + 15 * 15 + 7;
    EXPECT_TRUE(yellow(at(cx - 3, cy))) << at(cx - 3, cy);
    EXPECT_TRUE(yellow(at(cx, cy - 3)));
    EXPECT_TRUE(yellow(at(cx + 5, cy))) << "the nose";
    EXPECT_FALSE(yellow(at(cx - 5, cy)));
    EXPECT_FALSE(yellow(at(cx, cy - 5)));
}

TEST_F(MapView, theLargestWorldFitsTheBoxAtOnePixelAColumnAndFollowsItsChanges) {
    world.maxX = world.maxY = 300;
    for (int x = 0; x <= 300; ++x)
        for (int y = 0; y <= 300; ++y) setCell(x, y, 10, Sand);
    setCell(300, 300, 10, Water);
    setCell(0, 300, 10, Lava);
    player.x = 150;
    player.y = 40;
    const MapPlacement m = drawWorldMap(world, player, kBoxX, kBoxY, kBoxW, kBoxH);
    ASSERT_EQ(m.scale, 1);
    EXPECT_GE(m.x, kBoxX);
    EXPECT_GE(m.y, kBoxY);
    EXPECT_LE(m.x + 301, kBoxX + kBoxW);
    EXPECT_LE(m.y + 301, kBoxY + kBoxH);
    EXPECT_TRUE(bluish(column(m, 300, 300))) << column(m, 300, 300);
    EXPECT_TRUE(fiery(column(m, 0, 300))) << column(m, 0, 300);
    EXPECT_FALSE(bluish(column(m, 299, 300)));
    EXPECT_TRUE(yellow(column(m, 152, 40))) << "the marker reads at one pixel a column";
    EXPECT_EQ(lightness(at(m.x + 301, m.y + 100)), 0) << "nothing beyond the world";

    // A flood under way shows within a few frames.
    setCell(200, 200, 2, Water);
    for (int frame = 0; frame < 20; ++frame)
        drawWorldMap(world, player, kBoxX, kBoxY, kBoxW, kBoxH);
    EXPECT_TRUE(bluish(column(m, 200, 200))) << column(m, 200, 200);
}

TEST_F(MapView, aJoinedWorldShowsOnlyTheColumnsSentAndTheOthersWhereTheyAreKnown) {
    world.maxX = world.maxY = 63;
    for (int x = 0; x <= 63; ++x)
        for (int y = 0; y <= 63; ++y) setCell(x, y, 10, Sand);
    player.x = 5;
    player.y = 5;
    MapKnown known;
    known.sent = [](int x, int y) { return x < 40 && y < 40; };
    known.others = {{30, 30, true}, {20, 50, false}};
    const MapPlacement m = drawWorldMap(world, player, kBoxX, kBoxY, kBoxW, kBoxH, &known);
    EXPECT_GT(lightness(column(m, 39, 10)), 200) << column(m, 39, 10);
    EXPECT_LT(lightness(column(m, 40, 10)), 20) << "not sent: dark, whatever the grid holds";
    EXPECT_LT(lightness(column(m, 10, 45)), 20);
    EXPECT_GT(lightness(column(m, 30, 30)), 700) << "a player in sight";
    const Rgb last = column(m, 20, 50);
    EXPECT_GT(lightness(last), 200) << "a player's last known place";
    EXPECT_LT(lightness(last), 500) << last;
    // Back in single player the same grid shows whole.
    const MapPlacement own = drawWorldMap(world, player, kBoxX, kBoxY, kBoxW, kBoxH);
    EXPECT_GT(lightness(column(own, 40, 10)), 200);
}

}  // namespace

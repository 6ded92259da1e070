// What the masks of the pictures allow the cached drawing to leave out, and
// the atlas it draws from.
#include "render/tile_shapes.h"

#include <allegro5/allegro.h>

#include "render/assets.h"
#include "render/game_frame.h"
#include "render/render_fixture.h"
#include "render/render_pictures.h"

namespace {

// Neighbour bits, in the order of kCoverNeighbourOffsets.
constexpr int kPlusX = 1 << 0, kPlusY = 1 << 1, kPlusXY = 1 << 2, kAbove = 1 << 3;
constexpr int kAboveXY = 1 << 6;

::testing::AssertionResult isRect(const PixelRect& r, int x, int y, int w, int h) {
    if (r.x == x && r.y == y && r.w == w && r.h == h) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << ")";
}

class TileShapeTest : public RenderTest {
protected:
    ALLEGRO_BITMAP* picture(int w, int h) {
        ALLEGRO_BITMAP* p = al_create_bitmap(w, h);
        al_set_target_bitmap(p);
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
        al_set_target_bitmap(frame);
        return p;
    }
    void put(ALLEGRO_BITMAP* p, int x, int y, ALLEGRO_COLOR c) {
        al_set_target_bitmap(p);
        al_put_pixel(x, y, c);
        al_set_target_bitmap(frame);
    }
    // The cube outline: every pixel whose centre lies inside the hexagon of
    // a 64 x 64 tile (top corner (32, 0), sides from y 16 to 48).
    ALLEGRO_BITMAP* hexagon() {
        ALLEGRO_BITMAP* p = picture(64, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const double cx = x + 0.5, cy = y + 0.5, d = cx < 32 ? 32 - cx : cx - 32;
                if (cy >= d / 2 && cy <= 64 - d / 2) put(p, x, y, al_map_rgb(90, 60, 30));
            }
        return p;
    }
    PixelRect parts[kCoverSets];
};

TEST_F(TileShapeTest, aSquareTileIsHiddenStepByStepByItsLaterNeighbours) {
    TileMask square;
    for (auto& row : square.rows) row = ~std::uint64_t{0};
    computeVisibleParts(square, parts);
    EXPECT_TRUE(isRect(parts[0], 0, 0, 64, 64));
    EXPECT_TRUE(isRect(parts[kAbove], 0, 32, 64, 32)) << "the block above hides the top half";
    EXPECT_TRUE(isRect(parts[kPlusX | kPlusY], 0, 0, 64, 16))
        << "the two nearer blocks hide all below row 16";
    EXPECT_TRUE(isRect(parts[kPlusXY], 0, 0, 64, 32));
    EXPECT_TRUE(parts[kPlusX | kPlusY | kAbove].isEmpty());
    EXPECT_TRUE(parts[kAboveXY].isEmpty()) << "drawn on the very same spot, later";
}

TEST_F(TileShapeTest, theCubeOutlineIsHiddenByTheBlockAboveAndTheTwoInFront) {
    ALLEGRO_BITMAP* cube = hexagon();
    TileMask mask;
    EXPECT_TRUE(readFrameMask(cube, 0, 0, &mask));
    EXPECT_EQ(mask.rows[0], (std::uint64_t{1} << 31) | (std::uint64_t{1} << 32))
        << "the top corner";
    computeVisibleParts(mask, parts);
    EXPECT_TRUE(isRect(parts[0], 0, 0, 64, 64));
    EXPECT_TRUE(parts[kPlusX | kPlusY | kAbove].isEmpty());
    EXPECT_FALSE(parts[kPlusX | kPlusY].isEmpty()) << "the top face still shows";
    EXPECT_FALSE(parts[kPlusX | kAbove].isEmpty()) << "the left face still shows";
    al_destroy_bitmap(cube);
}

TEST_F(TileShapeTest, aPixelNeitherBlankNorOpaqueIsNoticed) {
    ALLEGRO_BITMAP* p = picture(128, 64);
    put(p, 70, 5, al_map_rgba(0, 0, 0, 128));
    TileMask mask;
    EXPECT_TRUE(readFrameMask(p, 0, 0, &mask)) << "the first frame is all blank";
    EXPECT_EQ(mask.rows[5], 0u);
    EXPECT_FALSE(readFrameMask(p, 64, 0, &mask));
    EXPECT_EQ(mask.rows[5], std::uint64_t{1} << 6);
    EXPECT_FALSE(hasTwoLevelAlpha(p));
    put(p, 70, 5, al_map_rgba(10, 20, 30, 255));
    EXPECT_TRUE(hasTwoLevelAlpha(p));
    al_destroy_bitmap(p);
}

TEST_F(TileShapeTest, nonBlankPiecesCoverEveryVisiblePixelInRowRuns) {
    ALLEGRO_BITMAP* p = picture(100, 70);
    put(p, 5, 5, al_map_rgb(1, 1, 1));
    put(p, 40, 5, al_map_rgb(1, 1, 1));
    put(p, 70, 6, al_map_rgb(1, 1, 1));
    put(p, 99, 69, al_map_rgb(1, 1, 1));
    PixelRect pieces[8];
    ASSERT_EQ(nonBlankPieces(p, pieces, 8), 2);
    EXPECT_TRUE(isRect(pieces[0], 0, 0, 96, 32)) << "three neighbouring cells of the first row";
    EXPECT_TRUE(isRect(pieces[1], 96, 64, 4, 6)) << "the corner cell, cut at the picture's edge";
    EXPECT_EQ(nonBlankPieces(p, pieces, 1), 1);
    EXPECT_TRUE(isRect(pieces[0], 0, 0, 100, 70)) << "out of room: the whole picture";
    al_destroy_bitmap(p);
}

TEST_F(TileShapeTest, rectanglesOverlapOnlyWhenTheyShareAPixel) {
    const PixelRect a{10, 10, 5, 5};
    EXPECT_TRUE(a.overlaps(PixelRect{14, 14, 1, 1}));
    EXPECT_FALSE(a.overlaps(PixelRect{15, 10, 3, 3}));
    EXPECT_FALSE(a.overlaps(PixelRect{10, 5, 5, 5}));
    EXPECT_FALSE(a.overlaps(PixelRect{11, 11, 0, 2}));
}

TEST_F(TileShapeTest, theAtlasHoldsExactCopiesOfThePictures) {
    ASSERT_TRUE(prepareRenderer());
    ASSERT_NE(renderPictures.atlas, nullptr);
    for (int id : {1, 5, 22}) {  // a square, the water strip, the last
        const PictureCopy& tile = renderPictures.tile[id];
        ASSERT_TRUE(al_is_sub_bitmap(tile.bitmap));
        EXPECT_EQ(al_get_parent_bitmap(tile.bitmap), renderPictures.atlas);
        EXPECT_EQ(tile.w, al_get_bitmap_width(assets.tileBitmap[id]));
        for (int y = 0; y < tile.h; y += 7)
            for (int x = 0; x < tile.w; x += 5)
                ASSERT_EQ(pixelOf(tile.bitmap, x, y), pixelOf(assets.tileBitmap[id], x, y)) << id;
    }
    const PictureCopy& sheet = renderPictures.sheet[2];
    EXPECT_EQ(atlasPicture(sheet, 0, 0, sheet.w, sheet.h), sheet.bitmap);
    EXPECT_EQ(atlasPicture(sheet, 1, 0, sheet.w, sheet.h), assets.playerBitmap[2])
        << "a region past the picture is drawn from the picture itself";
    EXPECT_TRUE(renderPictures.twoLevelAlpha);
    EXPECT_TRUE(renderPictures.standardFrame[1][0]) << "the test tiles are all full squares";
    EXPECT_TRUE(renderPictures.standardFrame[Water][3]);
    releaseRenderer();
}

}  // namespace

// The tint on Allegro 5.2's premultiplied alpha: translucency fades, grey
// darkens, text takes the tint, and opaque white is the resting state.
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/startup.h"
#include "render/assets.h"
#include "render/render_fixture.h"
#include "render/text.h"
#include "render/tint.h"

namespace fs = std::filesystem;

namespace {

class TintTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        picture = solidBitmap(10, 10, Rgb{200, 100, 50});
        clearFrame(Rgb{100, 100, 100});
    }
    void TearDown() override {
        al_destroy_bitmap(picture);
        RenderTest::TearDown();
    }
    ALLEGRO_BITMAP* picture = nullptr;
};

TEST_F(TintTest, translucentWhiteDrawsAtSixtyPercentOpacity) {
    drawTintedBitmap(picture, Tint{1, 1, 1, 0.6f}, 0, 0);
    // 0.6 * picture + 0.4 * background
    EXPECT_TRUE(near(at(5, 5), Rgb{160, 100, 70}));
}

TEST_F(TintTest, greyTintHalvesTheColourAndStaysOpaque) {
    drawTintedBitmap(picture, Tint{0.5f, 0.5f, 0.5f, 1}, 0, 0);
    EXPECT_TRUE(near(at(5, 5), Rgb{100, 50, 25}));
}

TEST_F(TintTest, colouredTranslucentTintMultipliesThenBlends) {
    drawTintedBitmap(picture, Tint{1.0f, 0.1f, 0.1f, 0.5f}, 0, 0);
    EXPECT_TRUE(near(at(5, 5), Rgb{150, 55, 52}));
}

TEST_F(TintTest, oneTintedDrawLeavesOpaqueWhiteBehind) {
    drawTintedBitmap(picture, Tint{0.2f, 0.2f, 0.2f, 0.3f}, 0, 0);
    drawBitmap(picture, 20, 0);
    EXPECT_EQ(at(25, 5), (Rgb{200, 100, 50}));
    ALLEGRO_COLOR tint = currentTint();
    EXPECT_EQ(tint.r, 1.0f);
    EXPECT_EQ(tint.a, 1.0f);
}

TEST_F(TintTest, aRegionTakesTheTintToo) {
    fillRect(picture, 5, 0, 5, 10, Rgb{0, 200, 0});
    drawTintedBitmapRegion(picture, Tint{0.5f, 0.5f, 0.5f, 1}, 5, 0, 5, 10, 0, 0);
    EXPECT_TRUE(near(at(2, 2), Rgb{0, 100, 0}));
    EXPECT_EQ(at(7, 2), (Rgb{100, 100, 100})) << "only the 5 x 10 region is drawn";
}

TEST_F(TintTest, aMissingBitmapDrawsNothing) {
    drawBitmap(nullptr, 0, 0);
    drawTintedBitmapRegion(nullptr, Tint{}, 0, 0, 4, 4, 0, 0);
    EXPECT_EQ(at(0, 0), (Rgb{100, 100, 100}));
}

// A real picture file through start-up's loader: black is a hole, the
// darkest colour that stays visible is (1, 1, 1).
TEST_F(TintTest, aLoadedMaskedPictureFadesAndKeepsItsHoles) {
    fs::path file =
        fs::temp_directory_path() / ("tessaria_tint_" + std::to_string(getpid()) + ".bmp");
    ALLEGRO_BITMAP* source = solidBitmap(6, 2, Rgb{200, 100, 50});
    fillRect(source, 2, 0, 2, 2, kBlack);
    fillRect(source, 4, 0, 2, 2, Rgb{1, 1, 1});
    ASSERT_TRUE(al_save_bitmap(file.c_str(), source));
    al_destroy_bitmap(source);
    ALLEGRO_BITMAP* loaded = loadMaskedBitmap(file.c_str());
    fs::remove(file);
    ASSERT_NE(loaded, nullptr);

    drawTintedBitmap(loaded, Tint{1, 1, 1, 0.6f}, 0, 0);
    EXPECT_TRUE(near(at(0, 0), Rgb{160, 100, 70}));
    EXPECT_EQ(at(3, 0), (Rgb{100, 100, 100})) << "black is a hole at any tint";
    EXPECT_TRUE(near(at(5, 1), Rgb{41, 41, 41})) << "near black is drawn";
    al_destroy_bitmap(loaded);
}

TEST_F(TintTest, textIsDrawnInTheCurrentTint) {
    clearFrame(kBlack);
    setTint(Tint{1, 0, 1, 1});
    drawText("88", 0, 0);
    resetTint();
    EXPECT_GT(countPixels(frame, 0, 0, 16, 8, Rgb{255, 0, 255}), 10);
    EXPECT_EQ(countPixels(frame, 0, 0, 16, 8, kWhite), 0);
}

TEST_F(TintTest, textIsDrawnAsItIsPercentSignsIncluded) {
    clearFrame(kBlack);
    drawText("42", 0, 0);
    drawText("100% %i %s", 0, 20);
    ALLEGRO_BITMAP* expected = solidBitmap(640, 480, kBlack);
    al_set_target_bitmap(expected);
    al_draw_text(assets.smallFont, al_map_rgb(255, 255, 255), 0, 0, 0, "42");
    al_draw_text(assets.smallFont, al_map_rgb(255, 255, 255), 0, 20, 0, "100% %i %s");
    al_set_target_bitmap(frame);
    EXPECT_EQ(differingPixels(frame, expected), 0);
    al_destroy_bitmap(expected);
}

TEST_F(TintTest, textWithoutAFontDrawsNothingInsteadOfAborting) {
    al_destroy_font(assets.smallFont);
    al_destroy_font(assets.largeFont);
    assets.smallFont = assets.largeFont = nullptr;
    drawText("5", 0, 0);
    drawLargeText("Build", 0, 0);
    EXPECT_EQ(at(1, 1), (Rgb{100, 100, 100}));
}

}  // namespace

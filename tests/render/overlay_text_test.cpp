// Text over the game's picture: readable on snow by day, and name tags inside
// the picture and clear of the hotbar.
#include <cmath>
#include <initializer_list>
#include <string>

#include "game/settings.h"
#include "render/other_figures.h"
#include "render/render_fixture.h"
#include "render/text.h"

namespace {

constexpr Rgb kSnow{236, 242, 250};

// Relative luminance and contrast ratio as readability guidelines define them.
double luminance(const Rgb& c) {
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double contrast(const Rgb& a, const Rgb& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class OverlayText : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        settings.classic = false;
    }
    void TearDown() override {
        otherFigures().clear();
        settings = Settings{};
        RenderTest::TearDown();
    }
};

}  // namespace

TEST_F(OverlayText, whiteTextOnSnowReadsAgainstItsBackingAndTheBackingFitsTheText) {
    const char* text = "Hosting at 192.168.1.5:7777";
    const int x = 40, y = 40, w = textWidth(text), h = textLineHeight();
    ASSERT_GT(w, 0);
    clearFrame(kSnow);
    drawOverlayText(text, x, y);
    const Rgb backing = at(x - 1, y + h / 2);
    Rgb brightest = backing;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (luminance(at(i, j)) > luminance(brightest)) brightest = at(i, j);
    EXPECT_GE(contrast(brightest, backing), 4.5) << brightest << " on " << backing;
    EXPECT_EQ(at(x - kBackingMarginX - 1, y + h / 2), kSnow);
    EXPECT_EQ(at(x + w + kBackingMarginX, y + h / 2), kSnow);
    EXPECT_EQ(at(x, y + h + kBackingMarginY), kSnow);

    settings.classic = true;  // the first releases' picture: bare text
    clearFrame(kSnow);
    drawOverlayText(text, x, y);
    EXPECT_EQ(at(x - 1, y + h / 2), kSnow);
}

TEST_F(OverlayText, nameTagsStayWholeInsideThePictureAndAboveTheHotbar) {
    standPlayer(10, 10, 14);
    // Pixels of the tags of figures on these columns, and how many of them
    // lie below the lowest a tag may reach.
    struct Spot {
        int x, y, level;
    };
    const auto tagPixels = [&](std::initializer_list<Spot> spots, int* belowFoot) {
        otherFigures().clear();
        for (const Spot& spot : spots) {
            OtherFigure other;
            other.figure.x = other.fromX = spot.x;
            other.figure.y = other.fromY = spot.y;
            other.figure.level = other.fromLevel = spot.level;
            other.figure.spriteSheet = SpriteSheet::Standing;
            other.name = "a_long_name_16ch";
            otherFigures().push_back(other);
        }
        clearFrame(kSnow);
        drawOtherNames(currentGame());
        int count = 0;
        *belowFoot = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (!(at(x, y) == kSnow)) {
                    ++count;
                    *belowFoot += y >= 392;
                }
        return count;
    };
    int below = 0;
    const int whole = tagPixels({{9, 9, 14}}, &below);
    EXPECT_GT(whole, 0);
    EXPECT_EQ(tagPixels({{19, 9, 14}}, &below), whole) << "cut at the right edge";
    EXPECT_EQ(tagPixels({{7, 7, 14}}, &below), whole) << "cut at the top";
    EXPECT_GT(tagPixels({{18, 18, 14}, {19, 19, 14}, {19, 19, 16}}, &below), 0);
    EXPECT_EQ(below, 0) << "over the hotbar";
}

// Text over the game's picture: readable on snow by day, and name tags inside
// the picture and clear of the hotbar.
#include <array>
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

// Each figure stands on {x, y, level}; the tag pixels drawn, and how many
// lie below the lowest a tag may reach.
TEST_F(OverlayText, nameTagsStayWholeInsideThePictureAndAboveTheHotbar) {
    standPlayer(10, 10, 14);
    int below = 0;
    const auto tagPixels = [&](std::initializer_list<std::array<int, 3>> spots) {
        otherFigures().clear();
        for (const auto& [x, y, level] : spots) {
            OtherFigure other{PlayerState{}, x, y, level, 4, "a_long_name_16ch"};
            other.figure.x = x, other.figure.y = y, other.figure.level = level;
            other.figure.spriteSheet = SpriteSheet::Standing;
            otherFigures().push_back(other);
        }
        clearFrame(kSnow);
        drawOtherNames(currentGame());
        const int count = 640 * 480 - countPixels(frame, 0, 0, 640, 480, kSnow);
        below = 640 * 88 - countPixels(frame, 0, 392, 640, 88, kSnow);
        return count;
    };
    const int whole = tagPixels({{9, 9, 14}});
    EXPECT_GT(whole, 0);
    EXPECT_EQ(tagPixels({{19, 9, 14}}), whole) << "cut at the right edge";
    EXPECT_EQ(tagPixels({{7, 7, 14}}), whole) << "cut at the top";
    EXPECT_GT(tagPixels({{18, 18, 14}, {19, 19, 14}, {19, 19, 16}}), 0);
    EXPECT_EQ(below, 0) << "over the hotbar";
}

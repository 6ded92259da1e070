// Headless drawing tests: Allegro without a display, a 640 x 480 memory frame
// buffer, and small test pictures whose every frame has its own colour, so the
// source rectangle a draw used can be read back from the pixels.
#pragma once

#include <gtest/gtest.h>

#include <allegro5/allegro.h>

#include <ostream>

#include "game/frame_step.h"

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& out, const Rgb& c);

// Reads one pixel of a bitmap as 8-bit components.
Rgb pixelOf(ALLEGRO_BITMAP* bitmap, int x, int y);
// Tinted pixels may round either way: equal within 1 per component.
::testing::AssertionResult near(const Rgb& actual, const Rgb& expected);
// Number of pixels that differ between two bitmaps of the same size.
int differingPixels(ALLEGRO_BITMAP* a, ALLEGRO_BITMAP* b);
// Pixels of one colour in a rectangle.
int countPixels(ALLEGRO_BITMAP* bitmap, int x, int y, int w, int h, Rgb colour);

// A frame whose level scroll has caught up with the player's level already.
GameFrame settledFrame();

// A memory bitmap filled with one colour; black is turned transparent.
ALLEGRO_BITMAP* solidBitmap(int w, int h, Rgb colour);
void fillRect(ALLEGRO_BITMAP* bitmap, int x, int y, int w, int h, Rgb colour);

// Colours of the test pictures.
Rgb tileColour(int id);                  // static tiles, whole picture
Rgb tileIconColour(int id);              // the icon corner (30, 30, 26 x 26)
Rgb stripColour(int id, int frame);      // animated tiles 5 and 8
Rgb crackColour(int strike);             // an 8 x 8 mark at the crack frame's corner
Rgb weatherColour(int kind, int frame);  // a 4 x 4 mark at the weather frame's corner

// Player sheets: frames of 20 x 30, seven rows; the first pixel column of
// every frame is marked (blue 255) so that mirroring shows.
constexpr int kFrameW = 20;
constexpr int kFrameH = 30;
struct SheetCell {
    int sheet = 0, column = 0, row = 0;
    bool marked = false;
    bool operator==(const SheetCell& o) const {
        return sheet == o.sheet && column == o.column && row == o.row && marked == o.marked;
    }
};
std::ostream& operator<<(std::ostream& out, const SheetCell& c);
Rgb sheetColour(int sheet, int column, int row, bool marked);
SheetCell sheetCellOf(Rgb colour);

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// Allegro without a display, the test pictures in `assets`, a cleared world
// and player, and the frame buffer as the drawing target.
class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    Rgb at(int x, int y) const { return pixelOf(frame, x, y); }
    void clearFrame(Rgb colour);
    // Player on (x, y) at level, camera at rest on it, levelScroll caught up.
    void standPlayer(int x, int y, int level);

    ALLEGRO_BITMAP* frame = nullptr;
};

// The screens a player sees, in a real window: the intro, the title menu, its
// controls panel and the game by day, each checked at characteristic pixels
// and kept as a screenshot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/e2e_harness.h"

namespace {

// A run that starts in clear weather; where it puts the player does not matter here.
constexpr const char* kClearDaySeed = "TESSARIA_SEED=11";

constexpr int kFloorLevel = 10;
constexpr int kFloorBlock = 4;
constexpr int kButtonX = 220;
constexpr int kFirstButtonY = 210;
constexpr int kButtonSpacing = 30;
constexpr int kButtonHeight = 20;      // half of the two-state picture
constexpr int kButtonPlainWidth = 55;  // left of the label
constexpr int kControlsButton = 2;     // third in the column

struct Rect {
    int x, y, w, h;
};

const Pixel kWhite{255, 255, 255};
const Pixel kDaySky{211, 250, 245};

bool near(Pixel a, Pixel b) {
    return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

std::string describe(Pixel p) {
    return "rgb(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) +
           ")";
}

// A floor along the diagonal, where the player starts, and sky to both sides.
WorldFile diagonalFloor() {
    WorldFile world;
    for (int y = 0; y < WorldFile::kSide; ++y)
        for (int x = 0; x < WorldFile::kSide; ++x)
            if (std::abs(x - y) <= 2) world.at(x, y, kFloorLevel) = kFloorBlock;
    return world;
}

int magentaPixels(const Image& screen, int x, int y, int w, int h) {
    int count = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) {
            Pixel p = screen.at(column, row);
            if (p.r >= 200 && p.g <= 60 && p.b >= 200) ++count;
        }
    return count;
}

class ScreensInAWindow : public ::testing::Test {
protected:
    void SetUp() override {
        writeWorldFile(folder.worldFile(), diagonalFloor());
        button = readBmp(folder.path() / "data/gfx/008.bmp");
        logo = readBmp(folder.path() / "data/gfx/logo.bmp");
        floorTile = readBmp(folder.path() / "data/gfx/map/tile/004.bmp");
        cursor = readBmp(folder.path() / "data/gfx/004.bmp");
        ASSERT_EQ(button.height, 2 * kButtonHeight);
        ASSERT_GT(logo.width, 0);
        ASSERT_EQ(floorTile.width, 64);
        ASSERT_GT(cursor.width, 0);
    }

    // Pixels of button `index` (0 = single player) that differ from the
    // picture's normal (upper) or highlighted (lower) half.
    int buttonDifference(const Image& screen, int index, bool highlighted) {
        return differingPixels(screen, kButtonX, kFirstButtonY + kButtonSpacing * index, button, 0,
                               highlighted ? kButtonHeight : 0, kButtonPlainWidth, kButtonHeight);
    }

    XServer server;
    RunFolder folder;
    Image button, logo, floorTile, cursor;
};

void expectIntro(const Image& screen, const Image& logo) {
    for (Pixel corner :
         {screen.at(2, 2), screen.at(637, 2), screen.at(2, 477), screen.at(637, 477)})
        EXPECT_TRUE(near(corner, kWhite)) << describe(corner);
    EXPECT_EQ(differingPixels(screen, 60, 150, logo, 0, 0, logo.width, logo.height), 0);
    EXPECT_GT(magentaPixels(screen, 200, 220, 300, 40), 50) << "no magenta slogan";
}

TEST_F(ScreensInAWindow, TheIntroTheMenuItsControlsPanelAndTheDayGameShowInTurn) {
    GameProcess game(server, folder, {kClearDaySeed});
    Window window = waitForWindow(server, kStartSeconds);
    ASSERT_NE(window, 0u) << game.errorOutput();
    xdotool(server, "mousemove --sync 630 10");  // away from every button

    ASSERT_TRUE(waitUntil([&] { return near(grabScreen(server).at(2, 2), kWhite); }, kStartSeconds))
        << "no intro";
    // The slogan grows a word at a time: the picture is taken once it shows,
    // however many ticks a loaded machine gives the game meanwhile.
    Image intro;
    EXPECT_TRUE(waitUntil(
        [&] {
            intro = grabScreen(server);
            return magentaPixels(intro, 200, 220, 300, 40) > 50;
        },
        kStartSeconds));
    saveScreenshot(server, "intro");
    expectIntro(intro, logo);

    // "single player" shows chosen, so that Enter plays at once.
    ASSERT_TRUE(waitUntil([&] { return buttonDifference(grabScreen(server), 0, true) == 0; },
                          kStartSeconds))
        << "no title menu " << saveScreenshot(server, "menu-missing");
    Image menu = grabScreen(server);
    saveScreenshot(server, "menu");
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(buttonDifference(menu, index, index == 0), 0) << "button " << index;
        EXPECT_GT(
            whitishPixels(menu, kButtonX + 60, kFirstButtonY + kButtonSpacing * index + 3, 100, 14),
            10)
            << "no label on button " << index;
    }

    // Left of the buttons the backdrop shows exactly as the picture holds it.
    const Image backdrop = readBmp(folder.path() / "data/gfx/007.bmp");
    EXPECT_EQ(differingPixels(menu, 0, 180, backdrop, 0, 180, 210, 300), 0);

    clickAt(server, 300, kFirstButtonY + kButtonSpacing * kControlsButton + 7);
    const int titleBefore = whitishPixels(menu, 440, 210, 195, 18);
    EXPECT_TRUE(waitUntil([&] {
        return whitishPixels(grabScreen(server), 440, 210, 195, 18) > titleBefore + 20;
    })) << "no controls panel";
    Image controls = grabScreen(server);
    saveScreenshot(server, "controls");
    // The pointer stays on the button, which shows its highlighted half.
    EXPECT_EQ(buttonDifference(controls, kControlsButton, true), 0);
    EXPECT_EQ(buttonDifference(controls, 0, false), 0);
    // Its title and a row for every key, all inside its box.
    for (int line = 0; line < 17; ++line) {
        int y = 210 + 13 * line;
        EXPECT_GT(whitishPixels(controls, 440, y, 190, 12),
                  whitishPixels(menu, 440, y, 190, 12) + 10)
            << "no text on panel line " << line;
    }

    // "single player" shows the list of worlds; Enter plays the one chosen.
    clickAt(server, 300, kFirstButtonY + 10);
    ASSERT_TRUE(waitUntil(worldListShown(server, button)))
        << "no world list " << saveScreenshot(server, "world-list-missing");
    holdKey(server, window, "Return", 0.15);
    EXPECT_TRUE(waitUntil([&] { return !showsButton(grabScreen(server), 220, 210, button); }))
        << "the menu is still shown";
    // The top of the ground the player stands on, untinted by day: left of,
    // right of and below the figure, beside the outline of the empty cell
    // ahead (the figure faces down, towards y + 1), whose right edge runs
    // down over this tile's top.
    const Rect groundParts[] = {{8, 12, 16, 8}, {45, 12, 11, 8}, {24, 20, 6, 6}};
    const auto partOff = [&](const Image& shot, Rect part) {
        return differingPixels(shot, 288 + part.x, 144 + part.y, floorTile, part.x, part.y, part.w,
                               part.h);
    };
    // The level scroll takes a few frames to catch up, many more on a starved game.
    Image day;
    waitUntil([&] {
        day = grabScreen(server);
        for (Rect part : groundParts)
            if (partOff(day, part) != 0) return false;
        return true;
    });
    saveScreenshot(server, "day");
    for (Pixel sky : {day.at(100, 240), day.at(540, 240), day.at(100, 60)})
        EXPECT_TRUE(near(sky, kDaySky)) << describe(sky);
    for (Rect part : groundParts)
        EXPECT_EQ(partOff(day, part), 0) << "tile part at " << part.x << ", " << part.y;
    int outline = 0;
    for (int y = 162; y < 176; ++y)
        for (int x = 316; x < 322; ++x) {
            const Pixel p = day.at(x, y);
            outline += p.r == 255 && p.g == 226 && p.b == 64;
        }
    EXPECT_GE(outline, 28) << "the outline's right edge, two pixels wide";
    // The hotbar cursor on the first slot.
    EXPECT_EQ(differingPixels(day, 182, 416, cursor, 0, 0, cursor.width, cursor.height), 0);

    // A tap quicker than a tick still counts: E opens the block panel and
    // Escape closes it; the next Escape pauses the game, and the next goes back.
    const auto tap = [&](const char* key) {
        xdotool(server, "windowfocus --sync " + std::to_string(window));
        xdotool(server, std::string("key ") + key);
    };
    const Pixel kBorder{150, 150, 160};
    const auto bordered = [&](int x, int y) {
        return [this, &kBorder, x, y] { return near(grabScreen(server).at(x, y), kBorder); };
    };
    tap("e");
    EXPECT_TRUE(waitUntil(bordered(300, 44)))
        << "no block panel " << saveScreenshot(server, "tap-e");
    tap("Escape");
    EXPECT_TRUE(waitUntil([&] { return !bordered(300, 44)(); })) << "the block panel stays";
    tap("Escape");
    EXPECT_TRUE(waitUntil(bordered(300, 170)))
        << "no pause menu " << saveScreenshot(server, "tap-escape");
    saveScreenshot(server, "paused");
    tap("Escape");
    EXPECT_TRUE(waitUntil([&] { return !bordered(300, 170)(); })) << "still paused";

    requestClose(server, window);
    EXPECT_EQ(game.waitForExit(kExitSeconds), 0) << game.errorOutput();
}

}  // namespace

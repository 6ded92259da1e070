// The intro, the title menu, its buttons and the information panels, each
// checked against a picture drawn here from the literal texts and positions.
#include "render/render_fixture.h"

#include <allegro5/allegro_font.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "app/game_screen.h"
#include "app/main_loop.h"
#include "app/pointer.h"
#include "app/screens.h"
#include "app/widgets.h"
#include "game/key_bindings.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/text.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"

namespace {

constexpr Rgb kButtonUp{0, 100, 0};
constexpr Rgb kButtonLit{0, 200, 0};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kMagenta{255, 0, 255};

struct Line {
    int x, y;
    const char* text;
};

class ScreensTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        pointer = PointerState{};
        gameScreen.screen = Screen::Menu;
        gameScreen.sloganBlinkOn = true;
        assets.menuSloganIndex = 0;
        reference = al_create_bitmap(640, 480);
    }
    void TearDown() override {
        al_destroy_bitmap(reference);
        RenderTest::TearDown();
    }

    void pointAt(int x, int y, bool held) {
        pointer.x = x;
        pointer.y = y;
        pointer.buttonDown = held ? 1 : 0;
    }
    // As the loop does it: the menu's update, then its drawing.
    void drawMenu() {
        updateTitleMenu();
        clearFrame(kBlack);
        drawTitleMenu();
    }
    // Which half of the button picture shows at a button's position.
    Rgb buttonAt(int y) const { return at(222, y + 2); }

    // The menu as it must look with no button under the pointer: background,
    // slogan, five buttons and their labels, plus any extra lines.
    void drawReferenceMenu(const char* slogan, std::initializer_list<Line> lines) {
        al_set_target_bitmap(reference);
        al_clear_to_color(al_map_rgb(0, 0, 0));
        // The classic menu has its panels whatever they hold, as every menu screen does.
        if (settings.classic) {
            drawMenuBackdrop();
        } else {
            al_draw_bitmap(assets.menuBackground, 0, 0, 0);
        }
        if (slogan != nullptr) {
            al_draw_text(assets.largeFont, al_map_rgb(255, 255, 0), 400, 130, 0, slogan);
        }
        const char* labels[] = {"single player", " Multiplayer", "  Controls", "  Credits",
                                "Exit the game"};
        for (int i = 0; i < 5; ++i) {
            al_draw_bitmap_region(assets.menuButton, 0, 0, 160, 20, 220, 210 + 30 * i, 0);
            al_draw_text(assets.smallFont, al_map_rgb(255, 255, 255), 280, 213 + 30 * i, 0,
                         labels[i]);
        }
        for (const Line& line : lines) {
            al_draw_text(assets.smallFont, al_map_rgb(255, 255, 255), line.x, line.y, 0, line.text);
        }
        al_set_target_bitmap(frame);
    }

    ALLEGRO_BITMAP* reference = nullptr;
};

TEST_F(ScreensTest, theMenuShowsBackgroundSloganButtonsAndLabels) {
    drawMenu();
    drawReferenceMenu("Play now! Tessaria", {});
    EXPECT_EQ(differingPixels(frame, reference), 0);
}

TEST_F(ScreensTest, eachTitleSloganIsDrawnInYellow) {
    const char* slogans[] = {"Play now! Tessaria", "Play now! Tessaria!", "2.5d Quarrystone",
                             "Block by block!"};
    for (int index = 0; index < 4; ++index) {
        assets.menuSloganIndex = index;
        drawMenu();
        drawReferenceMenu(slogans[index], {});
        EXPECT_EQ(differingPixels(frame, reference), 0) << "slogan " << index;
    }
    EXPECT_GT(countPixels(frame, 400, 130, 200, 10, kYellow), 20);
}

TEST_F(ScreensTest, aHiddenBlinkHidesOnlyTheSlogan) {
    gameScreen.sloganBlinkOn = false;
    drawMenu();
    drawReferenceMenu(nullptr, {});
    EXPECT_EQ(differingPixels(frame, reference), 0);
}

TEST_F(ScreensTest, aSloganIndexOutsideTheTableShowsNoSlogan) {
    assets.menuSloganIndex = 7;
    drawMenu();
    drawReferenceMenu(nullptr, {});
    EXPECT_EQ(differingPixels(frame, reference), 0);
}

// The Controls button spans (220, 270) to (379, 289); only its inside counts.
TEST_F(ScreensTest, aButtonsFirstRowAndColumnDoNotCountAndItsInsideDoes) {
    const struct {
        int x, y;
        bool over;
    } points[] = {{220, 280, false}, {300, 270, false}, {221, 271, true},
                  {379, 289, true},  {380, 280, false}, {300, 290, false}};
    for (const auto& p : points) {
        gameScreen.menuSelection = MenuNone;
        pointAt(p.x, p.y, true);
        drawMenu();
        EXPECT_EQ(gameScreen.menuSelection, p.over ? MenuControls : MenuNone) << p.x << ", " << p.y;
        EXPECT_EQ(buttonAt(270), p.over ? kButtonLit : kButtonUp) << p.x << ", " << p.y;
    }
}

TEST_F(ScreensTest, hoveringHighlightsWithoutSelecting) {
    pointAt(300, 305, false);
    drawMenu();
    EXPECT_EQ(buttonAt(300), kButtonLit);
    EXPECT_EQ(buttonAt(270), kButtonUp);
    EXPECT_EQ(gameScreen.menuSelection, MenuNone);
}

// The keys and the pointer share one chosen row: keys moving away from the
// button under the pointer unlight it, and a pointer gone from the window
// leaves nothing lit.
TEST_F(ScreensTest, onlyOneRowEverLooksChosen) {
    gameScreen.focus = ButtonFocus{};
    pointAt(300, 245, false);
    drawMenu();
    EXPECT_EQ(buttonAt(240), kButtonLit);
    titleMenuKey(ALLEGRO_KEY_DOWN);
    drawMenu();
    EXPECT_EQ(buttonAt(240), kButtonUp);
    EXPECT_EQ(buttonAt(270), kButtonLit);
    titleMenuKey(ALLEGRO_KEY_ENTER);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuControls);

    pointAt(300, 335, false);
    drawMenu();
    EXPECT_EQ(buttonAt(330), kButtonLit);
    EXPECT_EQ(buttonAt(270), kButtonUp);
    pointAt(-1, -1, false);  // as the loop leaves it when the pointer goes
    drawMenu();
    for (int y = 210; y <= 330; y += 30) EXPECT_EQ(buttonAt(y), kButtonUp) << y;
    gameScreen.focus = ButtonFocus{};
}

TEST_F(ScreensTest, holdingTheButtonAndSlidingSelectsEachButtonPassed) {
    pointAt(300, 280, true);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuControls);
    pointAt(300, 310, true);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuCredits);
    pointAt(300, 250, true);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuMultiplayer);
    pointAt(300, 340, false);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuMultiplayer) << "released over Exit: nothing";
    EXPECT_EQ(gameScreen.runState, kRunning);
}

TEST_F(ScreensTest, theControlsPanelShowsItsEightLines) {
    gameScreen.menuSelection = MenuControls;
    drawMenu();
    drawReferenceMenu("Play now! Tessaria", {{440, 210, "Tessaria Controls"},
                                             {440, 230, "Up,down,right,left for walking."},
                                             {440, 250, "Ctrl (right) for mining blocks."},
                                             {440, 270, "Space for placing blocks."},
                                             {440, 290, "I for instead of mining,placing blocks"},
                                             {440, 310, "above you, You will mine them under"},
                                             {440, 330, "you Press I = on/off."},
                                             {440, 350, "Press J to put auto jump off/on"}});
    EXPECT_EQ(differingPixels(frame, reference), 0);
}

std::string someKeyNames(int key) {
    switch (key) {
        case KeyUp:
            return "Up";
        case KeyDown:
            return "Down";
        case KeyLeft:
            return "Left";
        case KeyRight:
            return "Right";
        case 11:
            return "k";
        case 13:
            return "m";
        case 23:
            return "w";
        case KeyF1:
            return "F1";
        case KeyF2:
            return "F2";
        case KeyE:
            return "e";
        default:
            return "";
    }
}

TEST_F(ScreensTest, theControlsPanelNamesTheBoundKeyInTheLineOfEachReboundAction) {
    setKeyNames(someKeyNames, nullptr);
    keyBindings.key[static_cast<int>(Action::WalkUp)] = 23;
    keyBindings.key[static_cast<int>(Action::Mine)] = 13;
    keyBindings.key[static_cast<int>(Action::Height)] = 11;
    gameScreen.menuSelection = MenuControls;
    drawMenu();
    keyBindings = KeyBindings{};
    setKeyNames(nullptr, nullptr);
    drawReferenceMenu("Play now! Tessaria", {{440, 210, "Tessaria Controls"},
                                             {440, 230, "W,Down,Right,Left for walking."},
                                             {440, 250, "M for mining blocks."},
                                             {440, 270, "Space for placing blocks."},
                                             {440, 290, "K for instead of mining,placing blocks"},
                                             {440, 310, "above you, You will mine them under"},
                                             {440, 330, "you Press K = on/off."},
                                             {440, 350, "Press J to put auto jump off/on"}});
    EXPECT_EQ(differingPixels(frame, reference), 0);
}

// Outside the classic picture the panel lists every key, one row each, and
// all of it stays inside the darkened box it draws: none of it runs over
// the bright scene below the backdrop's own panel.
TEST_F(ScreensTest, outsideTheClassicPictureEveryKeysRowStaysInsideThePanelsBox) {
    settings.classic = false;
    setKeyNames(someKeyNames, nullptr);
    keyBindings.key[static_cast<int>(Action::Rest)] = 11;
    const std::vector<ControlsRow> rows = controlsRows();
    keyBindings = KeyBindings{};
    ASSERT_EQ(rows.size(), 19u);
    EXPECT_EQ(rows[7].keys, "K") << "the rebound key is named";
    EXPECT_EQ(rows[6].keys, "J");
    // The map's north is up, and Up walks toward row 0.
    EXPECT_EQ(rows[0].keys + ": " + rows[0].action, "Up, Down: north, south");
    EXPECT_EQ(rows[1].keys + ": " + rows[1].action, "Left, Right: west, east");
    for (const ControlsRow& row : rows) {
        const std::string line = row.keys + ": " + row.action;
        EXPECT_LE(440 + textWidth(line.c_str()), 632) << line;
    }
    EXPECT_LE(controlsRowsBottom(), 446);

    gameScreen.menuSelection = MenuControls;
    drawMenu();
    setKeyNames(nullptr, nullptr);
    settings.classic = true;
    // Below the backdrop's panel the box darkens the scene; beside the box,
    // and below it, the scene shows as the backdrop holds it.
    const auto backdrop = [](int x, int y) {
        unsigned char r, g, b;
        al_unmap_rgb(al_get_pixel(assets.menuBackground, x, y), &r, &g, &b);
        return Rgb{r, g, b};
    };
    const auto darker = [](Rgb a, Rgb b) { return a.r + a.g + a.b < b.r + b.g + b.b; };
    for (int y : {372, 400, 444}) {
        EXPECT_TRUE(darker(at(620, y), backdrop(620, y))) << y;
        EXPECT_EQ(at(428, y), backdrop(428, y)) << y;
    }
    EXPECT_EQ(at(620, 447), backdrop(620, 447));
    EXPECT_GT(countPixels(frame, 440, controlsRowsBottom() - 13, 190, 13, kWhite), 20)
        << "no last row";
}

TEST_F(ScreensTest, theCreditsPanelShowsItsSixLines) {
    gameScreen.menuSelection = MenuCredits;
    drawMenu();
    drawReferenceMenu("Play now! Tessaria", {{470, 210, "Tessaria"},
                                             {470, 230, "Credits:"},
                                             {470, 250, "Code: Tessaria Workshop"},
                                             {470, 270, "Art: Quarry Pixel Studio"},
                                             {470, 290, "Music: -"},
                                             {470, 310, "A Tessaria Workshop game"}});
    EXPECT_EQ(differingPixels(frame, reference), 0);
}

// The join panel beside the menu's buttons: it once ran past the picture's
// right edge. The last address (typed into, so lit) and name from the
// settings show in their boxes.
TEST_F(ScreensTest, theMultiplayerPanelLiesInsideThePictureWithTheLastAddressAndNameInTheirBoxes) {
    settings.joinServer = "play.example:7000";
    settings.joinName = "ann";
    drawMenu();
    al_set_target_bitmap(reference);
    al_draw_bitmap(frame, 0, 0, 0);
    al_set_target_bitmap(frame);
    gameScreen.menuSelection = MenuMultiplayer;
    drawMenu();
    int changed = 0, pastEdge = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (!(pixelOf(frame, x, y) == pixelOf(reference, x, y))) {
                ++changed;
                pastEdge += x >= 636;
            }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(pastEdge, 0);
    EXPECT_GT(countPixels(frame, 437, 217, 192, 16, kYellow), 40) << "the address, lit";
    EXPECT_GT(countPixels(frame, 437, 253, 192, 16, kWhite), 5) << "the name";
    settings = Settings{};
}

TEST_F(ScreensTest, aClickOutsideEveryButtonLeavesThePanelOpen) {
    gameScreen.menuSelection = MenuControls;
    pointAt(100, 100, true);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuControls);
    EXPECT_GT(countPixels(frame, 440, 210, 100, 8, kWhite), 10);
}

TEST_F(ScreensTest, exitTheGameAsksToQuitAndStillFinishesTheMenu) {
    pointAt(300, 335, true);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuExit);
    EXPECT_EQ(gameScreen.runState, kQuitting);
    EXPECT_EQ(buttonAt(330), kButtonLit);
}

TEST_F(ScreensTest, singlePlayerLeavesTheMenuForTheWorldList) {
    pointAt(300, 215, true);
    drawMenu();
    EXPECT_EQ(gameScreen.menuSelection, MenuSinglePlayer);
    EXPECT_EQ(gameScreen.screen, Screen::Worlds);
}

// The list (or, with no world, the new-world panel) has its first button
// where the menu has none, left of the menu's own column.
TEST_F(ScreensTest, theClickOnSinglePlayerShowsTheWorldListInThatSameFrame) {
    standPlayer(5, 5, 10);
    pointAt(300, 215, false);
    ALLEGRO_EVENT press = {};
    press.type = ALLEGRO_EVENT_MOUSE_BUTTON_DOWN;
    ASSERT_TRUE(processEvent(press));
    EXPECT_EQ(gameScreen.screen, Screen::Worlds);
    EXPECT_EQ(at(122, 382), kButtonUp);
    EXPECT_FALSE(at(5, 240) == (Rgb{211, 250, 245})) << "the menu background, not the day sky";
}

TEST_F(ScreensTest, withoutFontsTheMenuStillDrawsItsButtons) {
    al_destroy_font(assets.smallFont);
    al_destroy_font(assets.largeFont);
    assets.smallFont = assets.largeFont = nullptr;
    gameScreen.menuSelection = MenuCredits;
    drawMenu();
    EXPECT_EQ(buttonAt(210), kButtonUp);
    EXPECT_EQ(countPixels(frame, 0, 0, 640, 480, kWhite), 0);
}

class IntroTest : public ScreensTest {
protected:
    void drawReferenceIntro(const char* slogan) {
        al_set_target_bitmap(reference);
        al_clear_to_color(al_map_rgb(255, 255, 255));
        al_draw_bitmap(assets.logo, 60, 150, 0);
        if (slogan != nullptr) {
            al_draw_text(assets.largeFont, al_map_rgb(255, 0, 255), 200, 220, 0, slogan);
        }
        al_set_target_bitmap(frame);
    }
};

TEST_F(IntroTest, theIntroIsWhiteWithTheLogo) {
    drawIntroScreen();
    EXPECT_EQ(at(60, 150), (Rgb{200, 0, 0}));
    EXPECT_EQ(at(159, 199), (Rgb{200, 0, 0}));
    EXPECT_EQ(at(59, 150), kWhite);
    EXPECT_EQ(at(160, 199), kWhite);
    EXPECT_EQ(at(639, 479), kWhite);
}

TEST_F(IntroTest, theSloganGrowsWordByWordInMagenta) {
    const char* slogans[] = {"Build", "Build,Create", "Build,Create,Design",
                             "Build,Create,Design Your Own world!", "Right now!"};
    for (int stage = 0; stage < 5; ++stage) {
        gameScreen.introStage = stage;
        drawIntroScreen();
        drawReferenceIntro(slogans[stage]);
        EXPECT_EQ(differingPixels(frame, reference), 0) << "stage " << stage;
    }
    EXPECT_GT(countPixels(frame, 200, 220, 100, 8, kMagenta), 20);
}

TEST_F(IntroTest, aStageOutsideTheTableShowsNoSlogan) {
    for (int stage : {-1, 5}) {
        gameScreen.introStage = stage;
        drawIntroScreen();
        drawReferenceIntro(nullptr);
        EXPECT_EQ(differingPixels(frame, reference), 0) << "stage " << stage;
    }
}

}  // namespace

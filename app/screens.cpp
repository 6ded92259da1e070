// The intro, the title menu with its buttons, and the information panels.
// The menu's update hit-tests the buttons and acts on the choice; drawing
// only reads.
#include "app/screens.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <vector>

#include "app/game_screen.h"
#include "app/multiplayer.h"
#include "app/options_screen.h"
#include "app/pointer.h"
#include "app/save_mark.h"
#include "app/widgets.h"
#include "app/world_list.h"
#include "game/key_bindings.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/text.h"
#include "render/tint.h"
#include "rules/bearings.h"

namespace {

constexpr const char* kIntroSlogans[] = {
    "Build",      "Build,Create", "Build,Create,Design", "Build,Create,Design Your Own world!",
    "Right now!",
};

constexpr const char* kTitleSlogans[] = {
    "Play now! Tessaria",
    "Play now! Tessaria!",
    "2.5d Quarrystone",
    // The game has no web site: the fourth slogan says what it is about.
    "Block by block!",
};

struct MenuButton {
    int x, y;
    const char* label;
    int id;
};
constexpr MenuButton kButtons[] = {
    {220, 210, "single player", MenuSinglePlayer}, {220, 240, " Multiplayer", MenuMultiplayer},
    {220, 270, "  Controls", MenuControls},        {220, 300, "  Credits", MenuCredits},
    {220, 330, "Exit the game", MenuExit},
};
// Below the column: the options outside the classic picture, and while a
// session goes on behind the menu, the way back to it.
constexpr MenuButton kOptionsButton{220, 360, "   Options", MenuOptions};
constexpr int kBackButtonX = 220, kBackButtonY = 360, kButtonSpacing = 30;

enum : int { PauseBack = 1, PauseTitle = 2, PauseOptions = 3 };
constexpr int kPauseBoxX = 210, kPauseBoxY = 170, kPauseBoxW = 220, kPauseBoxH = 158;
constexpr MenuButton kPauseButtons[] = {
    {240, 218, "Back to the game", PauseBack},
    {240, 252, "   Title menu", PauseTitle},
    {240, 286, "     Options", PauseOptions},
};

constexpr const char* kControlsLines[] = {
    "Tessaria Controls",
    "Up,down,right,left for walking.",
    "Ctrl (right) for mining blocks.",
    "Space for placing blocks.",
    "I for instead of mining,placing blocks",
    "above you, You will mine them under",
    "you Press I = on/off.",
    "Press J to put auto jump off/on",
};

// The game has no web site and no music; the classic panel keeps its music
// line, which says as much.
constexpr const char* kCreditsLines[] = {
    "Tessaria",
    "Credits:",
    "Code: Tessaria Workshop",
    "Art: Quarry Pixel Studio",
    "A Tessaria Workshop game",
};
constexpr const char* kClassicCreditsLines[] = {
    "Tessaria",
    "Credits:",
    "Code: Tessaria Workshop",
    "Art: Quarry Pixel Studio",
    "Music: -",
    "A Tessaria Workshop game",
};

constexpr int kLineSpacing = 20;
constexpr int kControlsX = 440;
constexpr int kCreditsX = 470;
constexpr int kPanelTop = 210;

constexpr Tint kMagenta{1, 0, 1, 1};

template <int N>
void drawLines(const char* const (&lines)[N], int x) {
    for (int i = 0; i < N; ++i) drawText(lines[i], x, kPanelTop + kLineSpacing * i);
}

// A key as the panel names it: a single letter in capitals, as the panel's
// own lines write I and J.
std::string panelName(Action action) {
    std::string name = keyName(boundKey(action));
    if (name.size() == 1)
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

// The panel's line, or, where its action has been rebound, the same line
// naming the bound key instead.
std::string controlsLine(int line) {
    const std::string text = kControlsLines[line];
    const auto named = [&](Action action, const char* rest) {
        return isRebound(action) ? panelName(action) + rest : text;
    };
    switch (line) {
        case 1:
            if (!isRebound(Action::WalkUp) && !isRebound(Action::WalkDown) &&
                !isRebound(Action::WalkRight) && !isRebound(Action::WalkLeft))
                return text;
            return panelName(Action::WalkUp) + "," + panelName(Action::WalkDown) + "," +
                   panelName(Action::WalkRight) + "," + panelName(Action::WalkLeft) +
                   " for walking.";
        case 2:
            return named(Action::Mine, " for mining blocks.");
        case 3:
            return named(Action::Place, " for placing blocks.");
        case 4:
            return named(Action::Height, " for instead of mining,placing blocks");
        case 6:
            return isRebound(Action::Height)
                       ? "you Press " + panelName(Action::Height) + " = on/off."
                       : text;
        case 7:
            return isRebound(Action::AutoJump)
                       ? "Press " + panelName(Action::AutoJump) + " to put auto jump off/on"
                       : text;
        default:
            return text;
    }
}

// The panel outside the classic picture: every key and what it does, one
// row each, in a box that reaches down far enough to
// hold them all; rows a little closer than the classic lines, and closer
// still as rows are added, so that all of them fit above the backdrop's
// bottom bar.
constexpr int kKeyColumnX = 440;
constexpr int kWidestRowSpacing = 15;
constexpr int kTallBoxBottom = 446;  // above the backdrop's bottom bar

// The key's own name where the player rebound it, else the usual one.
std::string keyLabel(Action action, const char* usual) {
    return isRebound(action) ? panelName(action) : std::string(usual);
}

int rowSpacing(int rows) {
    return std::min(kWidestRowSpacing, (kTallBoxBottom - 2 - kPanelTop) / (rows + 1));
}

// "north, south": where each of two walking keys goes on the map.
std::string walksToward(Action first, Action second) {
    const auto way = [](Action walk) {
        constexpr Facing kFacings[] = {Facing::Up, Facing::Down, Facing::Left, Facing::Right};
        return std::string(compassPointOf(kFacings[static_cast<int>(walk)]).name);
    };
    return way(first) + ", " + way(second);
}

}  // namespace

std::vector<ControlsRow> controlsRows() {
    return {
        {keyLabel(Action::WalkUp, "Up") + ", " + keyLabel(Action::WalkDown, "Down"),
         walksToward(Action::WalkUp, Action::WalkDown)},
        {keyLabel(Action::WalkLeft, "Left") + ", " + keyLabel(Action::WalkRight, "Right"),
         walksToward(Action::WalkLeft, Action::WalkRight)},
        {keyLabel(Action::Run, "Left Shift"), "hold to run"},
        {keyLabel(Action::Mine, "Right Ctrl"), "mine ahead"},
        {keyLabel(Action::Place, "Space"), "place ahead"},
        {keyLabel(Action::Height, "I"), "aim at body or feet"},
        {keyLabel(Action::AutoJump, "J"), "auto jump on/off"},
        {keyLabel(Action::Rest, "F11"), "rest, stand up"},
        {keyLabel(Action::Look1, "F1") + ", " + keyLabel(Action::Look2, "F2"), "change looks"},
        {keyLabel(Action::Inventory, "E"), "all your blocks"},
        {keyLabel(Action::Map, "M"), "map of the world"},
        {keyLabel(Action::Position, "P"), "where you are on/off"},
        {keyLabel(Action::Chat, "T"), "chat to the others"},
        {keyLabel(Action::Mark, "L"), "mark this place"},
        {"1-9, 0", "hotbar slot"},
        {"Escape", "pause menu"},
        {keyLabel(Action::Options, "O"), "options"},
        {"F12", "screenshot"},
        {"Alt+Enter", "full screen"},
    };
}

int controlsRowsBottom() {
    const int rows = static_cast<int>(controlsRows().size());
    return kPanelTop + rowSpacing(rows) * (rows + 1);
}

namespace {

void drawControlsPanel() {
    if (settings.classic) {
        const int count = static_cast<int>(std::size(kControlsLines));
        for (int line = 0; line < count; ++line)
            drawText(controlsLine(line).c_str(), kControlsX, kPanelTop + kLineSpacing * line);
        return;
    }
    drawMenuPanel(kPanelBoxX, kPanelBoxY, kPanelBoxW, kPanelBoxH);
    extendMenuPanel(kPanelBoxX, kPanelBoxW);
    drawText("Tessaria Controls", kKeyColumnX, kPanelTop);
    const std::vector<ControlsRow> rows = controlsRows();
    const int spacing = rowSpacing(static_cast<int>(rows.size()));
    int y = kPanelTop + spacing;
    // The keys in the menus' yellow, so that they stand out from the words.
    for (const ControlsRow& row : rows) {
        const std::string keys = row.keys + ": ";
        setTint(kYellow);
        drawText(keys.c_str(), kKeyColumnX, y);
        resetTint();
        drawText(row.action.c_str(), kKeyColumnX + textWidth(keys.c_str()), y);
        y += spacing;
    }
}

// Outside the classic picture a panel is darkened only behind its text.
void drawSelectedPanel() {
    if (!settings.classic && gameScreen.menuSelection == MenuCredits)
        drawMenuPanel(kPanelBoxX, kPanelBoxY, kPanelBoxW, kPanelBoxH);
    if (!settings.classic && gameScreen.menuSelection == MenuMultiplayer) {
        drawMenuPanel(kPanelBoxX, kPanelBoxY, kPanelBoxW, kPanelBoxH);
        drawMenuPanel(kBarX, kBarY, kBarW, kBarH);  // the version line
    }
    switch (gameScreen.menuSelection) {
        case MenuControls:
            drawControlsPanel();
            break;
        case MenuMultiplayer:
            drawJoinPanel();
            break;
        case MenuCredits:
            if (settings.classic) {
                drawLines(kClassicCreditsLines, kCreditsX);
            } else {
                drawLines(kCreditsLines, kCreditsX);
            }
            break;
        default:
            break;
    }
}

bool pauseButtonWasDown = false;

std::vector<MenuButton> titleButtons() {
    std::vector<MenuButton> buttons(std::begin(kButtons), std::end(kButtons));
    if (!settings.classic) buttons.push_back(kOptionsButton);
    if (isJoined()) {
        const int y = settings.classic ? kBackButtonY : kBackButtonY + kButtonSpacing;
        buttons.push_back({kBackButtonX, y, "Back to the game", MenuBackToGame});
    }
    return buttons;
}

int buttonUnderPointer(const std::vector<MenuButton>& buttons) {
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i)
        if (pointerOverButton(buttons[i].x, buttons[i].y)) return i;
    return -1;
}

// The pointer chooses the button it moves onto; moving off it (or out of
// the window) leaves none chosen, unless the keys chose since.
void followPointer(const std::vector<MenuButton>& buttons) {
    ButtonFocus& focus = gameScreen.focus;
    if (pointer.x == focus.seenX && pointer.y == focus.seenY) return;
    focus.seenX = pointer.x;
    focus.seenY = pointer.y;
    const int over = buttonUnderPointer(buttons);
    if (over >= 0) {
        focus.row = over;
        focus.byPointer = true;
    } else if (focus.byPointer) {
        focus.row = -1;
        focus.byPointer = false;
    }
}

// Up and Down move the choice round the column; Enter answers the row
// chosen, -1 for every other key or with none chosen.
int focusKey(int keycode, int count) {
    ButtonFocus& focus = gameScreen.focus;
    if (count <= 0) return -1;
    if (focus.row >= count) focus.row = -1;
    switch (keycode) {
        case ALLEGRO_KEY_UP:
        case ALLEGRO_KEY_DOWN: {
            const int step = keycode == ALLEGRO_KEY_UP ? -1 : 1;
            focus.row =
                focus.row < 0 ? (step > 0 ? 0 : count - 1) : (focus.row + step + count) % count;
            focus.byPointer = false;
            return -1;
        }
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            return focus.row;
        default:
            return -1;
    }
}

void choosePause(int id) {
    if (id == PauseBack) backToGame();
    if (id == PauseTitle) {
        saveOnLeaving();
        escapeToMenu();
    }
    if (id == PauseOptions) openOptions(Screen::Paused);
}

void fillBox(int x, int y, int w, int h, ALLEGRO_COLOR colour) {
    int cx, cy, cw, ch;
    al_get_clipping_rectangle(&cx, &cy, &cw, &ch);
    al_set_clipping_rectangle(x, y, w, h);
    al_clear_to_color(colour);
    al_set_clipping_rectangle(cx, cy, cw, ch);
}

}  // namespace

void updateTitleMenu() {
    const std::vector<MenuButton> buttons = titleButtons();
    followPointer(buttons);
    // Every frame while held, so sliding down the column selects each button passed.
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
        if (pointer.buttonDown != 1 || !pointerOverButton(buttons[i].x, buttons[i].y)) continue;
        gameScreen.menuSelection = buttons[i].id;
        gameScreen.titleRow = i;
    }
    // The list plays the single player's worlds: a server's world in the
    // records would be saved into the one left.
    if (gameScreen.menuSelection == MenuSinglePlayer) {
        leaveForSinglePlayer();
        openWorldList();
    }
    if (gameScreen.menuSelection == MenuBackToGame) {
        gameScreen.menuSelection = MenuNone;
        if (isJoined()) backToGame();
    }
    if (gameScreen.menuSelection == MenuOptions) {
        gameScreen.menuSelection = MenuNone;
        openOptions(Screen::Menu);
        return;
    }
    if (gameScreen.menuSelection == MenuExit) gameScreen.runState = kQuitting;
    updateJoinPanel();
}

void titleMenuKey(int keycode) {
    const std::vector<MenuButton> buttons = titleButtons();
    const int chosen = focusKey(keycode, static_cast<int>(buttons.size()));
    if (chosen < 0) return;
    gameScreen.menuSelection = buttons[chosen].id;
    gameScreen.titleRow = chosen;
}

void pauseMenuKey(int keycode) {
    const int chosen = focusKey(keycode, static_cast<int>(std::size(kPauseButtons)));
    if (chosen >= 0) choosePause(kPauseButtons[chosen].id);
}

// A click is a press and a release on the same button: acting on the press
// would leave the button held over the title menu, whose buttons act while
// held.
void updatePauseMenu() {
    const std::vector<MenuButton> buttons(std::begin(kPauseButtons), std::end(kPauseButtons));
    followPointer(buttons);
    ButtonFocus& focus = gameScreen.focus;
    const int over = buttonUnderPointer(buttons);
    if (pointer.buttonDown == 1) {
        if (!pauseButtonWasDown) focus.pressedRow = over;
    } else if (pauseButtonWasDown) {
        const int pressed = focus.pressedRow;
        focus.pressedRow = -1;
        if (pressed >= 0 && pressed == over) {
            pauseButtonWasDown = false;
            return choosePause(buttons[pressed].id);
        }
    }
    pauseButtonWasDown = pointer.buttonDown == 1;
}

void drawPauseMenu() {
    fillBox(kPauseBoxX, kPauseBoxY, kPauseBoxW, kPauseBoxH, al_map_rgb(150, 150, 160));
    fillBox(kPauseBoxX + 1, kPauseBoxY + 1, kPauseBoxW - 2, kPauseBoxH - 2, al_map_rgb(24, 27, 34));
    const char* title = isJoined() ? "Menu (the world goes on)" : "Paused";
    drawText(title, kPauseBoxX + (kPauseBoxW - textWidth(title)) / 2, kPauseBoxY + 14);
    const int count = static_cast<int>(std::size(kPauseButtons));
    for (int i = 0; i < count; ++i) {
        const MenuButton& button = kPauseButtons[i];
        drawMenuButton(button.x, button.y, button.label, i == gameScreen.focus.row);
    }
}

void updateScreens() {
    if (gameScreen.screen == Screen::Menu) updateTitleMenu();
    if (gameScreen.screen == Screen::Paused) updatePauseMenu();
    if (gameScreen.screen == Screen::Options) updateOptions();
    if (gameScreen.screen == Screen::Worlds) updateWorldList();
}

void drawIntroSlogan(const char* text) {
    setTint(kMagenta);
    drawLargeText(text, 200, 220);
    resetTint();
}

void drawTitleSlogan(const char* text, int x, int y) {
    setTint(kYellow);
    if (gameScreen.sloganBlinkOn) drawLargeText(text, x, y);
    resetTint();
}

void drawIntroScreen() {
    al_clear_to_color(al_map_rgb(255, 255, 255));
    drawBitmap(assets.logo, 60, 150);
    const int stage = gameScreen.introStage;
    if (stage >= 0 && stage < static_cast<int>(std::size(kIntroSlogans)))
        drawIntroSlogan(kIntroSlogans[stage]);
}

void drawTitleMenu() {
    // The first releases' menu had its panels whether they held text or not.
    if (settings.classic) {
        drawMenuBackdrop();
    } else {
        drawTitleBackdrop();
    }
    const int slogan = assets.menuSloganIndex;
    if (slogan >= 0 && slogan < static_cast<int>(std::size(kTitleSlogans)))
        drawTitleSlogan(kTitleSlogans[slogan], 400, 130);
    const std::vector<MenuButton> buttons = titleButtons();
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
        const MenuButton& button = buttons[i];
        drawMenuButton(button.x, button.y, button.label, i == gameScreen.focus.row);
    }
    drawLeavingNote();
    drawSelectedPanel();
}

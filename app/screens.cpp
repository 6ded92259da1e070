// The intro, the title menu with its buttons, and the information panels.
// The menu's update hit-tests the buttons and acts on the choice; drawing
// only reads.
#include "app/screens.h"

#include <cctype>
#include <iterator>
#include <string>
#include <vector>

#include "app/game_screen.h"
#include "app/multiplayer.h"
#include "app/pointer.h"
#include "app/world_list.h"
#include "game/key_bindings.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/bitmap_copy.h"
#include "render/text.h"
#include "render/tint.h"

// The game's web address, shown as a title slogan and in the credits.
#define TESSARIA_WEB_ADDRESS "tessaria.example"

namespace {

constexpr const char* kIntroSlogans[] = {
    "Build",      "Build,Create", "Build,Create,Design", "Build,Create,Design Your Own world!",
    "Right now!",
};

constexpr const char* kTitleSlogans[] = {
    "Play now! Tessaria",
    "Play now! Tessaria!",
    "2.5d Quarrystone",
    TESSARIA_WEB_ADDRESS,
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

constexpr const char* kCreditsLines[] = {
    "Tessaria (" TESSARIA_WEB_ADDRESS ")",
    "Credits:",
    "Code: Tessaria Workshop",
    "Art: Quarry Pixel Studio",
    "Music: -",
    "A Tessaria Workshop game",
};

constexpr int kLineSpacing = 20;
constexpr int kAddedLineSpacing = 14;
constexpr int kControlsX = 440;
constexpr int kCreditsX = 470;
constexpr int kPanelTop = 210;
constexpr int kLabelOffsetX = 60;
constexpr int kLabelOffsetY = 3;

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

// The keys the panel's own lines leave out, below them and closer together
// so that all fit above the foot of the screen; the classic panel stops at
// its eight lines.
std::vector<std::string> addedControlsLines() {
    const std::string f1 = panelName(Action::Look1), f2 = panelName(Action::Look2);
    return {
        "1-9, 0 choose the hotbar slot.",
        f1 + ", " + f2 + " change the figure's looks.",
        panelName(Action::Rest) + " to rest and to stand up.",
        panelName(Action::Inventory) + " for all the blocks you have.",
        "Escape for this menu.",
        "Alt+Enter for fullscreen or a window.",
        "F12 saves a screenshot.",
    };
}

void drawControlsPanel() {
    const int count = static_cast<int>(std::size(kControlsLines));
    for (int line = 0; line < count; ++line)
        drawText(controlsLine(line).c_str(), kControlsX, kPanelTop + kLineSpacing * line);
    if (settings.classic) return;
    int y = kPanelTop + kLineSpacing * count;
    for (const std::string& line : addedControlsLines()) {
        drawText(line.c_str(), kControlsX, y);
        y += kAddedLineSpacing;
    }
}

void drawSelectedPanel() {
    switch (gameScreen.menuSelection) {
        case MenuControls:
            drawControlsPanel();
            break;
        case MenuMultiplayer:
            drawJoinPanel();
            break;
        case MenuCredits:
            drawLines(kCreditsLines, kCreditsX);
            break;
        default:
            break;
    }
}

// True when no pixel of the picture lets anything through. Asked of the one
// menu backdrop, so the answer is kept for the last picture asked about.
bool isOpaque(ALLEGRO_BITMAP* picture) {
    static ALLEGRO_BITMAP* known = nullptr;
    static bool knownOpaque = false;
    if (picture == known) return knownOpaque;
    known = picture;
    knownOpaque = false;
    ALLEGRO_LOCKED_REGION* region =
        al_lock_bitmap(picture, ALLEGRO_PIXEL_FORMAT_ABGR_8888, ALLEGRO_LOCK_READONLY);
    if (region == nullptr) return false;
    knownOpaque = true;
    const int w = al_get_bitmap_width(picture), h = al_get_bitmap_height(picture);
    for (int y = 0; y < h && knownOpaque; ++y) {
        const unsigned char* row =
            static_cast<const unsigned char*>(region->data) + y * region->pitch;
        for (int x = 0; x < w && knownOpaque; ++x) knownOpaque = row[4 * x + 3] == 255;
    }
    al_unlock_bitmap(picture);
    return knownOpaque;
}

// An opaque backdrop as large as the screen hides the black clear entirely, so
// copying it gives the same pixels as drawing it, for a fraction of the cost
// on a machine that draws in software.
void drawBackdrop(ALLEGRO_BITMAP* backdrop) {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    const bool coversScreen = backdrop != nullptr && target != nullptr &&
                              al_get_bitmap_width(backdrop) == al_get_bitmap_width(target) &&
                              al_get_bitmap_height(backdrop) == al_get_bitmap_height(target);
    if (coversScreen && isOpaque(backdrop)) {
        copyWholeBitmap(backdrop, target);
    } else {
        drawBitmap(backdrop, 0, 0);
    }
}

}  // namespace

// Strict on all four sides: the first row and column do not count.
bool pointerOverButton(int x, int y) {
    ALLEGRO_BITMAP* picture = assets.menuButton;
    const int w = picture != nullptr ? al_get_bitmap_width(picture) : 0;
    const int h = picture != nullptr ? al_get_bitmap_height(picture) / 2 : 0;
    return x < pointer.x && pointer.x < x + w && y < pointer.y && pointer.y < y + h;
}

void drawMenuBackdrop() { drawBackdrop(assets.menuBackground); }

void updateTitleMenu() {
    // Every frame while held, so sliding down the column selects each button passed.
    for (const MenuButton& button : kButtons) {
        if (pointer.buttonDown == 1 && pointerOverButton(button.x, button.y))
            gameScreen.menuSelection = button.id;
    }
    // The list plays the single player's worlds: a server's world in the
    // records would be saved into the one left.
    if (gameScreen.menuSelection == MenuSinglePlayer) {
        leaveForSinglePlayer();
        openWorldList();
    }
    if (gameScreen.menuSelection == MenuExit) gameScreen.runState = kQuitting;
    updateJoinPanel();
}

void updateScreens() {
    if (gameScreen.screen == Screen::Menu) updateTitleMenu();
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

void drawMenuButton(int x, int y, const char* label) {
    ALLEGRO_BITMAP* picture = assets.menuButton;
    const int w = picture != nullptr ? al_get_bitmap_width(picture) : 0;
    const int h = picture != nullptr ? al_get_bitmap_height(picture) / 2 : 0;
    const bool over = pointerOverButton(x, y);
    drawBitmapRegion(picture, 0, over ? h : 0, w, h, x, y);
    drawText(label, x + kLabelOffsetX, y + kLabelOffsetY);
}

void drawIntroScreen() {
    al_clear_to_color(al_map_rgb(255, 255, 255));
    drawBitmap(assets.logo, 60, 150);
    const int stage = gameScreen.introStage;
    if (stage >= 0 && stage < static_cast<int>(std::size(kIntroSlogans)))
        drawIntroSlogan(kIntroSlogans[stage]);
}

void drawTitleMenu() {
    drawMenuBackdrop();
    const int slogan = assets.menuSloganIndex;
    if (slogan >= 0 && slogan < static_cast<int>(std::size(kTitleSlogans)))
        drawTitleSlogan(kTitleSlogans[slogan], 400, 130);
    for (const MenuButton& button : kButtons) drawMenuButton(button.x, button.y, button.label);
    drawSelectedPanel();
}

// The map panel: a title, the map scaled to its box with home and the marks,
// and the player's column, row and height beneath it (and the way to the
// chosen mark), on a dark panel above the hotbar; and the line a new mark is
// named on.
#include "app/map_panel.h"

#include <cctype>
#include <string>
#include <vector>

#include "app/multiplayer.h"
#include "app/panel_keys.h"
#include "app/platform.h"
#include "app/status_line.h"
#include "game/marks.h"
#include "game/settings.h"
#include "render/map_view.h"
#include "render/text.h"
#include "render/tint.h"

namespace {

constexpr int kPanelX = 100, kPanelY = 14;
constexpr int kPanelWidth = 440, kPanelHeight = 380;  // ends above the status line
constexpr int kTitleY = kPanelY + 10;
constexpr int kLineY = kMapBoxY + kMapBoxHeight + 8;
constexpr int kNamingY = 380;  // above the status line
constexpr int kScreenCentre = 320;
constexpr const char* kMarksFull = "nine marks are set: drop one on the map first";

struct Panel {
    bool open = false;
    PanelKeys keys;
};
Panel panel;

struct Naming {
    bool open = false;
    std::string text;
    bool escapeTaken = false;  // the Escape that dropped it, until let go
};
Naming naming;

void close() {
    panel.open = false;
    forgetWorldMap();  // 360 KB of picture is not kept for a panel not shown
}

std::vector<MapMark> mapMarks() {
    std::vector<MapMark> shown;
    const PlayerMarks& kept = marksInPlay.kept;
    if (kept.home)
        shown.push_back(MapMark{kept.home->x, kept.home->y, "Home", true, marksInPlay.chosen == 0});
    for (std::size_t i = 0; i < kept.marks.size(); ++i) {
        const Mark& m = kept.marks[i];
        shown.push_back(
            MapMark{m.x, m.y, m.name, false, marksInPlay.chosen == static_cast<int>(i) + 1});
    }
    return shown;
}

void keepNamedMark() {
    naming.open = false;
    if (setMark(player.x, player.y, player.level, naming.text)) {
        showStatus("marked: " + chosenMark()->name);
    } else {
        showStatus(kMarksFull);
    }
}

}  // namespace

bool mapOpen() { return panel.open; }

void closeMap() { close(); }

bool updateMapKeys(KeyDownFn pressed, KeyDownFn down, bool gameShown) {
    const bool wasOpen = panel.open;
    const bool taken =
        updatePanelKeys(panel.keys, panel.open, pressed(boundKey(Action::Map)), pressed(KeyEscape),
                        down(KeyEscape), !settings.classic, gameShown);
    if (wasOpen && !panel.open) close();
    if (panel.open && pressed(ALLEGRO_KEY_TAB)) chooseNextMark();
    if (panel.open && pressed(ALLEGRO_KEY_DELETE)) removeChosenMark();
    return taken;
}

void drawMapPanel(const WorldGrid& grid, const PlayerState& p) {
    if (!panel.open) return;
    drawPanelFrame(kPanelX, kPanelY, kPanelWidth, kPanelHeight);
    const std::string close = panelKeyName(boundKey(Action::Map));
    const std::string title =
        "Map of the world (" + close + " or Escape closes, Tab picks a mark, Delete drops it)";
    drawText(title.c_str(), kPanelX + 10, kTitleY);
    drawWorldMap(grid, p, kMapBoxX, kMapBoxY, kMapBoxWidth, kMapBoxHeight, joinedMapKnown(),
                 mapMarks());
    std::string line = positionText(p);
    const std::string way = markWayText(p);
    if (!way.empty()) line += " - " + way;
    setTint(kYellow);
    drawText(line.c_str(), kPanelX + (kPanelWidth - textWidth(line.c_str())) / 2, kLineY);
    resetTint();
}

void markNamingKey(const ALLEGRO_KEYBOARD_EVENT& key, bool gameTakesKeys) {
    if (!naming.open) {
        if (gameTakesKeys && !settings.classic && !key.repeat && !marksInPlay.file.empty() &&
            key.keycode == boundKey(Action::Mark)) {
            naming.open = marksInPlay.kept.marks.size() < kMostMarks;
            naming.text.clear();
            if (!naming.open) showStatus(kMarksFull);
        }
        return;
    }
    switch (key.keycode) {
        case ALLEGRO_KEY_BACKSPACE:
            if (!naming.text.empty()) naming.text.pop_back();
            return;
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            keepNamedMark();
            return;
        case ALLEGRO_KEY_ESCAPE:
            naming.open = false;
            naming.escapeTaken = true;
            return;
        default:
            break;
    }
    if (key.unichar >= ' ' && key.unichar <= '~' && naming.text.size() < kLongestMarkName)
        naming.text += static_cast<char>(key.unichar);
}

bool markNamingTakesKeys() {
    if (naming.escapeTaken && !keyboardKeyDown()(KeyEscape)) naming.escapeTaken = false;
    return naming.open || naming.escapeTaken;
}

void drawMarkNaming() {
    if (!naming.open) return;
    const std::string line = "Name of the mark, or Enter for " + freeMarkName(marksInPlay.kept) +
                             ": " + naming.text + "_";
    setTint(kYellow);
    drawOverlayText(line.c_str(), kScreenCentre - textWidth(line.c_str()) / 2, kNamingY);
    resetTint();
}

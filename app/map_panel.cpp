// The map panel: a title, the map scaled to its box, and the player's column,
// row and level beneath it, on a dark panel above the hotbar.
#include "app/map_panel.h"

#include <cctype>
#include <string>

#include "app/multiplayer.h"
#include "app/panel_keys.h"
#include "app/status_line.h"
#include "game/settings.h"
#include "render/map_view.h"
#include "render/text.h"
#include "render/tint.h"

namespace {

constexpr int kPanelX = 100, kPanelY = 14;
constexpr int kPanelWidth = 440, kPanelHeight = 380;  // ends above the status line
constexpr int kTitleY = kPanelY + 10;
constexpr int kLineY = kMapBoxY + kMapBoxHeight + 8;

struct Panel {
    bool open = false;
    PanelKeys keys;
};
Panel panel;

void close() {
    panel.open = false;
    forgetWorldMap();  // 360 KB of picture is not kept for a panel not shown
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
    return taken;
}

void drawMapPanel(const WorldGrid& grid, const PlayerState& p) {
    if (!panel.open) return;
    drawPanelFrame(kPanelX, kPanelY, kPanelWidth, kPanelHeight);
    const std::string close = panelKeyName(boundKey(Action::Map));
    const std::string title = "Map of the world (" + close + " or Escape closes)";
    drawText(title.c_str(), kPanelX + 10, kTitleY);
    drawWorldMap(grid, p, kMapBoxX, kMapBoxY, kMapBoxWidth, kMapBoxHeight, joinedMapKnown());
    const std::string line = positionText(p);
    setTint(kYellow);
    drawText(line.c_str(), kPanelX + (kPanelWidth - textWidth(line.c_str())) / 2, kLineY);
    resetTint();
}

// The map panel: a title, the map scaled to its box, and the player's column,
// row and level beneath it, on a dark panel above the hotbar.
#include "app/map_panel.h"

#include <cctype>
#include <string>

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
    bool keyWasDown = false;
    bool escapeWasDown = false;
    bool escapeHeld = false;  // Escape closed the panel and is still down
};
Panel panel;

void fillRect(int x, int y, int w, int h, ALLEGRO_COLOR colour) {
    int cx, cy, cw, ch;
    al_get_clipping_rectangle(&cx, &cy, &cw, &ch);
    al_set_clipping_rectangle(x, y, w, h);
    al_clear_to_color(colour);
    al_set_clipping_rectangle(cx, cy, cw, ch);
}

void close() {
    panel.open = false;
    forgetWorldMap();  // 360 KB of picture is not kept for a panel not shown
}

}  // namespace

bool mapOpen() { return panel.open; }

void closeMap() { close(); }

bool updateMapKeys(KeyDownFn keyDown, bool gameShown) {
    const bool key = keyDown(boundKey(Action::Map));
    const bool escape = keyDown(KeyEscape);
    const bool keyPressed = key && !panel.keyWasDown;
    const bool escapePressed = escape && !panel.escapeWasDown;
    panel.keyWasDown = key;
    panel.escapeWasDown = escape;
    if (!escape) panel.escapeHeld = false;
    if (panel.open) {
        if (keyPressed || escapePressed || !gameShown) close();
        if (escapePressed) panel.escapeHeld = true;
        return true;
    }
    if (keyPressed && gameShown && !settings.classic) panel.open = true;
    return panel.escapeHeld;
}

void drawMapPanel(const WorldGrid& grid, const PlayerState& p) {
    if (!panel.open) return;
    fillRect(kPanelX, kPanelY, kPanelWidth, kPanelHeight, al_map_rgb(150, 150, 160));
    fillRect(kPanelX + 1, kPanelY + 1, kPanelWidth - 2, kPanelHeight - 2, al_map_rgb(24, 27, 34));
    std::string close = keyName(boundKey(Action::Map));
    if (close.size() == 1)  // a letter in capitals, as the panels write keys
        close[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(close[0])));
    const std::string title = "Map of the world (" + close + " or Escape closes)";
    drawText(title.c_str(), kPanelX + 10, kTitleY);
    drawWorldMap(grid, p, kMapBoxX, kMapBoxY, kMapBoxWidth, kMapBoxHeight);
    const std::string line = positionText(p);
    setTint(kYellow);
    drawText(line.c_str(), kPanelX + (kPanelWidth - textWidth(line.c_str())) / 2, kLineY);
    resetTint();
}

// The inventory panel: 22 blocks in rows of six whole tiles, each with its
// count beneath, on a dark panel above the hotbar.
#include "app/inventory_panel.h"

#include <cctype>
#include <string>

#include "app/panel_keys.h"
#include "app/pointer.h"
#include "app/status_line.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/text.h"
#include "render/tint.h"
#include "util/numbers.h"

namespace {

constexpr int kColumns = 6;
constexpr int kCellWidth = 68;
constexpr int kCellHeight = 80;  // the tile and its count
constexpr int kTileSize = 64;
constexpr int kPanelX = 110, kPanelY = 44;
constexpr int kPanelWidth = 420, kPanelHeight = 366;  // ends above the hotbar
constexpr int kGridX = kPanelX + (kPanelWidth - kColumns * kCellWidth) / 2;
constexpr int kGridY = kPanelY + 30;
constexpr int kCountY = 66;  // below the tile, within the cell
// The name of the block under the pointer, in the two free cells after the
// last block.
constexpr int kNameCell = kBlockTypes - 1;
constexpr int kNameWidth = 2 * kCellWidth - 2;
constexpr int kNameY = 30;
constexpr int kPositionY = kPanelY + kPanelHeight - 15;

// By BlockId, as the art names the materials.
constexpr const char* kBlockNames[kBlockTypes] = {
    "",
    "grass on earth",
    "cobblestone",
    "explosive crate",
    "wooden planks",
    "water",
    "earth",
    "sand",
    "lava",
    "gravel",
    "snow-covered ground",
    "log",
    "leaves",
    "brick",
    "glass",
    "coal ore",
    "iron ore",
    "hard rock",
    "marble",
    "terracotta",
    "gold ore",
    "mossy stone",
    "ice",
};

struct Panel {
    bool open = false;
    PanelKeys keys;
    bool buttonWasDown = false;
};
Panel panel;

int cellX(int index) { return kGridX + kCellWidth * (index % kColumns); }
int cellY(int index) { return kGridY + kCellHeight * (index / kColumns); }

void drawCell(const PlayerState& p, BlockId id) {
    const int index = id - 1;
    const int x = cellX(index), y = cellY(index);
    const bool selected =
        p.selectedSlot >= 0 && p.selectedSlot < kHotbarSlots && p.hotbar[p.selectedSlot] == id;
    if (selected) fillPanelRect(x, y, kCellWidth - 2, kCellHeight - 2, al_map_rgb(200, 170, 60));
    fillPanelRect(x + 1, y + 1, kCellWidth - 4, kCellHeight - 4,
                  selected ? al_map_rgb(70, 64, 40) : al_map_rgb(44, 48, 58));
    ALLEGRO_BITMAP* tile = assets.tileBitmap[id];
    if (tile != nullptr) {
        // An animation strip shows its first frame.
        const int w = al_get_bitmap_width(tile);
        al_draw_bitmap_region(tile, 0, 0, w > kTileSize ? w / 4 : w, al_get_bitmap_height(tile),
                              x + 1, y + 1, 0);
    }
    const std::string count = util::to_string(p.blockCounts[id]);
    drawText(count.c_str(), x + (kCellWidth - 2 - textWidth(count.c_str())) / 2, y + kCountY);
}

}  // namespace

const char* blockName(BlockId id) { return id > 0 && id < kBlockTypes ? kBlockNames[id] : ""; }

bool inventoryOpen() { return panel.open; }

void closeInventory() { panel.open = false; }

bool updateInventoryKeys(KeyDownFn pressed, KeyDownFn down, bool gameShown) {
    return updatePanelKeys(panel.keys, panel.open, pressed(boundKey(Action::Inventory)),
                           pressed(KeyEscape), down(KeyEscape), !settings.classic, gameShown);
}

BlockId inventoryBlockAt(int x, int y) {
    for (BlockId id = 1; id < kBlockTypes; ++id) {
        const int cx = cellX(id - 1), cy = cellY(id - 1);
        if (x >= cx && x < cx + kCellWidth - 2 && y >= cy && y < cy + kCellHeight - 2) return id;
    }
    return Empty;
}

void updateInventoryPointer(PlayerState& p, int pointerX, int pointerY, bool buttonDown) {
    const bool clicked = buttonDown && !panel.buttonWasDown;
    panel.buttonWasDown = buttonDown;
    if (!panel.open || !clicked || p.selectedSlot < 0 || p.selectedSlot >= kHotbarSlots) return;
    const BlockId id = inventoryBlockAt(pointerX, pointerY);
    if (id != Empty) p.hotbar[p.selectedSlot] = id;
}

void drawInventoryPanel(const PlayerState& p) {
    if (!panel.open) return;
    drawPanelFrame(kPanelX, kPanelY, kPanelWidth, kPanelHeight);
    const std::string close = panelKeyName(boundKey(Action::Inventory));
    const std::string title =
        "Blocks: click one to put it in the selected slot (" + close + " or Escape closes)";
    drawText(title.c_str(), kPanelX + 10, kPanelY + 10);
    for (BlockId id = 1; id < kBlockTypes; ++id) drawCell(p, id);
    const char* name = blockName(inventoryBlockAt(pointer.x, pointer.y));
    setTint(kYellow);
    drawText(name, cellX(kNameCell) + (kNameWidth - textWidth(name)) / 2,
             cellY(kNameCell) + kNameY);
    resetTint();
    // Inside the frame, under the grid: the status line's place is on the frame's edge.
    if (!positionLineShown()) return;
    const std::string line = positionText(p);
    drawText(line.c_str(), kPanelX + (kPanelWidth - textWidth(line.c_str())) / 2, kPositionY);
}

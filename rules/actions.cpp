// Mining and placing: every finished action is a strike, the third strike of
// a mining action breaks the block ahead, a placing action fills it at once.
#include "rules/actions.h"

#include "rules/player_state.h"
#include "world/world_grid.h"

namespace {

constexpr int kStrikesToBreak = 3;

// The eight columns around the player lose two levels; the player's own
// column keeps them, and nothing is written at a negative x or y.
void clearRing(int top, int bottom) {
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            int x = player.x + dx, y = player.y + dy;
            if ((dx == 0 && dy == 0) || x < 0 || y < 0) continue;
            setCell(x, y, top, Empty);
            setCell(x, y, bottom, Empty);
        }
    }
}

// Unknown ids (a hand-edited world) have no slot in the count table.
void countBreak(BlockId id) {
    if (isKnownBlock(id)) player.blockCounts[id] += 1;
}

BlockId selectedType() { return player.hotbar[player.selectedSlot]; }

}  // namespace

void finishAction() {
    player.strikes += 1;
    Column ahead = columnAhead();
    if (player.strikes >= kStrikesToBreak) {
        player.strikes = 0;
        if (player.actionMode == ActionMode::Mining) {
            countBreak(player.targetBlock);
            mineCell(ahead.x, ahead.y);
        }
    }
    BlockId type = selectedType();
    if (player.actionMode == ActionMode::Placing && player.targetBlock == Empty &&
        isKnownBlock(type) && player.blockCounts[type] >= 1) {
        player.blockCounts[type] -= 1;
        placeCell(ahead.x, ahead.y);
    }
}

// The walk goes down the column from the action cell's top, short of the
// band's edge; hard rock is never removed, and an explosive anywhere else in the column blows away
// the ring around the player at its depth.
void mineCell(int cx, int cy) {
    if (!insideBounds(world, cx, cy)) return;
    for (int t = 0; t < kBandEdge; ++t) {
        int level = t - player.targetRaised;
        BlockId id = cell(cx, cy, level);
        if (id == HardRock) continue;
        if (t == player.level) {
            setCell(cx, cy, level, Empty);
        } else if (id == Explosive) {
            clearRing(t == 0 ? 0 : t - 1, t == 0 ? 1 : t);
        }
    }
}

void placeCell(int cx, int cy) {
    if (!insideBounds(world, cx, cy)) return;
    if (player.level < 0 || player.level >= kBandEdge) return;
    setCell(cx, cy, player.level - player.targetRaised, selectedType());
}

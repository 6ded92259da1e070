// Mining and placing: every finished action is a strike, the third strike of
// a mining action breaks the block ahead, a placing action fills it at once.
#include "rules/actions.h"

namespace {

constexpr int kStrikesToBreak = 3;

// The eight columns around the player lose two levels; the player's own
// column keeps them, and nothing is written at a negative x or y.
void clearRing(const PlayerState& p, WorldGrid& grid, int top, int bottom) {
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            int x = p.x + dx, y = p.y + dy;
            if ((dx == 0 && dy == 0) || x < 0 || y < 0) continue;
            setCellOf(grid, x, y, top, Empty);
            setCellOf(grid, x, y, bottom, Empty);
        }
    }
}

// Unknown ids (a hand-edited world) have no slot in the count table.
void countBreak(PlayerState& p, BlockId id) {
    if (isKnownBlock(id) && p.blockCounts[id] < kMostOfABlock) p.blockCounts[id] += 1;
}

BlockId selectedType(const PlayerState& p) { return p.hotbar[p.selectedSlot]; }

// Air in a slot (a hand-made record can put it there) is no block to build
// with: placing it would spend a count of nothing and fill nothing.
bool canPlace(const PlayerState& p, BlockId type) {
    return type != Empty && isKnownBlock(type) && p.blockCounts[type] >= 1;
}

// A stream gives way to a block as air does; mining one gives nothing, and
// what feeds it fills the cell again.
bool roomToPlace(BlockId target) { return target == Empty || isStream(target); }

}  // namespace

bool actionCellInBand(const PlayerState& p, const WorldGrid& grid) {
    const Column ahead = columnAhead(p);
    const int level = p.level - p.targetRaised;
    return insideBounds(grid, ahead.x, ahead.y) && p.level >= 0 && p.level < kBandEdge &&
           level >= 0 && level < kBandEdge;
}

void finishAction(PlayerState& p, WorldGrid& grid) {
    if (!actionCellInBand(p, grid)) return;
    p.strikes += 1;
    Column ahead = columnAhead(p);
    // Read now, not at the last world tick: another player's action may have
    // ended on the same cell earlier in this tick.
    const BlockId target = cellOf(grid, ahead.x, ahead.y, p.level - p.targetRaised);
    if (p.strikes >= kStrikesToBreak) {
        p.strikes = 0;
        if (p.actionMode == ActionMode::Mining) {
            countBreak(p, target);
            mineCell(p, grid, ahead.x, ahead.y);
        }
    }
    BlockId type = selectedType(p);
    if (p.actionMode == ActionMode::Placing && roomToPlace(target) && canPlace(p, type)) {
        p.blockCounts[type] -= 1;
        placeCell(p, grid, ahead.x, ahead.y);
    }
}

const char* whyActionDoesNothing(const PlayerState& p, const WorldGrid& grid, ActionMode mode) {
    const bool mining = mode == ActionMode::Mining;
    if (p.resting) return "resting";
    const Column ahead = columnAhead(p);
    if (!insideBounds(grid, ahead.x, ahead.y)) return "the world ends here";
    if (!actionCellInBand(p, grid)) return mining ? "nothing to mine here" : "too high to build";
    const BlockId target = cellOf(grid, ahead.x, ahead.y, p.level - p.targetRaised);
    if (mining) {
        if (target == Empty) return "nothing to mine here";
        if (target == HardRock) return "that block cannot be mined";
        return nullptr;
    }
    if (!roomToPlace(target)) return "the cell is taken";
    const BlockId type = selectedType(p);
    if (!canPlace(p, type)) return "no blocks of this kind left";
    return nullptr;
}

// The walk goes down the column from the action cell's top, short of the
// band's edge; hard rock is never removed, and an explosive anywhere else in the column blows away
// the ring around the player at its depth.
void mineCell(const PlayerState& p, WorldGrid& grid, int cx, int cy) {
    if (!insideBounds(grid, cx, cy)) return;
    for (int t = 0; t < kBandEdge; ++t) {
        int level = t - p.targetRaised;
        BlockId id = cellOf(grid, cx, cy, level);
        if (id == HardRock) continue;
        if (t == p.level) {
            setCellOf(grid, cx, cy, level, Empty);
        } else if (id == Explosive) {
            clearRing(p, grid, t == 0 ? 0 : t - 1, t == 0 ? 1 : t);
        }
    }
}

void placeCell(const PlayerState& p, WorldGrid& grid, int cx, int cy) {
    if (!insideBounds(grid, cx, cy)) return;
    if (p.level < 0 || p.level >= kBandEdge) return;
    setCellOf(grid, cx, cy, p.level - p.targetRaised, selectedType(p));
}

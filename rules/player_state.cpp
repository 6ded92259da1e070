// The single player's record and camera, the starting kit and the camera verbs.
#include "rules/player_state.h"

#include "rules/projection.h"

PlayerState player;
Camera camera;

namespace {

// Neighbour offsets in the order of the facing values 0..3.
constexpr int kFacingDx[4] = {0, 0, -1, 1};
constexpr int kFacingDy[4] = {-1, 1, 0, 0};

constexpr BlockId kStartHotbar[kHotbarSlots] = {Grass,  Earth,      Cobblestone, Planks, Brick,
                                                Marble, Terracotta, Water,       Lava};
constexpr std::int32_t kStartCount = 100;  // of every block type

}  // namespace

Column columnAhead(const PlayerState& p) {
    int facing = static_cast<std::int32_t>(p.facing) & 3;
    return Column{p.x + kFacingDx[facing], p.y + kFacingDy[facing]};
}

void giveStartingKit(PlayerState& p) {
    for (int slot = 0; slot < kHotbarSlots; ++slot) p.hotbar[slot] = kStartHotbar[slot];
    for (int id = 0; id < kBlockTypes; ++id) p.blockCounts[id] = kStartCount;
}

void aimCamera(Camera& view, const PlayerState& p) {
    view.offsetX = -screenShiftX(p.x, p.y);
    view.offsetY = -screenShiftY(p.x, p.y, 0);
}

void placePlayer(PlayerState& p, Camera& view, int x, int y) {
    p.x = x;
    p.y = y;
    aimCamera(view, p);
}

void cameraStep(Camera& view) {
    view.offsetX += view.velocityX;
    view.offsetY += view.velocityY;
}

void followPlayerLevel(Camera& view, const PlayerState& p) {
    if (p.level >= 0 && p.level <= kBandEdge) view.levelScroll = levelScrollFor(p.level);
}

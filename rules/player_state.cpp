// The player record, the camera and the two camera verbs.
#include "rules/player_state.h"

#include "rules/projection.h"

PlayerState player;
Camera camera;

namespace {

// Neighbour offsets in the order of the facing values 0..3.
constexpr int kFacingDx[4] = {0, 0, -1, 1};
constexpr int kFacingDy[4] = {-1, 1, 0, 0};

}  // namespace

Column columnAhead(const PlayerState& p) {
    int facing = static_cast<std::int32_t>(p.facing) & 3;
    return Column{p.x + kFacingDx[facing], p.y + kFacingDy[facing]};
}

void aimCamera() {
    camera.offsetX = -screenShiftX(player.x, player.y);
    camera.offsetY = -screenShiftY(player.x, player.y, 0);
}

void placePlayer(int x, int y) {
    player.x = x;
    player.y = y;
    aimCamera();
}

void cameraStep() {
    camera.offsetX += camera.velocityX;
    camera.offsetY += camera.velocityY;
}

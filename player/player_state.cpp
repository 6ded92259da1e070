// The player record, the camera and the two camera verbs.
#include "player/player_state.h"

PlayerState player;
Camera camera;

namespace {

// Neighbour offsets in the order of the facing values 0..3.
constexpr int kFacingDx[4] = {0, 0, -1, 1};
constexpr int kFacingDy[4] = {-1, 1, 0, 0};

}  // namespace

Column columnAhead() {
    int facing = player.facing & 3;
    return Column{player.x + kFacingDx[facing], player.y + kFacingDy[facing]};
}

void aimCamera() {
    camera.offsetX = 32 * (player.y - player.x);
    camera.offsetY = -16 * (player.x + player.y);
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

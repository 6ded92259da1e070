// The keyboard turned into turns, steps, toggles and actions, and the 17-tick
// player animation that follows every step and action.
#include "rules/input.h"

#include <climits>

#include "rules/actions.h"
#include "rules/game_screen.h"
#include "rules/key_bindings.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

namespace {

KeySnapshotFn takeSnapshot = nullptr;
KeyDownFn keyDownFn = nullptr;
PauseFn pauseFn = nullptr;

// Ticks inside an animation at which the figure changes; a step also moves
// the camera a quarter of a cell at each of them.
constexpr int kMarkStart = 0;
constexpr int kMarkSecond = 2;
constexpr int kMarkThird = 7;
constexpr int kMarkFourth = 12;

bool down(int key) { return keyDownFn != nullptr && keyDownFn(key); }
bool down(Action action) { return down(boundKey(action)); }

void togglePause() {
    if (pauseFn != nullptr) pauseFn(kTogglePauseMs);
}

bool anyArrowDown() {
    return down(Action::WalkUp) || down(Action::WalkDown) || down(Action::WalkLeft) ||
           down(Action::WalkRight);
}

// One arrow row: it matches when its key is down, the step stays inside the
// world and nothing runs. A matched row always turns the player; it steps
// only once the key has been held long enough and nothing stands in the way.
bool tryStep(Action walk, bool inside, Facing facing, int dx, int dy, int vx, int vy) {
    if (!down(walk) || !inside || player.busy) return false;
    player.facing = facing;
    if (!isStepBlocked() && player.holdTicks > kHoldThreshold) {
        player.busy = true;
        player.x += dx;
        player.y += dy;
        camera.velocityX = vx;
        camera.velocityY = vy;
    }
    return true;
}

void startAction(ActionMode mode) {
    player.busy = true;
    player.acting = true;
    player.actionMode = mode;
}

// The rows are tried in order and the first that matches ends the search,
// so a turn toward one key hides every key below it for this tick.
bool tryRows() {
    const int maxX = world.maxX, maxY = world.maxY;
    if (tryStep(Action::WalkUp, player.y > 0, Facing::Up, 0, -1, -8, 4)) return true;
    if (tryStep(Action::WalkDown, player.y < maxY, Facing::Down, 0, 1, 8, -4)) return true;
    if (tryStep(Action::WalkLeft, player.x > 0, Facing::Left, -1, 0, 8, 4)) return true;
    if (tryStep(Action::WalkRight, player.x < maxX, Facing::Right, 1, 0, -8, -4)) return true;
    if (down(Action::Height) && !player.busy) {
        player.targetRaised = 1 - player.targetRaised;
        togglePause();
        return true;
    }
    if (down(Action::AutoJump) && !player.busy) {
        player.autoJump = !player.autoJump;
        togglePause();
        return true;
    }
    if (down(Action::Mine) && !player.busy) {
        startAction(ActionMode::Mining);
        return true;
    }
    if (down(Action::Place)) {
        if (!player.busy) startAction(ActionMode::Placing);
        return true;
    }
    return false;
}

void movementAndActions() {
    // Capped so that a key held for days cannot overflow; any value above
    // the threshold means the same.
    if (anyArrowDown() && player.holdTicks < INT_MAX) player.holdTicks += 1;
    if (!tryRows() && !player.busy) player.holdTicks = 0;
}

// F11 switches rest mode; leaving it lets this same tick's keys act.
bool restToggleAllowsMovement() {
    if (!down(Action::Rest)) return !player.resting;
    togglePause();
    player.resting = !player.resting;
    return !player.resting;
}

// The two look keys; F2 also hides the slot keys for this tick.
bool lookKeysHideSlots() {
    if (down(Action::Look1)) {
        player.spriteRow = (player.spriteRow + 1) % 7;
        togglePause();
    }
    if (!down(Action::Look2)) return false;
    player.spriteGroup = (player.spriteGroup + 1) % 2;
    togglePause();
    return true;
}

// Digit keys in the order they are tried: 8 wins over 7 and so on down to
// 1, then 0 (slot 0 like 1), then 9.
struct SlotKey {
    int key;
    int slot;
};
constexpr SlotKey kSlotKeys[] = {
    {Key1 + 7, 7}, {Key1 + 6, 6}, {Key1 + 5, 5}, {Key1 + 4, 4}, {Key1 + 3, 3},
    {Key1 + 2, 2}, {Key1 + 1, 1}, {Key1, 0},     {Key0, 0},     {Key9, 8},
};

void slotKeys() {
    for (const SlotKey& slotKey : kSlotKeys) {
        if (down(slotKey.key)) {
            player.selectedSlot = slotKey.slot;
            return;
        }
    }
}

void escapeToMenu() {
    gameScreen.gameShown = false;
    gameScreen.menuShown = true;
    gameScreen.menuSelection = MenuNone;
}

bool stepping() { return !player.acting && !player.resting; }

// The figure's sheet and frame at the four marks; a step also brings the
// camera a quarter of a cell closer to the new column.
void animationMark(int actionFrame, int stepFrame) {
    player.animFrame = actionFrame;
    if (!stepping()) return;
    player.animFrame = stepFrame;
    cameraStep();
}

void endAnimation() {
    if (player.acting) {
        finishAction();
    } else {
        // A step finished in rest mode skipped camera moves; the view is put
        // back on the player so it never stays off by part of a cell.
        aimCamera();
    }
    player.busy = false;
    player.acting = false;
    player.animTick = 0;
    player.animFrame = 0;
}

void runAnimation() {
    switch (player.animTick) {
        case kMarkStart:
            player.spriteSheet = stepping() ? SpriteSheet::Walking : SpriteSheet::Acting;
            animationMark(0, 0);
            break;
        case kMarkSecond:
            animationMark(0, 1);
            break;
        case kMarkThird:
            animationMark(1, 2);
            break;
        case kMarkFourth:
            animationMark(1, 3);
            break;
        default:
            break;
    }
    player.animTick += 1;
    if (player.animTick >= kAnimTicks) endAnimation();
}

}  // namespace

void setKeyboard(KeySnapshotFn snapshot, KeyDownFn keyDown) {
    takeSnapshot = snapshot;
    keyDownFn = keyDown;
}

void setPause(PauseFn pause) { pauseFn = pause; }

bool isStepBlocked() {
    if (player.autoJump) return false;
    Column ahead = columnAhead();
    return isSolid(cell(ahead.x, ahead.y, player.level - 1)) ||
           isSolid(cell(ahead.x, ahead.y, player.level - 2));
}

void handlePlayerInput() {
    if (takeSnapshot != nullptr) takeSnapshot();
    if (restToggleAllowsMovement()) movementAndActions();
    bool slotsHidden = lookKeysHideSlots();
    if (!slotsHidden && !player.busy) slotKeys();
    if (down(KeyEscape)) escapeToMenu();
}

void updateAnimations() {
    if (player.busy) runAnimation();
    advanceClocks();
    if (!player.busy) player.spriteSheet = SpriteSheet::Standing;
}

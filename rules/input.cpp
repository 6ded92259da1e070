// A player's intent turned into turns, steps, switches and actions, and the
// 17-tick player animation that follows every step and action.
#include "rules/input.h"

#include <climits>

#include "rules/actions.h"

namespace {

// Ticks inside an animation at which the figure changes; a step also moves
// the camera a quarter of a cell at each of them. A run keeps the walk's
// rhythm, shortened to fit its ticks.
constexpr int kWalkMarks[4] = {0, 2, 7, 12};
constexpr int kRunMarks[4] = {0, 1, 4, 6};
constexpr int kHurtFlashTicks = 75;

// One tick of one player: who it is, what it sees and what it asked for.
struct Turn {
    PlayerState& p;
    Camera& view;
    const PlayerIntent& intent;
    const WorldGrid& grid;
    int switches = 0;
};

bool anyWalk(const PlayerIntent& intent) {
    return intent.walkUp || intent.walkDown || intent.walkLeft || intent.walkRight;
}

// One walk row: it matches when its direction is held, the step stays inside
// the world and nothing runs. A matched row always turns the player; it steps
// only once the direction has been held long enough and nothing stands in
// the way.
bool tryStep(Turn& turn, bool held, bool inside, Facing facing, int dx, int dy, int vx, int vy) {
    PlayerState& p = turn.p;
    if (!held || !inside || p.busy) return false;
    p.facing = facing;
    if (!isStepBlocked(p, turn.grid) && p.holdTicks > kHoldThreshold) {
        p.busy = true;
        p.running = turn.intent.run;
        p.x += dx;
        p.y += dy;
        turn.view.velocityX = vx;
        turn.view.velocityY = vy;
    }
    return true;
}

void startAction(PlayerState& p, ActionMode mode) {
    p.busy = true;
    p.acting = true;
    p.actionMode = mode;
}

// The rows are tried in order and the first that matches ends the search,
// so a turn toward one direction hides every row below it for this tick.
bool tryRows(Turn& turn) {
    PlayerState& p = turn.p;
    const PlayerIntent& in = turn.intent;
    const int maxX = turn.grid.maxX, maxY = turn.grid.maxY;
    if (tryStep(turn, in.walkUp, p.y > 0, Facing::Up, 0, -1, -8, 4)) return true;
    if (tryStep(turn, in.walkDown, p.y < maxY, Facing::Down, 0, 1, 8, -4)) return true;
    if (tryStep(turn, in.walkLeft, p.x > 0, Facing::Left, -1, 0, 8, 4)) return true;
    if (tryStep(turn, in.walkRight, p.x < maxX, Facing::Right, 1, 0, -8, -4)) return true;
    if (in.height && !p.busy) {
        p.targetRaised = 1 - p.targetRaised;
        turn.switches += 1;
        return true;
    }
    if (in.autoJump && !p.busy) {
        p.autoJump = !p.autoJump;
        turn.switches += 1;
        return true;
    }
    if (in.mine && !p.busy) {
        startAction(p, ActionMode::Mining);
        return true;
    }
    if (in.place) {
        if (!p.busy) startAction(p, ActionMode::Placing);
        return true;
    }
    return false;
}

void movementAndActions(Turn& turn) {
    PlayerState& p = turn.p;
    // Capped so that a key held for days cannot overflow; any value above
    // the threshold means the same.
    if (anyWalk(turn.intent) && p.holdTicks < INT_MAX) p.holdTicks += 1;
    if (!tryRows(turn) && !p.busy) p.holdTicks = 0;
}

// Rest mode switches; leaving it lets this same tick's intent act.
bool restSwitchAllowsMovement(Turn& turn) {
    PlayerState& p = turn.p;
    if (!turn.intent.rest) return !p.resting;
    turn.switches += 1;
    p.resting = !p.resting;
    return !p.resting;
}

// The two looks; the second also hides the slot choice for this tick.
bool looksHideSlots(Turn& turn) {
    PlayerState& p = turn.p;
    if (turn.intent.look1) {
        p.spriteRow = (p.spriteRow + 1) % 7;
        turn.switches += 1;
    }
    if (!turn.intent.look2) return false;
    p.spriteGroup = (p.spriteGroup + 1) % 2;
    turn.switches += 1;
    return true;
}

bool stepping(const PlayerState& p) { return !p.acting && !p.resting; }

// The figure's sheet and frame at the four marks; a step also brings the
// camera a quarter of a cell closer to the new column.
void animationMark(PlayerState& p, Camera& view, int actionFrame, int stepFrame) {
    p.animFrame = actionFrame;
    if (!stepping(p)) return;
    p.animFrame = stepFrame;
    cameraStep(view);
}

void endAnimation(PlayerState& p, Camera& view, WorldGrid& grid) {
    if (p.acting) {
        finishAction(p, grid);
    } else {
        // A step finished in rest mode skipped camera moves; the view is put
        // back on the player so it never stays off by part of a cell.
        aimCamera(view, p);
    }
    p.busy = false;
    p.acting = false;
    p.running = false;
    p.animTick = 0;
    p.animFrame = 0;
}

void runAnimation(PlayerState& p, Camera& view, WorldGrid& grid) {
    // An action's frames at the four marks; a step's are the marks' own.
    constexpr int kActionFrames[4] = {0, 0, 1, 1};
    const int mark = animationMarkAt(p);
    if (mark == 0) p.spriteSheet = stepping(p) ? SpriteSheet::Walking : SpriteSheet::Acting;
    if (mark >= 0) animationMark(p, view, kActionFrames[mark], mark);
    p.animTick += 1;
    if (p.animTick >= animationTicks(p)) endAnimation(p, view, grid);
}

// Red for ticks 15..29 and 45..59 of the 75-tick flash.
void advanceHurtFlash(PlayerState& p) {
    if (!isHurt(p.hurtFlash)) return;
    p.hurtFlashTick += 1;
    switch (p.hurtFlashTick) {
        case 15:
        case 45:
            p.hurtFlash = HurtFlash::Red;
            break;
        case 30:
        case 60:
            p.hurtFlash = HurtFlash::Plain;
            break;
        default:
            break;
    }
    if (p.hurtFlashTick >= kHurtFlashTicks) {
        p.hurtFlash = HurtFlash::Off;
        p.hurtFlashTick = 0;
    }
}

}  // namespace

bool isStepBlocked(const PlayerState& p, const WorldGrid& grid) {
    if (p.autoJump) return false;
    Column ahead = columnAhead(p);
    return isSolid(cellOf(grid, ahead.x, ahead.y, p.level - 1)) ||
           isSolid(cellOf(grid, ahead.x, ahead.y, p.level - 2));
}

int animationTicks(const PlayerState& p) { return p.running ? kRunTicks : kAnimTicks; }

int animationMarkAt(const PlayerState& p) {
    const int* marks = p.running ? kRunMarks : kWalkMarks;
    for (int mark = 0; mark < 4; ++mark)
        if (p.animTick == marks[mark]) return mark;
    return -1;
}

int handlePlayerInput(PlayerState& p, Camera& view, const PlayerIntent& intent,
                      const WorldGrid& grid) {
    Turn turn{p, view, intent, grid};
    if (restSwitchAllowsMovement(turn)) movementAndActions(turn);
    const bool slotsHidden = looksHideSlots(turn);
    if (!slotsHidden && !p.busy && intent.slot >= 0 && intent.slot < kHotbarSlots)
        p.selectedSlot = intent.slot;
    return turn.switches;
}

void updateAnimations(PlayerState& p, Camera& view, WorldGrid& grid) {
    if (p.busy) runAnimation(p, view, grid);
    advanceHurtFlash(p);
    if (!p.busy) p.spriteSheet = SpriteSheet::Standing;
}

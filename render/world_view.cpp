// The rules of the world picture: which cells a pass visits, how day, night,
// roofs and lava shade a block, where the crack goes and how the sprite is cut
// from its sheet.
#include "render/world_view.h"

#include <algorithm>

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/world_renderer.h"

namespace {

constexpr int kLevelsBelowPlayer = 4;
constexpr int kRoofReach = 11;     // a roof further up lets the daylight in
constexpr int kWindowBefore = 10;  // cells visited before the player's row and column
constexpr int kWindowAfter = 25;   // and after it, both growing by one per level of depth
static_assert(kWindowBefore + 1 + kWindowAfter == kWindowSpan, "the window's span");

constexpr Tint grey(float level) { return Tint{level, level, level, 1}; }
constexpr Tint kShadeTints[kShadeCount] = {
    kNoTint, grey(0.7f), grey(0.5f), grey(0.4f), grey(0.3f), grey(0.2f), Tint{1, 1, 1, 0.6f},
};

// The player sheets by number (0 unused): a position offset and how many
// frames a sheet holds for each facing and look.
struct SheetLayout {
    int offsetX, offsetY, framesPerFacing;
};
constexpr SheetLayout kSheets[5] = {{0, 0, 1}, {0, 0, 1}, {-4, -1, 4}, {0, 0, 1}, {0, 0, 1}};
constexpr int kRestingSheet = 3;
constexpr int kSheetRows = 7;
constexpr int kActingColumns = 8;
constexpr int kSpriteX = 311;
constexpr int kSpriteY = 106;
constexpr Tint kGhost{1, 1, 1, 0.3f};
constexpr Tint kHurt{1.0f, 0.1f, 0.1f, 0.5f};

bool isNight() { return worldClock.nightLevel > 0; }

// The darker night levels, compared exactly; other values leave the colour.
bool darkNightShade(Shade* shade) {
    static constexpr struct {
        double nightLevel;
        Shade shade;
    } kShades[] = {{2, ShadeGrey50}, {3, ShadeGrey40}, {4, ShadeGrey30}, {5, ShadeGrey20}};
    for (const auto& entry : kShades) {
        if (worldClock.nightLevel == entry.nightLevel) {
            *shade = entry.shade;
            return true;
        }
    }
    return false;
}

// The shade of a block that no lava lights: night darkness, or by day (below
// level 1) the shade of a roof. Night level 1 itself leaves blocks bright.
Shade shadeByNightLevel() {
    Shade shade;
    if (darkNightShade(&shade)) return shade;
    return worldClock.nightLevel < 1 ? ShadeGrey70 : ShadeNone;
}

bool isRoofed(int x, int y, int level) {
    for (int above = level - 1; above >= level - kRoofReach; --above) {
        if (isSolid(cell(x, y, above))) return true;
    }
    return false;
}

bool lavaAtDistance(int x, int y, int level, int d) {
    return cell(x, y - d, level) == Lava || cell(x, y + d, level) == Lava ||
           cell(x - d, y, level) == Lava || cell(x + d, y, level) == Lava;
}

// Animated tiles: water glistens by day, lava and what touches it glow at night.
Shade animatedTileShade(int x, int y, int level, BlockId id) {
    if (!isNight() && !isRoofed(x, y, level)) return id == Water ? ShadeWaterByDay : ShadeNone;
    if (isNight() && (id == Lava || lavaAtDistance(x, y, level, 1))) return ShadeNone;
    return shadeByNightLevel();
}

// Static tiles: lava lights its neighbours at night, roofs shade by day.
Shade staticTileShade(int x, int y, int level) {
    if (isNight()) {
        if (lavaAtDistance(x, y, level, 1)) return ShadeGrey50;
        if (lavaAtDistance(x, y, level, 2)) return ShadeGrey30;
        return shadeByNightLevel();
    }
    return isRoofed(x, y, level) ? ShadeGrey70 : ShadeNone;
}

// Left edge of the sheet column to draw. The standing and rest sheets hold
// one frame per facing: rest mode switched on or off halfway through a step
// leaves the step's frame number behind, which must not reach past the sheet.
int spriteSourceX(int sheetWidth, int frameWidth, int framesPerFacing) {
    const PlayerState& p = player;
    bool facesAway = p.facing == 0 || p.facing == 2;
    if (p.acting) {
        int group = (sheetWidth * p.spriteGroup) / 2;
        return facesAway ? group + sheetWidth / 4 + frameWidth * p.animFrame
                         : frameWidth * p.animFrame + group;
    }
    const int frame = p.animFrame >= 0 && p.animFrame < framesPerFacing ? p.animFrame : 0;
    int base = facesAway ? framesPerFacing * frameWidth : 0;
    return base + frameWidth * (2 * framesPerFacing * p.spriteGroup + frame);
}

// Small nudges that keep the figure's feet on the same spot in every frame.
void adjustSpritePosition(int* dx, int* dy) {
    const PlayerState& p = player;
    if (p.acting) {
        if (p.facing == 1 || p.facing == 2) {
            *dx -= 2;
            if (p.animFrame == 0) *dx -= 2;
        } else if (p.facing == 0 || p.facing == 3) {
            if (p.animFrame == 1) *dx -= 4;
            if (p.animFrame == 0) *dx -= 1;
        }
    }
    if (!p.busy && p.spriteGroup == 1) {
        if (p.facing == 1) *dx += 1;
        if (p.facing == 3) *dx -= 1;
    }
    if (p.resting) {
        *dx -= 10;
        *dy += 20;
    }
}

Tint spriteTint(bool ghost) {
    if (ghost) return kGhost;
    if (player.litByLava) return grey(0.7f);
    Shade shade;
    if (darkNightShade(&shade)) return kShadeTints[shade];
    return player.hurtFlash == 2 ? kHurt : kNoTint;
}

}  // namespace

int deepestVisitedLevel() { return std::min(player.level + kLevelsBelowPlayer, kDeepestDrawn); }

int windowFirst(int centre, int level) { return centre - kWindowBefore - level; }

int windowLast(int centre, int level) { return centre + kWindowAfter + level; }

bool insideBounds(int x, int y) { return x >= 0 && x <= world.maxX && y >= 0 && y <= world.maxY; }

Tint shadeTint(Shade shade) { return kShadeTints[shade]; }

Shade blockShade(int x, int y, int level, BlockId id, bool animated) {
    return animated ? animatedTileShade(x, y, level, id) : staticTileShade(x, y, level);
}

bool crackedCell(int* x, int* y, int* level) {
    static constexpr int kStepX[4] = {0, 0, -1, 1};
    static constexpr int kStepY[4] = {-1, 1, 0, 0};
    const PlayerState& p = player;
    if (p.actionMode != 0 || !p.acting || p.facing < 0 || p.facing > 3) return false;
    *x = p.x + kStepX[p.facing];
    *y = p.y + kStepY[p.facing];
    *level = p.level - p.targetRaised;
    return true;
}

bool crackRegion(int pictureWidth, int pictureHeight, int* sx, int* sw, int* sh) {
    if (player.strikes < 0 || player.strikes >= kStripFrames) return false;
    *sw = pictureWidth / kStripFrames;
    *sx = *sw * player.strikes;
    *sh = pictureHeight;
    return true;
}

bool passDrawsSprite() {
    const int visited = player.level - 1;
    return visited >= 0 && visited <= deepestVisitedLevel();
}

bool takeSpriteDraw(bool ghost, SpriteDraw* draw) {
    if (player.level >= 0 && player.level <= kDeepestDrawn) levelScroll = 32 * player.level;
    if (player.resting) player.spriteSheet = kRestingSheet;
    const int sheet = player.spriteSheet;
    if (sheet < 1 || sheet > 4 || assets.playerBitmap[sheet] == nullptr) return false;
    ALLEGRO_BITMAP* bitmap = assets.playerBitmap[sheet];
    const SheetLayout& layout = kSheets[sheet];
    const int w = al_get_bitmap_width(bitmap);
    const int h = al_get_bitmap_height(bitmap);
    draw->bitmap = bitmap;
    draw->sh = h / kSheetRows;
    draw->sw = player.acting ? w / kActingColumns : w / (4 * layout.framesPerFacing);
    draw->sx = spriteSourceX(w, draw->sw, layout.framesPerFacing);
    draw->sy = draw->sh * player.spriteRow;
    draw->flags = (player.facing == 0 || player.facing == 3) ? ALLEGRO_FLIP_HORIZONTAL : 0;
    draw->dx = kSpriteX + layout.offsetX;
    draw->dy = kSpriteY + layout.offsetY;
    adjustSpritePosition(&draw->dx, &draw->dy);
    draw->tint = spriteTint(ghost);
    return true;
}

// The rules of the world picture: which cells a pass visits, how day, night,
// roofs and lava shade a block, where the crack goes and how the sprite is cut
// from its sheet.
#include "render/world_view.h"

#include <algorithm>

#include "game/settings.h"
#include "render/assets.h"
#include "render/tile_shapes.h"
#include "rules/player_state.h"
#include "rules/projection.h"
#include "rules/world_tick.h"

namespace {

constexpr int kLevelsBelowPlayer = 4;
constexpr int kCutRadius = 6;      // columns around the figure the cut-away lifts off
constexpr int kRoofReach = 11;     // a roof further up lets the daylight in
constexpr int kWindowBefore = 10;  // cells visited before the player's row and column
constexpr int kWindowAfter = 25;   // and after it, both growing by one per level of depth

int windowFirst(int centre, int level) { return centre - kWindowBefore - level; }
int windowLast(int centre, int level) { return centre + kWindowAfter + level; }

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int ceilDiv(int a, int b) { return -floorDiv(-a, b); }

// The cells within reach, in the picture's own axes: u = dx - dy across the
// picture and v = dx + dy down it, relative to the player's column.
struct Diagonals {
    int uMin, uMax, vMin, vMax;
};

// A tile kFrameSize square at (sx, sy) meets the reach when sx + size >
// left, sx < right, and likewise down the picture; the camera at rest puts
// the player's column at offset 0, a cell's level scroll lifts it.
Diagonals reachAt(const PassReach& r, int level) {
    const int left = -kPassReachX, right = kScreenWidth + kPassReachX;
    const int top = -kPassReachY, bottom = kScreenHeight + kPassReachY;
    const int x0 = kProjectionOriginX, y0 = kProjectionOriginY + kLevelDrop * level;
    return Diagonals{
        floorDiv(left - kFrameSize - x0, kTileHalfWidth) + 1,
        ceilDiv(right - x0, kTileHalfWidth) - 1,
        floorDiv(top - kFrameSize - y0 + r.scrollLo, kTileHalfHeight) + 1,
        ceilDiv(bottom - y0 + r.scrollHi, kTileHalfHeight) - 1,
    };
}

constexpr Tint grey(float level) { return Tint{level, level, level, 1}; }
// The classic night greys every block towards black; moonlight dims less and
// cools the colours, so that stone, brick and grass still tell apart, and lava
// warms what it lights.
constexpr Tint kShadeTints[kShadeCount] = {
    kNoTint,
    grey(0.7f),
    grey(0.5f),
    grey(0.4f),
    grey(0.3f),
    grey(0.2f),
    Tint{1, 1, 1, 0.6f},
    Tint{0.6f, 0.62f, 0.74f, 1},
    Tint{0.5f, 0.53f, 0.68f, 1},
    Tint{0.42f, 0.45f, 0.62f, 1},
    Tint{0.34f, 0.38f, 0.56f, 1},
    Tint{0.86f, 0.7f, 0.54f, 1},
    Tint{0.6f, 0.5f, 0.44f, 1},
};

// The player sheets by number (0 unused): a position offset and how many
// frames a sheet holds for each facing and look.
struct SheetLayout {
    int offsetX, offsetY, framesPerFacing;
};
constexpr SheetLayout kSheets[5] = {{0, 0, 1}, {0, 0, 1}, {-4, -1, 4}, {0, 0, 1}, {0, 0, 1}};
constexpr int kSheetRows = 7;
constexpr int kActingColumns = 8;
constexpr int kSpriteX = 311;
constexpr int kSpriteY = 106;
constexpr Tint kGhost{1, 1, 1, 0.3f};
constexpr Tint kHurt{1.0f, 0.1f, 0.1f, 0.5f};
// In the dark the figure stays light enough to find; classic shades it like the blocks.
constexpr Tint kNightFigure = grey(0.85f);

bool isNight(const WorldClock& clock) { return clock.nightLevel > 0; }

// The darker night levels, compared exactly; other values leave the colour.
bool darkNightShade(const WorldClock& clock, Shade* shade) {
    static constexpr struct {
        double nightLevel;
        Shade classic, moonlit;
    } kShades[] = {{2, ShadeGrey50, ShadeMoon2},
                   {3, ShadeGrey40, ShadeMoon3},
                   {4, ShadeGrey30, ShadeMoon4},
                   {5, ShadeGrey20, ShadeMoon5}};
    for (const auto& entry : kShades) {
        if (clock.nightLevel == entry.nightLevel) {
            *shade = settings.classic ? entry.classic : entry.moonlit;
            return true;
        }
    }
    return false;
}

// The shade of a block that no lava lights: night darkness, or by day (below
// level 1) the shade of a roof. Night level 1 itself leaves blocks bright.
Shade shadeByNightLevel(const WorldClock& clock) {
    Shade shade;
    if (darkNightShade(clock, &shade)) return shade;
    return clock.nightLevel < 1 ? ShadeGrey70 : ShadeNone;
}

// Blocks lifted off by the cut-away let the daylight in.
bool isRoofed(const GameView& g, const ViewCut& cut, int x, int y, int level) {
    for (int above = level - 1; above >= level - kRoofReach; --above) {
        if (isSolid(g.cell(x, y, above)) && !cut.isCut(x, y, above)) return true;
    }
    return false;
}

bool lavaAtDistance(const GameView& g, int x, int y, int level, int d) {
    return liquidOf(g.cell(x, y - d, level)) == Lava || liquidOf(g.cell(x, y + d, level)) == Lava ||
           liquidOf(g.cell(x - d, y, level)) == Lava || liquidOf(g.cell(x + d, y, level)) == Lava;
}

// Animated tiles: water glistens by day, lava and what touches it glow at night.
Shade animatedTileShade(const GameView& g, const ViewCut& cut, int x, int y, int level,
                        BlockId id) {
    const bool night = isNight(g.clock);
    if (!night && !isRoofed(g, cut, x, y, level)) return id == Water ? ShadeWaterByDay : ShadeNone;
    if (night && (id == Lava || lavaAtDistance(g, x, y, level, 1))) return ShadeNone;
    return shadeByNightLevel(g.clock);
}

// Static tiles: lava lights its neighbours at night, roofs shade by day, and
// so does the cut-away the faces it cuts, which then read as cut, not as
// ground open to the sky.
Shade staticTileShade(const GameView& g, const ViewCut& cut, int x, int y, int level) {
    if (isNight(g.clock)) {
        if (lavaAtDistance(g, x, y, level, 1))
            return settings.classic ? ShadeGrey50 : ShadeLavaNear;
        if (lavaAtDistance(g, x, y, level, 2)) return settings.classic ? ShadeGrey30 : ShadeLavaFar;
        return shadeByNightLevel(g.clock);
    }
    const bool cutFace = cut.isCut(x, y, level - 1) && isSolid(g.cell(x, y, level - 1));
    return cutFace || isRoofed(g, cut, x, y, level) ? ShadeGrey70 : ShadeNone;
}

// The figures for facings Up and Left stand in the second half of a group.
bool facesAway(Facing facing) { return facing == Facing::Up || facing == Facing::Left; }

// Left edge of the sheet column to draw. The standing and rest sheets hold
// one frame per facing: rest mode switched on or off halfway through a step
// leaves the step's frame number behind, which must not reach past the sheet.
int spriteSourceX(const PlayerState& p, int sheetWidth, int frameWidth, int framesPerFacing) {
    const bool away = facesAway(p.facing);
    if (p.acting) {
        int group = (sheetWidth * p.spriteGroup) / 2;
        return away ? group + sheetWidth / 4 + frameWidth * p.animFrame
                    : frameWidth * p.animFrame + group;
    }
    const int frame = p.animFrame >= 0 && p.animFrame < framesPerFacing ? p.animFrame : 0;
    int base = away ? framesPerFacing * frameWidth : 0;
    return base + frameWidth * (2 * framesPerFacing * p.spriteGroup + frame);
}

// Small nudges that keep the figure's feet on the same spot in every frame.
void adjustSpritePosition(const PlayerState& p, int* dx, int* dy) {
    if (p.acting) {
        if (p.facing == Facing::Down || p.facing == Facing::Left) {
            *dx -= 2;
            if (p.animFrame == 0) *dx -= 2;
        } else if (p.facing == Facing::Up || p.facing == Facing::Right) {
            if (p.animFrame == 1) *dx -= 4;
            if (p.animFrame == 0) *dx -= 1;
        }
    }
    if (!p.busy && p.spriteGroup == 1) {
        if (p.facing == Facing::Down) *dx += 1;
        if (p.facing == Facing::Right) *dx -= 1;
    }
    if (p.resting) {
        *dx -= 10;
        *dy += 20;
    }
}

Tint spriteTint(const GameView& g, bool ghost) {
    if (ghost) return kGhost;
    if (g.player.litByLava) return grey(0.7f);
    Shade shade;
    if (darkNightShade(g.clock, &shade))
        return settings.classic ? kShadeTints[shade] : kNightFigure;
    return g.player.hurtFlash == HurtFlash::Red ? kHurt : kNoTint;
}

}  // namespace

// Classic cuts the world off four levels below the player; otherwise the
// ground stays in view under a tower, down to the band's floor.
int deepestVisitedLevel(const PlayerState& p) {
    const int classicDeepest = std::min(p.level + kLevelsBelowPlayer, kBandEdge);
    if (settings.classic || classicDeepest < 0) return classicDeepest;
    return kBandEdge;
}

PassReach passReach(const PlayerState& p, int scrollBefore, int scrollAfter) {
    PassReach r;
    r.x = p.x;
    r.y = p.y;
    r.scrollLo = std::min(scrollBefore, scrollAfter);
    r.scrollHi = std::max(scrollBefore, scrollAfter);
    r.classic = settings.classic;
    return r;
}

CellSpan visitedRows(const PassReach& r, int level) {
    const Diagonals d = reachAt(r, level);
    CellSpan rows{r.y + ceilDiv(d.vMin - d.uMax, 2), r.y + floorDiv(d.vMax - d.uMin, 2)};
    if (r.classic) {
        rows.first = std::max(rows.first, windowFirst(r.y, level));
        rows.last = std::min(rows.last, windowLast(r.y, level));
    }
    return rows;
}

CellSpan visitedColumns(const PassReach& r, int level, int y) {
    const Diagonals d = reachAt(r, level);
    const int dy = y - r.y;
    CellSpan columns{r.x + std::max(d.uMin + dy, d.vMin - dy),
                     r.x + std::min(d.uMax + dy, d.vMax - dy)};
    if (r.classic) {
        columns.first = std::max(columns.first, windowFirst(r.x, level));
        columns.last = std::min(columns.last, windowLast(r.x, level));
    }
    return columns;
}

Tint shadeTint(Shade shade) { return kShadeTints[shade]; }

Shade blockShade(const GameView& game, const ViewCut& cut, int x, int y, int level, BlockId id,
                 bool animated) {
    return animated ? animatedTileShade(game, cut, x, y, level, id)
                    : staticTileShade(game, cut, x, y, level);
}

Tint fadedTint(Tint tint) {
    tint.a *= kFadedOpacity;
    return tint;
}

namespace {

// A cell k levels above the figure's feet lies on the line of sight through
// the cell k columns back along x and y at the feet's level: (a, b) from the
// figure's column.
struct Sight {
    int a, b;
    Sight(const ViewCut& cut, int x, int y, int level)
        : a(x - (cut.feet - level) - cut.x), b(y - (cut.feet - level) - cut.y) {}
};

bool isTree(BlockId id) { return id == Log || id == Leaves; }

// The columns whose cells, along the line of sight, are drawn over the
// figure: about a block and a half around it on the screen, from its feet
// (a + b = 2) up past its head (a + b = -4), one column to either side.
bool overFigure(int a, int b) { return a - b >= -1 && a - b <= 1 && a + b >= -4 && a + b <= 2; }

}  // namespace

bool ViewCut::isCut(int cx, int cy, int level) const {
    if (!covered || level > feet - 2) return false;
    const Sight s(*this, cx, cy, level);
    return s.a * s.a + s.b * s.b <= kCutRadius * kCutRadius;
}

bool ViewCut::isFaded(int cx, int cy, int level, BlockId id) const {
    if (!seeThrough || level > feet || (level < feet - 1 && !isTree(id))) return false;
    // Only what the painter's order draws after the figure hides it.
    if (level == feet && (cy < y || (cy == y && cx <= x))) return false;
    const Sight s(*this, cx, cy, level);
    return overFigure(s.a, s.b);
}

namespace {
bool cutting = true;
}  // namespace

void setViewCut(bool on) { cutting = on; }

bool viewCutOn() { return cutting; }

// Covered: ground over the head in the figure's column, or drawn over the
// figure from above its head.
ViewCut viewCut(const GameView& game) {
    ViewCut cut;
    const PlayerState& p = game.player;
    if (settings.classic || !cutting || !passDrawsSprite(p)) return cut;
    cut.x = p.x;
    cut.y = p.y;
    cut.feet = p.level - 1;
    cut.seeThrough = true;
    auto ground = [&](int x, int y, int level) {
        const BlockId id = game.cell(x, y, level);
        return insideBounds(game.world, x, y) && isSolid(id) && !isTree(id);
    };
    for (int level = cut.feet - 2; level >= 0 && !cut.covered; --level) {
        cut.covered = ground(p.x, p.y, level);
        const int k = cut.feet - level;
        for (int a = -1; a <= 1 && !cut.covered; ++a)
            for (int b = -1; b <= 1 && !cut.covered; ++b)
                cut.covered = overFigure(a, b) && ground(p.x + k + a, p.y + k + b, level);
    }
    return cut;
}

bool crackedCell(const PlayerState& p, int* x, int* y, int* level) {
    const auto facing = static_cast<std::int32_t>(p.facing);
    if (p.actionMode != ActionMode::Mining || !p.acting || facing < 0 || facing > 3) return false;
    const Column ahead = columnAhead(p);
    *x = ahead.x;
    *y = ahead.y;
    *level = p.level - p.targetRaised;
    return true;
}

bool crackRegion(const PlayerState& p, int pictureWidth, int pictureHeight, int* sx, int* sw,
                 int* sh) {
    if (p.strikes < 0 || p.strikes >= kStripFrames) return false;
    *sw = pictureWidth / kStripFrames;
    *sx = *sw * p.strikes;
    *sh = pictureHeight;
    return true;
}

// On the top level the body stands above every level drawn: classic leaves
// the figure to its ghost there, otherwise it comes last in the pass.
bool passDrawsSprite(const PlayerState& p) {
    const int visited = p.level - 1;
    if (visited == -1 && !settings.classic) return true;
    return visited >= 0 && visited <= deepestVisitedLevel(p);
}

int scrollAfterSprite(const GameView& game, const GameFrame& frame) {
    return passDrawsSprite(game.player) ? game.levelScroll : frame.scrollBefore;
}

bool spriteDraw(const GameView& game, bool ghost, SpriteDraw* draw) {
    const PlayerState& p = game.player;
    const int sheet = static_cast<int>(p.spriteSheet);
    if (sheet < 1 || sheet > 4 || assets.playerBitmap[sheet] == nullptr) return false;
    ALLEGRO_BITMAP* bitmap = assets.playerBitmap[sheet];
    const SheetLayout& layout = kSheets[sheet];
    const int w = al_get_bitmap_width(bitmap);
    const int h = al_get_bitmap_height(bitmap);
    draw->bitmap = bitmap;
    draw->sh = h / kSheetRows;
    draw->sw = p.acting ? w / kActingColumns : w / (4 * layout.framesPerFacing);
    draw->sx = spriteSourceX(p, w, draw->sw, layout.framesPerFacing);
    draw->sy = draw->sh * p.spriteRow;
    const bool mirrored = p.facing == Facing::Up || p.facing == Facing::Right;
    draw->flags = mirrored ? ALLEGRO_FLIP_HORIZONTAL : 0;
    draw->dx = kSpriteX + layout.offsetX;
    draw->dy = kSpriteY + layout.offsetY;
    adjustSpritePosition(p, &draw->dx, &draw->dy);
    draw->tint = spriteTint(game, ghost);
    return true;
}

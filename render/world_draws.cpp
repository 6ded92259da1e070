// Lists the world pass. First every visited cell is classified (drawn or not,
// its shade, whether it is an opaque cube that hides what lies behind it);
// then the cells are listed in the painter's order, each drawn only as far
// as the covers drawn after it leave it visible. A pixel of a block is left
// out only where an opaque cube drawn later in the same pass paints it, so
// the picture is the same as drawing everything.
#include "render/world_draws.h"

#include "render/other_figures.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "render/render_pictures.h"
#include "render/target_outline.h"
#include "render/world_view.h"
#include "rules/projection.h"
#include "world/world_grid.h"

namespace {

constexpr int kLevels = kBandEdge + 1;

constexpr int maxDraws() {
    int cells = 0;
    for (int level = 0; level <= kBandEdge; ++level)
        cells += (kWindowSpan + 2 * level) * (kWindowSpan + 2 * level);
    return cells + 2;  // and the crack and the target outline
}

// Classification of a visited cell.
constexpr std::uint8_t kVisited = 0x80;  // holds a value with a tile
constexpr std::uint8_t kCovers = 0x40;   // an opaque cube of the common shape this frame
constexpr std::uint8_t kStandard = 0x20;
constexpr std::uint8_t kShadeBits = 0x0F;
static_assert(kShadeCount <= kShadeBits + 1, "every shade fits its bits");

WorldDraw draws[maxDraws()];
std::uint8_t cells[kLevels][kWidestWindow][kWidestWindow];
ALLEGRO_COLOR shadeColours[kShadeCount];

// The columns and rows a pass can visit, inside the bounds.
struct Box {
    int x0, x1, y0, y1;
};

Box visitedBox(const GameView& g, int deepest) {
    const PlayerState& p = g.player;
    return Box{
        std::max(0, windowFirst(p.x, deepest)), std::min(g.world.maxX, windowLast(p.x, deepest)),
        std::max(0, windowFirst(p.y, deepest)), std::min(g.world.maxY, windowLast(p.y, deepest))};
}

struct Frame {
    ALLEGRO_BITMAP* bitmap = nullptr;
    int sx = 0, sw = 0, sh = 0;
    bool standard = false, animated = false;
};

Frame tileFrame(const GameView& g, BlockId id) {
    const PictureCopy& tile = renderPictures.tile[id];
    Frame f;
    if (tile.original == nullptr) return f;
    f.sh = tile.h;
    f.sw = tile.w;
    f.animated = isAnimatedWidth(tile.w);
    int frame = 0;
    if (f.animated) {
        frame = g.clock.blockAnimFrame;
        f.sw = tile.w / kStripFrames;
        f.sx = f.sw * frame;
    }
    f.bitmap = atlasPicture(tile, f.sx, 0, f.sw, f.sh);
    f.standard = frame >= 0 && frame < kStripFrames && renderPictures.standardFrame[id][frame];
    return f;
}

std::uint8_t classify(const GameView& g, int x, int y, int level) {
    const BlockId id = g.cell(x, y, level);
    if (!hasTile(id)) return 0;
    const Frame f = tileFrame(g, id);
    const Shade shade = blockShade(g, x, y, level, id, f.animated);
    std::uint8_t flags = kVisited | shade;
    if (f.standard) flags |= kStandard;
    if (f.standard && shadeTint(shade).a == 1.0f) flags |= kCovers;
    return flags;
}

void classifyPass(const GameView& g, int deepest, const Box& box) {
    const PlayerState& p = g.player;
    for (int level = 0; level <= deepest; ++level) {
        for (int y = box.y0; y <= box.y1; ++y) {
            std::uint8_t* row = cells[level][y - box.y0];
            std::memset(row, 0, box.x1 - box.x0 + 1);
            if (y < windowFirst(p.y, level) || y > windowLast(p.y, level)) continue;
            const int x0 = std::max(box.x0, windowFirst(p.x, level));
            const int x1 = std::min(box.x1, windowLast(p.x, level));
            for (int x = x0; x <= x1; ++x) row[x - box.x0] = classify(g, x, y, level);
        }
    }
}

// Pictures whose pixels are all blank or opaque, in a shade without fading.
bool replaces(Shade shade) { return renderPictures.twoLevelAlpha && shadeTint(shade).a == 1.0f; }

// Which of the later neighbours that can hide this cell are opaque cubes.
int coverSet(int x, int y, int level, const Box& box) {
    int set = 0;
    for (int i = 0; i < kCoverNeighbours; ++i) {
        const CoverNeighbour& n = kCoverNeighbourOffsets[i];
        const int nx = x + n.dx, ny = y + n.dy, nl = level + n.dLevel;
        if (nl < 0 || nx > box.x1 || ny > box.y1) continue;
        if (cells[nl][ny - box.y0][nx - box.x0] & kCovers) set |= 1 << i;
    }
    return set;
}

class PassLister {
public:
    PassLister(const GameView& game, int scrollBefore, int scrollAfter)
        : game_(game),
          player_(game.player),
          scrollBefore_(scrollBefore),
          scrollAfter_(scrollAfter),
          spriteInPass_(passDrawsSprite(player_)),
          spriteLevel_(spriteInPass_ ? player_.level - 1 : -2),
          // Before and after the sprite the scroll may differ; a block is
          // then only hidden by covers drawn with the same scroll.
          mayHide_(scrollBefore == scrollAfter || !spriteInPass_) {
        hasCrack_ = crackedCell(player_, &crackX_, &crackY_, &crackLevel_);
        hasTarget_ = targetCell(game, &target_);
    }

    PassDraws list() {
        const int deepest = deepestVisitedLevel(player_);
        if (deepest >= 0) {
            box_ = visitedBox(game_, deepest);
            if (box_.x0 <= box_.x1 && box_.y0 <= box_.y1) {
                classifyPass(game_, deepest, box_);
                for (int level = deepest; level >= 0; --level) listLevel(level);
            }
        }
        if (spriteInPass_ && !spriteSeen_) result_.spriteIndex = count_;
        result_.draws = draws;
        result_.count = count_;
        return result_;
    }

private:
    void listLevel(int level) {
        const PlayerState& p = player_;
        for (int y = std::max(box_.y0, windowFirst(p.y, level));
             y <= std::min(box_.y1, windowLast(p.y, level)); ++y) {
            for (int x = std::max(box_.x0, windowFirst(p.x, level));
                 x <= std::min(box_.x1, windowLast(p.x, level)); ++x) {
                if (level == spriteLevel_ && !spriteSeen_ && (y > p.y || (y == p.y && x > p.x))) {
                    spriteSeen_ = true;
                    result_.spriteIndex = count_;
                }
                const std::uint8_t flags = cells[level][y - box_.y0][x - box_.x0];
                if (flags & kVisited) listCell(x, y, level, flags);
                if (hasTarget_ && x == target_.x && y == target_.y && level == target_.level)
                    listOutline(x, y, level);
            }
        }
        if (level == spriteLevel_ && !spriteSeen_) {
            spriteSeen_ = true;
            result_.spriteIndex = count_;
        }
    }

    void listCell(int x, int y, int level, std::uint8_t flags) {
        const int sx = projectX(x, y);
        const int sy = projectY(x, y, level) - (spriteSeen_ ? scrollAfter_ : scrollBefore_);
        const bool cracked = hasCrack_ && x == crackX_ && y == crackY_ && level == crackLevel_;
        const Frame f = tileFrame(game_, game_.cell(x, y, level));
        if (f.bitmap != nullptr) {
            const Shade shade = static_cast<Shade>(flags & kShadeBits);
            PixelRect part{0, 0, f.sw, f.sh};
            if ((flags & kStandard) && mayHide_)
                part = renderPictures.visibleParts[coverSet(x, y, level, box_)];
            if (!part.isEmpty()) {
                draws[count_++] = WorldDraw{f.bitmap,
                                            shadeColours[shade],
                                            f.sx + part.x,
                                            part.y,
                                            part.w,
                                            part.h,
                                            sx + part.x,
                                            sy + part.y,
                                            passOrder(x, y, level),
                                            replaces(shade),
                                            true};
            }
            result_.translucent |= shade == ShadeWaterByDay;
            result_.animated |= f.animated;
        }
        if (cracked) listCrack(sx, sy, passOrder(x, y, level));
    }

    void listCrack(int sx, int sy, int order) {
        const PictureCopy& crack = renderPictures.crack;
        int cx = 0, cw = 0, ch = 0;
        if (crack.original == nullptr || !crackRegion(player_, crack.w, crack.h, &cx, &cw, &ch))
            return;
        draws[count_++] = WorldDraw{atlasPicture(crack, cx, 0, cw, ch),
                                    shadeColours[ShadeNone],
                                    cx,
                                    0,
                                    cw,
                                    ch,
                                    sx,
                                    sy,
                                    order,
                                    replaces(ShadeNone)};
    }

    void listOutline(int x, int y, int level) {
        ALLEGRO_BITMAP* outline = outlinePicture(target_.raised);
        if (outline == nullptr) return;
        const int sy = projectY(x, y, level) - (spriteSeen_ ? scrollAfter_ : scrollBefore_);
        draws[count_++] = WorldDraw{
            outline, shadeColours[ShadeNone], 0,   0, kFrameSize, kFrameSize, projectX(x, y),
            sy,      passOrder(x, y, level),  true};  // drawn opaque or not at all
    }

    const GameView& game_;
    const PlayerState& player_;
    const int scrollBefore_, scrollAfter_;
    const bool spriteInPass_;
    const int spriteLevel_;
    const bool mayHide_;
    bool hasCrack_ = false, spriteSeen_ = false, hasTarget_ = false;
    TargetCell target_;
    int crackX_ = 0, crackY_ = 0, crackLevel_ = 0;
    Box box_{0, -1, 0, -1};
    int count_ = 0;
    PassDraws result_;
};

}  // namespace

PassDraws listPassDraws(const GameView& game, int scrollBefore, int scrollAfter) {
    for (int s = 0; s < kShadeCount; ++s)
        shadeColours[s] = tintColour(shadeTint(static_cast<Shade>(s)));
    return PassLister(game, scrollBefore, scrollAfter).list();
}

// Lists the world pass. First every visited cell is classified (drawn or not,
// its shade, whether it is an opaque cube that hides what lies behind it);
// then the cells are listed in the painter's order, each drawn only as far
// as the covers drawn after it leave it visible. A pixel of a block is left
// out only where an opaque cube drawn later in the same pass paints it, so
// the picture is the same as drawing everything.
#include "render/world_draws.h"

#include "render/other_figures.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/render_pictures.h"
#include "render/target_outline.h"
#include "render/world_view.h"
#include "rules/projection.h"
#include "world/world_grid.h"

namespace {

constexpr int kLevels = kBandEdge + 1;

// Classification of a visited cell.
constexpr std::uint8_t kVisited = 0x80;  // holds a value with a tile
constexpr std::uint8_t kCovers = 0x40;   // an opaque cube of the common shape this frame
constexpr std::uint8_t kStandard = 0x20;
constexpr std::uint8_t kFaded = 0x10;  // drawn faded over the figure
constexpr std::uint8_t kShadeBits = 0x0F;
static_assert(kShadeCount <= kShadeBits + 1, "every shade fits its bits");

// The cells of one level a pass visits, inside the world's bounds, and the
// box around them in the classification store (zero outside them).
struct LevelBox {
    CellSpan rows, columns;
    std::size_t offset = 0;
    int width() const { return columns.last - columns.first + 1; }
    bool holds(int x, int y) const {
        return y >= rows.first && y <= rows.last && x >= columns.first && x <= columns.last;
    }
    std::size_t index(int x, int y) const {
        return offset + static_cast<std::size_t>((y - rows.first) * width() + x - columns.first);
    }
};

// Sized by the largest pass yet: the view, not the world, sets its size.
std::vector<WorldDraw> draws;
std::vector<std::uint8_t> cells;
LevelBox levelBoxes[kLevels];
ALLEGRO_COLOR shadeColours[kShadeCount];
ALLEGRO_COLOR fadedColours[kShadeCount];

CellSpan within(CellSpan span, int last) {
    return CellSpan{std::max(span.first, 0), std::min(span.last, last)};
}

// The boxes of every level down to `deepest`; how many cells they hold.
std::size_t placeLevelBoxes(const GameView& g, const PassReach& reach, int deepest) {
    std::size_t total = 0;
    for (int level = 0; level <= deepest; ++level) {
        LevelBox& box = levelBoxes[level];
        box.rows = within(visitedRows(reach, level), g.world.maxY);
        box.columns = CellSpan{};
        for (int y = box.rows.first; y <= box.rows.last; ++y) {
            const CellSpan c = within(visitedColumns(reach, level, y), g.world.maxX);
            if (c.isEmpty()) continue;
            if (box.columns.isEmpty()) box.columns = c;
            box.columns.first = std::min(box.columns.first, c.first);
            box.columns.last = std::max(box.columns.last, c.last);
        }
        if (box.columns.isEmpty()) box.rows = CellSpan{};
        box.offset = total;
        if (!box.rows.isEmpty())
            total += static_cast<std::size_t>(box.width()) * (box.rows.last - box.rows.first + 1);
    }
    return total;
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

std::uint8_t classify(const GameView& g, const ViewCut& cut, int x, int y, int level) {
    const BlockId cell = g.cell(x, y, level);
    const BlockId id = tileOf(cell);
    if (!hasTile(id) || cut.isCut(x, y, level)) return 0;
    const Frame f = tileFrame(g, id);
    const Shade shade = blockShade(g, cut, x, y, level, id, f.animated);
    std::uint8_t flags = kVisited | shade;
    // A lowered stream is no whole cube: it covers nothing behind it.
    const bool standard = f.standard && !isStream(cell);
    if (standard) flags |= kStandard;
    if (cut.isFaded(x, y, level, id)) flags |= kFaded;
    else if (standard && shadeTint(shade).a == 1.0f) flags |= kCovers;
    return flags;
}

void classifyPass(const GameView& g, const ViewCut& cut, const PassReach& reach, int deepest) {
    const std::size_t total = placeLevelBoxes(g, reach, deepest);
    if (cells.size() < total) cells.resize(total);
    std::fill(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(total), 0);
    for (int level = 0; level <= deepest; ++level) {
        const LevelBox& box = levelBoxes[level];
        for (int y = box.rows.first; y <= box.rows.last; ++y) {
            const CellSpan c = within(visitedColumns(reach, level, y), g.world.maxX);
            std::uint8_t* row = &cells[box.index(box.columns.first, y)];
            for (int x = c.first; x <= c.last; ++x)
                row[x - box.columns.first] = classify(g, cut, x, y, level);
        }
    }
}

// Pictures whose pixels are all blank or opaque, in a shade without fading.
bool replaces(Shade shade) { return renderPictures.twoLevelAlpha && shadeTint(shade).a == 1.0f; }

// Which of the later neighbours that can hide this cell are opaque cubes.
// Only a cover on the same side of the figure as the cell counts: the two
// sides may be placed with different level scrolls. `split` is the order of
// the last cell before the figure.
int coverSet(int x, int y, int level, int split) {
    const bool before = passOrder(x, y, level) <= split;
    int set = 0;
    for (int i = 0; i < kCoverNeighbours; ++i) {
        const CoverNeighbour& n = kCoverNeighbourOffsets[i];
        const int nx = x + n.dx, ny = y + n.dy, nl = level + n.dLevel;
        if (nl < 0 || !levelBoxes[nl].holds(nx, ny)) continue;
        if ((passOrder(nx, ny, nl) <= split) != before) continue;
        if (cells[levelBoxes[nl].index(nx, ny)] & kCovers) set |= 1 << i;
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
          split_(scrollBefore == scrollAfter || !spriteInPass_
                     ? INT_MAX
                     : passOrder(player_.x, player_.y, spriteLevel_)),
          reach_(passReach(player_, scrollBefore, scrollAfter)),
          cut_(viewCut(game)) {
        hasCrack_ = crackedCell(player_, &crackX_, &crackY_, &crackLevel_);
        hasTarget_ = targetCell(game, &target_);
    }

    PassDraws list() {
        const int deepest = deepestVisitedLevel(player_);
        if (deepest >= 0) {
            classifyPass(game_, cut_, reach_, deepest);
            for (int level = deepest; level >= 0; --level) listLevel(level);
        }
        if (spriteInPass_ && !spriteSeen_) result_.spriteIndex = count_;
        result_.draws = draws.data();
        result_.count = count_;
        return result_;
    }

private:
    void listLevel(int level) {
        const PlayerState& p = player_;
        const LevelBox& box = levelBoxes[level];
        for (int y = box.rows.first; y <= box.rows.last; ++y) {
            const CellSpan c = within(visitedColumns(reach_, level, y), game_.world.maxX);
            const std::uint8_t* row = &cells[box.index(box.columns.first, y)];
            for (int x = c.first; x <= c.last; ++x) {
                if (level == spriteLevel_ && !spriteSeen_ && (y > p.y || (y == p.y && x > p.x))) {
                    spriteSeen_ = true;
                    result_.spriteIndex = count_;
                }
                const std::uint8_t flags = row[x - box.columns.first];
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
        const BlockId cell = game_.cell(x, y, level);
        const Frame f = tileFrame(game_, tileOf(cell));
        if (f.bitmap != nullptr) {
            const Shade shade = static_cast<Shade>(flags & kShadeBits);
            const int drop = surfaceDrop(cell);
            PixelRect part{0, drop, f.sw, f.sh - drop};
            if (flags & kStandard)
                part = renderPictures.visibleParts[coverSet(x, y, level, split_)];
            const bool faded = flags & kFaded;
            if (!part.isEmpty()) {
                add(WorldDraw{f.bitmap, faded ? fadedColours[shade] : shadeColours[shade],
                              f.sx + part.x, part.y - drop, part.w, part.h, sx + part.x,
                              sy + part.y, passOrder(x, y, level), !faded && replaces(shade),
                              true});
            }
            result_.translucent |= shade == ShadeWaterByDay || faded;
            result_.animated |= f.animated;
        }
        if (cracked) listCrack(sx, sy, passOrder(x, y, level));
    }

    void listCrack(int sx, int sy, int order) {
        const PictureCopy& crack = renderPictures.crack;
        int cx = 0, cw = 0, ch = 0;
        if (crack.original == nullptr || !crackRegion(player_, crack.w, crack.h, &cx, &cw, &ch))
            return;
        add(WorldDraw{atlasPicture(crack, cx, 0, cw, ch), shadeColours[ShadeNone], cx, 0, cw, ch,
                      sx, sy, order, replaces(ShadeNone)});
    }

    void listOutline(int x, int y, int level) {
        ALLEGRO_BITMAP* outline = outlinePicture(target_.raised);
        if (outline == nullptr) return;
        const int sy = projectY(x, y, level) - (spriteSeen_ ? scrollAfter_ : scrollBefore_);
        add(WorldDraw{outline, shadeColours[ShadeNone], 0, 0, kFrameSize, kFrameSize,
                      projectX(x, y), sy, passOrder(x, y, level),
                      true});  // drawn opaque or not at all
    }

    void add(const WorldDraw& draw) {
        if (static_cast<std::size_t>(count_) == draws.size()) draws.push_back(draw);
        else draws[count_] = draw;
        ++count_;
    }

    const GameView& game_;
    const PlayerState& player_;
    const int scrollBefore_, scrollAfter_;
    const bool spriteInPass_;
    const int spriteLevel_;
    const int split_;
    const PassReach reach_;
    const ViewCut cut_;
    bool hasCrack_ = false, spriteSeen_ = false, hasTarget_ = false;
    TargetCell target_;
    int crackX_ = 0, crackY_ = 0, crackLevel_ = 0;
    int count_ = 0;
    PassDraws result_;
};

}  // namespace

PassDraws listPassDraws(const GameView& game, int scrollBefore, int scrollAfter) {
    for (int s = 0; s < kShadeCount; ++s) {
        shadeColours[s] = tintColour(shadeTint(static_cast<Shade>(s)));
        fadedColours[s] = tintColour(fadedTint(shadeTint(static_cast<Shade>(s))));
    }
    return PassLister(game, scrollBefore, scrollAfter).list();
}

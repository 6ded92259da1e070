// The isometric world drawn the plain way: every block of the band around
// the player, deepest level first, each row in increasing y and x, so that
// nearer and higher blocks cover farther and lower ones. The cached drawing
// of the game frame must give exactly this picture.
#include "render/world_renderer.h"

#include "render/assets.h"
#include "render/other_figures.h"
#include "render/see_through.h"
#include "render/target_outline.h"
#include "render/tint.h"
#include "render/world_view.h"
#include "rules/projection.h"

namespace {

// Where one pass puts a cell: the camera and the pass's level scroll applied.
struct Placement {
    const GameView& game;
    const ViewCut& cut;
    int scroll;
    int x(int cx, int cy) const { return projectX(cx, cy) + game.camera.offsetX; }
    int y(int cx, int cy, int level) const {
        return projectY(cx, cy, level) + game.camera.offsetY - scroll;
    }
};

void drawBlock(const Placement& at, int x, int y, int level, BlockId cellValue) {
    const BlockId id = tileOf(cellValue);
    const ViewCut& cut = at.cut;
    ALLEGRO_BITMAP* tile = assets.tileBitmap[id];
    if (tile == nullptr) return;
    const int drop = surfaceDrop(cellValue);
    int w = al_get_bitmap_width(tile);
    int h = al_get_bitmap_height(tile) - drop;
    int sx = at.x(x, y);
    int sy = at.y(x, y, level) + drop;
    if (isAnimatedWidth(w)) {
        int frameWidth = w / kStripFrames;
        Tint tint = shadeTint(blockShade(at.game, cut, x, y, level, id, true));
        if (cut.isFaded(x, y, level, id)) tint = fadedTint(tint);
        int frameX = frameWidth * at.game.clock.blockAnimFrame;
        drawTintedBitmapRegion(tile, tint, frameX, 0, frameWidth, h, sx, sy);
        addFigureCover(tile, tintColour(tint), frameX, 0, frameWidth, h, sx, sy);
    } else {
        Tint tint = shadeTint(blockShade(at.game, cut, x, y, level, id, false));
        if (cut.isFaded(x, y, level, id)) tint = fadedTint(tint);
        if (drop > 0) {
            drawTintedBitmapRegion(tile, tint, 0, 0, w, h, sx, sy);
        } else {
            drawTintedBitmap(tile, tint, sx, sy);
        }
        addFigureCover(tile, tintColour(tint), 0, 0, w, h, sx, sy);
    }
}

void drawCrack(const Placement& at, int x, int y, int level) {
    ALLEGRO_BITMAP* crack = assets.crackBitmap;
    int sx = 0, sw = 0, sh = 0;
    if (crack == nullptr || !crackRegion(at.game.player, al_get_bitmap_width(crack),
                                         al_get_bitmap_height(crack), &sx, &sw, &sh)) {
        return;
    }
    drawBitmapRegion(crack, sx, 0, sw, sh, at.x(x, y), at.y(x, y, level));
}

void drawCell(const Placement& at, int x, int y, int level) {
    if (!insideBounds(at.game.world, x, y)) return;
    BlockId id = at.game.cell(x, y, level);
    if (!hasTile(tileOf(id)) || at.cut.isCut(x, y, level)) return;
    drawBlock(at, x, y, level, id);
    int cx = 0, cy = 0, cl = 0;
    if (crackedCell(at.game.player, &cx, &cy, &cl) && x == cx && y == cy && level == cl)
        drawCrack(at, x, y, level);
}

void drawOther(const GameView& game, const OtherFigure& other) {
    SpriteDraw draw;
    if (!otherSpriteDraw(game, other, &draw)) return;
    drawTintedBitmapRegion(draw.bitmap, draw.tint, draw.sx, draw.sy, draw.sw, draw.sh, draw.dx,
                           draw.dy, draw.flags);
}

// The other figures still to come in the pass, drawn once it reaches them.
struct Others {
    const GameView& game;
    std::vector<bool> drawn = std::vector<bool>(otherFigures().size());
    void upTo(int order) {
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            const PlayerState& f = otherFigures()[i].figure;
            if (drawn[i] || figureOrder(f.x, f.y, f.level) > order) continue;
            drawOther(game, otherFigures()[i]);
            drawn[i] = true;
        }
    }
};

void drawOutline(const Placement& at, const TargetCell& target) {
    ALLEGRO_BITMAP* outline = outlinePicture(target.raised);
    if (outline != nullptr)
        drawBitmap(outline, at.x(target.x, target.y), at.y(target.x, target.y, target.level));
}

}  // namespace

void drawWorld(const GameView& game, const GameFrame& frame) {
    const PlayerState& p = game.player;
    const int px = p.x, py = p.y, ground = p.level;
    const ViewCut cut = viewCut(game);
    Placement at{game, cut, frame.scrollBefore};
    Others others{game};
    TargetCell target;
    const bool hasTarget = targetCell(game, &target);
    // Blocks drawn after the figure are listed from the moment it is drawn.
    beginFigureCovers(nullptr);
    bool figureDrawn = false;
    auto drawFigure = [&] {
        drawPlayer(game, false);
        at.scroll = game.levelScroll;
        figureDrawn = true;
        SpriteDraw figure;
        if (!spriteDraw(game, false, &figure)) return;
        beginFigureCovers(&figure);
        if (!hasTarget) return;
        const int scroll = targetAfterFigure(p, target) ? game.levelScroll : frame.scrollBefore;
        drawOutlineThroughFigure(figure, target.raised, at.x(target.x, target.y),
                                 Placement{game, cut, scroll}.y(target.x, target.y, target.level));
    };
    const int spriteLevel = passDrawsSprite(p) ? ground - 1 : -2;
    const PassReach reach = passReach(p, frame.scrollBefore, scrollAfterSprite(game, frame));
    for (int level = deepestVisitedLevel(p); level >= 0; --level) {
        const CellSpan rows = visitedRows(reach, level);
        for (int y = rows.first; y <= rows.last; ++y) {
            const CellSpan columns = visitedColumns(reach, level, y);
            for (int x = columns.first; x <= columns.last; ++x) {
                // The figure stands among the blocks: drawn before the first
                // cell after its body's, or at the end of its level.
                if (level == spriteLevel && !figureDrawn && (y > py || (y == py && x > px)))
                    drawFigure();
                const bool targetHere =
                    hasTarget && x == target.x && y == target.y && level == target.level;
                // As the cached pass lists them: only cells that draw something.
                if (!others.drawn.empty() &&
                    (targetHere ||
                     (insideBounds(game.world, x, y) && hasTile(tileOf(game.cell(x, y, level))) &&
                      !cut.isCut(x, y, level))))
                    others.upTo(passOrder(x, y, level));
                drawCell(at, x, y, level);
                if (targetHere) drawOutline(at, target);
            }
        }
        if (level == spriteLevel && !figureDrawn) drawFigure();
    }
    if (!figureDrawn && ground == 0 && passDrawsSprite(p)) drawFigure();
    others.upTo(passOrder(kBandEdge, kBandEdge, -1) + 1);
}

void drawPlayer(const GameView& game, bool ghost) {
    SpriteDraw draw;
    if (!spriteDraw(game, ghost, &draw)) return;
    drawTintedBitmapRegion(draw.bitmap, draw.tint, draw.sx, draw.sy, draw.sw, draw.sh, draw.dx,
                           draw.dy, draw.flags);
}

#include "render/other_figures.h"

#include <allegro5/allegro_font.h>

#include <algorithm>

#include "game/settings.h"
#include "render/assets.h"
#include "render/text.h"
#include "render/world_view.h"
#include "rules/projection.h"

namespace {
constexpr int kNameAbove = 12;
// The lowest a name tag reaches: above the typing line, the status line and
// the hotbar, which a tag must not hide.
constexpr int kTagsFoot = 392;
}  // namespace

std::vector<OtherFigure>& otherFigures() {
    static std::vector<OtherFigure> figures;
    return figures;
}

int figureOrder(int x, int y, int level) { return passOrder(x + 1, y, level - 1); }

// One's own figure stands where the camera aims; another is as far from
// there on the screen as its column is from the camera's, part of the way
// back toward the column its step began on.
bool otherSpriteDraw(const GameView& game, const OtherFigure& other, SpriteDraw* draw) {
    const GameView as{game.world,   other.figure, game.camera,
                      game.weather, game.clock,   game.levelScroll};
    if (!spriteDraw(as, false, draw)) return false;
    const PlayerState& f = other.figure;
    const int quarters = other.quarters < 0 ? 0 : (other.quarters > 4 ? 4 : other.quarters);
    const int toX = screenShiftX(f.x, f.y), fromX = screenShiftX(other.fromX, other.fromY);
    const int toY = screenShiftY(f.x, f.y, f.level);
    const int fromY = screenShiftY(other.fromX, other.fromY, other.fromLevel);
    draw->dx += fromX + (toX - fromX) * quarters / 4 + game.camera.offsetX;
    draw->dy += fromY + (toY - fromY) * quarters / 4 + game.camera.offsetY - game.levelScroll;
    return true;
}

namespace {

// The widths of the names last drawn: measuring a text costs as much as
// drawing it.
struct NameWidth {
    std::string name;
    int width;
};
std::vector<NameWidth> nameWidths;
const ALLEGRO_FONT* widthsFont = nullptr;

int nameWidth(const std::string& name) {
    if (widthsFont != assets.smallFont || nameWidths.size() > 4 * otherFigures().size() + 16) {
        nameWidths.clear();
        widthsFont = assets.smallFont;
    }
    for (const NameWidth& known : nameWidths)
        if (known.name == name) return known.width;
    nameWidths.push_back(NameWidth{name, al_get_text_width(assets.smallFont, name.c_str())});
    return nameWidths.back().width;
}

}  // namespace

namespace {

struct Tag {
    const std::string* name;
    int x, y, width;
};

// Over the figure, but whole inside the picture and above the foot.
Tag placedTag(const OtherFigure& other, const SpriteDraw& draw) {
    const int width = nameWidth(other.name);
    Tag tag{&other.name, draw.dx + draw.sw / 2 - width / 2, draw.dy - kNameAbove, width};
    if (settings.classic) return tag;
    const int edge = kBackingMarginX, top = kBackingMarginY;
    const int lowest = kTagsFoot - textLineHeight() - kBackingMarginY;
    tag.x = std::max(edge, std::min(tag.x, kScreenWidth - edge - width));
    tag.y = std::max(top, std::min(tag.y, lowest));
    return tag;
}

}  // namespace

void drawOtherNames(const GameView& game) {
    if (assets.smallFont == nullptr || !settings.showNames) return;
    std::vector<Tag> tags;
    for (const OtherFigure& other : otherFigures()) {
        SpriteDraw draw;
        if (!otherSpriteDraw(game, other, &draw)) continue;
        // A figure out of view has no tag pinned to the picture's edge.
        const bool inView = draw.dx < kScreenWidth && draw.dx + draw.sw > 0 &&
                            draw.dy < kScreenHeight && draw.dy + draw.sh > 0;
        if (inView || settings.classic) tags.push_back(placedTag(other, draw));
    }
    // The backings in one batch, then the names in another: the glyphs share
    // the font's texture.
    al_hold_bitmap_drawing(true);
    if (!settings.classic)
        for (const Tag& tag : tags) drawTextBacking(tag.x, tag.y, tag.width);
    for (const Tag& tag : tags) drawText(tag.name->c_str(), tag.x, tag.y);
    al_hold_bitmap_drawing(false);
}

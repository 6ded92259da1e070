// What hides is cut out on two scratch pictures the size of the figure's
// frame: one takes the coverage of what stands in front (its alpha), the
// other what should show through it, and drawing the first onto the second
// with a blender that keeps only the destination times the source's alpha
// leaves exactly the hidden part. Only pictures whose pixels are blank or
// opaque hide here, so the cut is the same however the covers are split into
// draws. The scratch pictures are small and drawn only where something hides.
#include "render/see_through.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "game/settings.h"
#include "render/assets.h"
#include "render/target_outline.h"
#include "render/tile_shapes.h"

namespace {

constexpr int kMaxCovers = 2048;  // far more than a frame's blocks in front of a figure

// The figure's edge where blocks hide it: clear of the grass, the snow and
// the night alike.
ALLEGRO_COLOR edgeColour() { return al_map_rgb(96, 208, 255); }

struct Cover {
    ALLEGRO_BITMAP* bitmap;
    int sx, sy, sw, sh, x, y;
    bool operator==(const Cover& o) const {
        return bitmap == o.bitmap && sx == o.sx && sy == o.sy && sw == o.sw && sh == o.sh &&
               x == o.x && y == o.y;
    }
};

bool sameDraw(const SpriteDraw& a, const SpriteDraw& b) {
    return a.bitmap == b.bitmap && a.sx == b.sx && a.sy == b.sy && a.sw == b.sw && a.sh == b.sh &&
           a.dx == b.dx && a.dy == b.dy && a.flags == b.flags;
}

// A cut kept while what it was cut from stays the same: a figure standing
// still behind the same blocks is cut once, not every frame.
struct Cut {
    ALLEGRO_BITMAP* bitmap = nullptr;  // the part shown, from the figure's corner
    SpriteDraw figure;
    ALLEGRO_BITMAP* source = nullptr;  // the edge or the thin outline picture
    std::vector<Cover> covers;         // what hides the figure, for its edge
    bool raised = false;               // the outline's kind and place, for the outline
    int x = 0, y = 0;
    bool valid = false;
};

struct SeeThrough {
    Cover covers[kMaxCovers];
    int coverCount = 0;
    PixelRect figure;  // on the screen; empty when nothing is listed
    ALLEGRO_BITMAP* hiding = nullptr;
    Cut edgeCut, outlineCut;
    int scratchW = 0, scratchH = 0;
    ALLEGRO_BITMAP* sheets[5] = {};  // what edgePictures were made from
    ALLEGRO_BITMAP* edgePictures[5] = {};
};
SeeThrough see;

bool opaque(unsigned char alpha) { return alpha == 255; }

// The sheet with only the figure's edge left: its opaque pixels beside a
// blank one (or the sheet's border), in the edge colour.
ALLEGRO_BITMAP* makeEdgePicture(ALLEGRO_BITMAP* sheet) {
    const int w = al_get_bitmap_width(sheet), h = al_get_bitmap_height(sheet);
    ALLEGRO_LOCKED_REGION* from =
        al_lock_bitmap(sheet, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_READONLY);
    if (from == nullptr) return nullptr;
    std::vector<unsigned char> alpha(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const unsigned char*>(from->data) + y * from->pitch;
        for (int x = 0; x < w; ++x) alpha[static_cast<std::size_t>(y) * w + x] = row[4 * x + 3];
    }
    al_unlock_bitmap(sheet);
    auto at = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h &&
               opaque(alpha[static_cast<std::size_t>(y) * w + x]);
    };
    ALLEGRO_BITMAP* edge = al_create_bitmap(w, h);
    if (edge == nullptr) return nullptr;
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
    al_set_target_bitmap(edge);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    al_lock_bitmap(edge, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (at(x, y) && (!at(x - 1, y) || !at(x + 1, y) || !at(x, y - 1) || !at(x, y + 1)))
                al_put_pixel(x, y, edgeColour());
    al_unlock_bitmap(edge);
    al_restore_state(&state);
    return edge;
}

ALLEGRO_BITMAP* edgePicture(ALLEGRO_BITMAP* sheet) {
    for (int s = 1; s <= 4; ++s) {
        if (assets.playerBitmap[s] != sheet) continue;
        if (see.sheets[s] != sheet || see.edgePictures[s] == nullptr) {
            if (see.edgePictures[s] != nullptr) al_destroy_bitmap(see.edgePictures[s]);
            see.edgePictures[s] = makeEdgePicture(sheet);
            see.sheets[s] = sheet;
        }
        return see.edgePictures[s];
    }
    return nullptr;
}

bool makeScratch(int w, int h) {
    if (see.hiding != nullptr && w <= see.scratchW && h <= see.scratchH) return true;
    w = std::max(w, see.scratchW);
    h = std::max(h, see.scratchH);
    for (ALLEGRO_BITMAP** b : {&see.hiding, &see.edgeCut.bitmap, &see.outlineCut.bitmap}) {
        if (*b != nullptr) al_destroy_bitmap(*b);
        *b = al_create_bitmap(w, h);
    }
    see.edgeCut.valid = see.outlineCut.valid = false;
    if (see.hiding == nullptr || see.edgeCut.bitmap == nullptr || see.outlineCut.bitmap == nullptr)
        return false;
    see.scratchW = w;
    see.scratchH = h;
    return true;
}

PixelRect rectOf(const SpriteDraw& figure) {
    return PixelRect{figure.dx, figure.dy, figure.sw, figure.sh};
}

// Runs `hide` on the scratch picture and `show` on the cut's, both placed
// with the figure's corner at their origin, and keeps in the cut only the
// part of what was shown that the scratch covers.
template <typename Hide, typename Show>
void cutHiddenPart(Cut& cut, Hide hide, Show show) {
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_INVERSE_ALPHA);
    al_set_target_bitmap(see.hiding);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    hide();
    al_set_target_bitmap(cut.bitmap);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    show();
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ZERO, ALLEGRO_ALPHA);
    al_draw_bitmap(see.hiding, 0, 0, 0);
    al_restore_state(&state);
    cut.valid = true;
}

void drawCut(const Cut& cut) {
    const SpriteDraw& f = cut.figure;
    al_draw_bitmap_region(cut.bitmap, 0, 0, f.sw, f.sh, f.dx, f.dy, 0);
}

// Pictures are made and targets switched with held drawing let go (and its
// draws so far made); the caller's batch goes on afterwards.
struct DrawingLetGo {
    const bool held = al_is_bitmap_drawing_held();
    DrawingLetGo() {
        if (held) al_hold_bitmap_drawing(false);
    }
    ~DrawingLetGo() {
        if (held) al_hold_bitmap_drawing(true);
    }
};

}  // namespace

void beginFigureCovers(const SpriteDraw* figure) {
    see.coverCount = 0;
    see.figure = figure != nullptr && !settings.classic ? rectOf(*figure) : PixelRect{};
}

void addFigureCover(ALLEGRO_BITMAP* bitmap, ALLEGRO_COLOR tint, int sx, int sy, int sw, int sh,
                    int x, int y) {
    if (see.figure.isEmpty() || tint.a < 1.0f || see.coverCount >= kMaxCovers) return;
    if (!see.figure.overlaps(PixelRect{x, y, sw, sh})) return;
    see.covers[see.coverCount++] = Cover{bitmap, sx, sy, sw, sh, x, y};
}

void drawFigureThroughCovers(const SpriteDraw& figure) {
    if (see.coverCount == 0 || see.figure.isEmpty()) return;
    const DrawingLetGo letGo;
    ALLEGRO_BITMAP* edge = edgePicture(figure.bitmap);
    Cut& cut = see.edgeCut;
    if (edge == nullptr || !makeScratch(figure.sw, figure.sh)) return;
    const bool same = cut.valid && cut.source == edge && sameDraw(cut.figure, figure) &&
                      cut.covers.size() == static_cast<std::size_t>(see.coverCount) &&
                      std::equal(cut.covers.begin(), cut.covers.end(), see.covers);
    if (same) return drawCut(cut);
    cut.figure = figure;
    cut.source = edge;
    cut.covers.assign(see.covers, see.covers + see.coverCount);
    cutHiddenPart(
        cut,
        [&] {
            for (int i = 0; i < see.coverCount; ++i) {
                const Cover& c = see.covers[i];
                al_draw_bitmap_region(c.bitmap, c.sx, c.sy, c.sw, c.sh, c.x - figure.dx,
                                      c.y - figure.dy, 0);
            }
        },
        [&] {
            al_draw_bitmap_region(edge, figure.sx, figure.sy, figure.sw, figure.sh, 0, 0,
                                  figure.flags);
        });
    drawCut(cut);
}

void drawOutlineThroughFigure(const SpriteDraw& figure, bool raised, int x, int y) {
    if (settings.classic || !rectOf(figure).overlaps(PixelRect{x, y, kFrameSize, kFrameSize}))
        return;
    const DrawingLetGo letGo;
    ALLEGRO_BITMAP* thin = thinOutlinePicture(raised);
    Cut& cut = see.outlineCut;
    if (thin == nullptr || !makeScratch(figure.sw, figure.sh)) return;
    if (cut.valid && cut.source == thin && sameDraw(cut.figure, figure) && cut.raised == raised &&
        cut.x == x && cut.y == y)
        return drawCut(cut);
    cut.figure = figure;
    cut.source = thin;
    cut.raised = raised;
    cut.x = x;
    cut.y = y;
    cutHiddenPart(
        cut,
        [&] {
            al_draw_bitmap_region(figure.bitmap, figure.sx, figure.sy, figure.sw, figure.sh, 0, 0,
                                  figure.flags);
        },
        [&] { al_draw_bitmap(thin, x - figure.dx, y - figure.dy, 0); });
    drawCut(cut);
}

void prepareSeeThrough() {
    for (int s = 1; s <= 4; ++s)
        if (assets.playerBitmap[s] != nullptr) edgePicture(assets.playerBitmap[s]);
    thinOutlinePicture(false);
    thinOutlinePicture(true);
}

void releaseSeeThrough() {
    for (ALLEGRO_BITMAP* b : {see.hiding, see.edgeCut.bitmap, see.outlineCut.bitmap})
        if (b != nullptr) al_destroy_bitmap(b);
    for (ALLEGRO_BITMAP* b : see.edgePictures)
        if (b != nullptr) al_destroy_bitmap(b);
    see.hiding = nullptr;
    see.edgeCut = Cut{};
    see.outlineCut = Cut{};
    see.scratchW = see.scratchH = 0;
    for (int s = 0; s < 5; ++s) see.sheets[s] = see.edgePictures[s] = nullptr;
    see.coverCount = 0;
    see.figure = PixelRect{};
}

// Copies the world's pictures into one atlas and reads their shapes.
#include "render/render_pictures.h"

#include <algorithm>

#include "render/assets.h"
#include "render/tint.h"

RenderPictures renderPictures;

namespace {

constexpr int kAtlasMinWidth = 1024;
constexpr int kAtlasPadding = 1;
constexpr int kAtlasEntries = kBlockTypes + 1 + 5;

struct Placement {
    PictureCopy* copy;
    int x, y;
};

int gatherEntries(Placement* entries) {
    RenderPictures& p = renderPictures;
    p.crack.original = assets.crackBitmap;
    for (int id = 1; id < kBlockTypes; ++id) p.tile[id].original = assets.tileBitmap[id];
    for (int sheet = 1; sheet <= 4; ++sheet) p.sheet[sheet].original = assets.playerBitmap[sheet];
    PictureCopy* all[kAtlasEntries];
    int n = 0;
    all[n++] = &p.crack;
    for (int id = 1; id < kBlockTypes; ++id) all[n++] = &p.tile[id];
    for (int sheet = 1; sheet <= 4; ++sheet) all[n++] = &p.sheet[sheet];
    int count = 0;
    for (int i = 0; i < n; ++i) {
        PictureCopy* copy = all[i];
        copy->bitmap = copy->original;
        if (copy->original == nullptr) continue;
        copy->w = al_get_bitmap_width(copy->original);
        copy->h = al_get_bitmap_height(copy->original);
        entries[count++] = Placement{copy, 0, 0};
    }
    return count;
}

// Shelves of pictures, tallest first; returns the atlas height.
int packShelves(Placement* entries, int count, int width) {
    std::sort(entries, entries + count,
              [](const Placement& a, const Placement& b) { return a.copy->h > b.copy->h; });
    int x = 0, y = 0, shelf = 0;
    for (int i = 0; i < count; ++i) {
        const PictureCopy& c = *entries[i].copy;
        if (x + c.w > width) {
            x = 0;
            y += shelf + kAtlasPadding;
            shelf = 0;
        }
        entries[i].x = x;
        entries[i].y = y;
        x += c.w + kAtlasPadding;
        shelf = std::max(shelf, c.h);
    }
    return y + shelf;
}

// An exact copy of every picture, alpha included, into one bitmap.
bool buildAtlas(Placement* entries, int count) {
    int width = kAtlasMinWidth;
    for (int i = 0; i < count; ++i) width = std::max(width, entries[i].copy->w);
    const int height = packShelves(entries, count, width);
    if (count == 0 || height <= 0) return false;
    ALLEGRO_BITMAP* atlas = al_create_bitmap(width, height);
    if (atlas == nullptr) return false;
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
    al_set_target_bitmap(atlas);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
    for (int i = 0; i < count; ++i)
        al_draw_bitmap(entries[i].copy->original, entries[i].x, entries[i].y, 0);
    al_restore_state(&state);
    renderPictures.atlas = atlas;
    for (int i = 0; i < count; ++i) {
        PictureCopy& c = *entries[i].copy;
        ALLEGRO_BITMAP* sub = al_create_sub_bitmap(atlas, entries[i].x, entries[i].y, c.w, c.h);
        if (sub != nullptr) c.bitmap = sub;
    }
    return true;
}

bool frameIsTile(const PictureCopy& tile) {
    const int frameWidth = isAnimatedWidth(tile.w) ? tile.w / kStripFrames : tile.w;
    return frameWidth == kFrameSize && tile.h == kFrameSize;
}

// The common cube shape is the mask most tile frames share; a frame of that
// shape and fully opaque inside it can hide what lies behind it.
void readTileShapes() {
    RenderPictures& p = renderPictures;
    static TileMask masks[kBlockTypes][kStripFrames];
    bool usable[kBlockTypes][kStripFrames] = {};
    for (int id = 1; id < kBlockTypes; ++id) {
        const PictureCopy& tile = p.tile[id];
        if (tile.original == nullptr || !frameIsTile(tile)) continue;
        const int frames = isAnimatedWidth(tile.w) ? kStripFrames : 1;
        for (int f = 0; f < frames; ++f)
            usable[id][f] = readFrameMask(tile.original, kFrameSize * f, 0, &masks[id][f]);
    }
    const TileMask* common = nullptr;
    int best = 0;
    for (int id = 1; id < kBlockTypes; ++id)
        for (int f = 0; f < kStripFrames; ++f) {
            if (!usable[id][f]) continue;
            int same = 0;
            for (int j = 1; j < kBlockTypes; ++j)
                for (int g = 0; g < kStripFrames; ++g)
                    same += usable[j][g] && masks[j][g] == masks[id][f];
            if (same > best) best = same, common = &masks[id][f];
        }
    if (common == nullptr) return;
    computeVisibleParts(*common, p.visibleParts);
    for (int id = 1; id < kBlockTypes; ++id)
        for (int f = 0; f < kStripFrames; ++f)
            p.standardFrame[id][f] = usable[id][f] && masks[id][f] == *common;
}

bool allTwoLevelAlpha() {
    const RenderPictures& p = renderPictures;
    if (p.crack.original != nullptr && !hasTwoLevelAlpha(p.crack.original)) return false;
    for (int id = 1; id < kBlockTypes; ++id)
        if (p.tile[id].original != nullptr && !hasTwoLevelAlpha(p.tile[id].original)) return false;
    return true;
}

}  // namespace

bool loadRenderPictures() {
    releaseRenderPictures();
    static Placement entries[kAtlasEntries];
    const int count = gatherEntries(entries);
    buildAtlas(entries, count);
    readTileShapes();
    renderPictures.twoLevelAlpha = allTwoLevelAlpha();
    if (assets.hudFrame != nullptr)
        renderPictures.hudTwoLevelAlpha = hasTwoLevelAlpha(assets.hudFrame);
    if (assets.hudFrame != nullptr)
        renderPictures.hudPieceCount =
            nonBlankPieces(assets.hudFrame, renderPictures.hudPieces, kMaxHudPieces);
    return true;
}

void releaseRenderPictures() {
    RenderPictures& p = renderPictures;
    auto release = [](PictureCopy& copy) {
        if (copy.bitmap != nullptr && copy.bitmap != copy.original) al_destroy_bitmap(copy.bitmap);
    };
    release(p.crack);
    for (PictureCopy& tile : p.tile) release(tile);
    for (PictureCopy& sheet : p.sheet) release(sheet);
    if (p.atlas != nullptr) al_destroy_bitmap(p.atlas);
    p = RenderPictures{};
}

ALLEGRO_BITMAP* atlasPicture(const PictureCopy& copy, int sx, int sy, int sw, int sh) {
    const bool inside =
        sx >= 0 && sy >= 0 && sw >= 0 && sh >= 0 && sx + sw <= copy.w && sy + sh <= copy.h;
    return inside ? copy.bitmap : copy.original;
}

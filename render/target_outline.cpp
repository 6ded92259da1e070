// The target outline: which cell it marks and its two pictures, made once
// from the tile geometry.
#include "render/target_outline.h"

#include <initializer_list>

#include "game/settings.h"
#include "render/tile_shapes.h"
#include "rules/actions.h"

namespace {

ALLEGRO_BITMAP* pictures[2] = {};
ALLEGRO_BITMAP* thinPictures[2] = {};

// Opaque, and bright enough to read on snow by day and in the dark at night.
ALLEGRO_COLOR lineColour() { return al_map_rgb(255, 226, 64); }

// Runs of four pixels shown and left out by turns along the line's long axis.
bool dashShows(int along) { return (along / 4) % 2 == 0; }

void plot(int x, int y, int along, bool dashed) {
    if (x < 0 || y < 0 || x >= kFrameSize || y >= kFrameSize) return;
    if (!dashed || dashShows(along)) al_put_pixel(x, y, lineColour());
}

// The cube's visible edges, two pixels wide: the silhouette and the three
// edges that meet at its nearest corner, as the tile pictures draw the cube
// (diamond edges step two across, one down). The top face's lower edges lie
// just inside the face, since the neighbours drawn after it own the pixels of
// the seam.
void drawCubeEdges(bool dashed, int width) {
    for (int x = 0; x < 32; ++x) {
        for (int inward = 0; inward < width; ++inward) {
            plot(x, 15 - x / 2 + inward, x, dashed);       // top face, upper left
            plot(63 - x, 15 - x / 2 + inward, x, dashed);  // top face, upper right
            plot(x, 15 + x / 2 - inward, x, dashed);       // top face, lower left
            plot(63 - x, 15 + x / 2 - inward, x, dashed);  // top face, lower right
            plot(x, 47 + x / 2 - inward, x, dashed);       // bottom, left
            plot(63 - x, 47 + x / 2 - inward, x, dashed);  // bottom, right
        }
    }
    for (int y = 16; y < 48; ++y) {
        for (int inward = 0; inward < width; ++inward) {
            plot(inward, y, y, dashed);
            plot(63 - inward, y, y, dashed);
        }
    }
    for (int y = 31; y < 63; ++y) {
        plot(31, y, y, dashed);
        if (width > 1) plot(32, y, y, dashed);
    }
}

ALLEGRO_BITMAP* makePicture(bool dashed, int width) {
    ALLEGRO_BITMAP* picture = al_create_bitmap(kFrameSize, kFrameSize);
    if (picture == nullptr) return nullptr;
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(picture);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    al_lock_bitmap(picture, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    drawCubeEdges(dashed, width);
    al_unlock_bitmap(picture);
    al_set_target_bitmap(target);
    return picture;
}

bool canMine(BlockId id) { return hasTile(id) && id != HardRock; }

bool canPlace(const PlayerState& p, BlockId id) {
    if ((id != Empty && !isStream(id)) || p.selectedSlot < 0 || p.selectedSlot >= kHotbarSlots)
        return false;
    const BlockId held = p.hotbar[p.selectedSlot];
    return hasTile(held) && p.blockCounts[held] >= 1;
}

}  // namespace

bool targetCell(const GameView& game, TargetCell* target) {
    const PlayerState& p = game.player;
    if (settings.classic || p.resting) return false;
    const auto facing = static_cast<std::int32_t>(p.facing);
    if (facing < 0 || facing > 3) return false;
    const Column ahead = columnAhead(p);
    const int level = p.level - p.targetRaised;
    if (!actionCellInBand(p, game.world)) return false;
    const BlockId id = game.cell(ahead.x, ahead.y, level);
    if (!canMine(id) && !canPlace(p, id)) return false;
    *target = TargetCell{ahead.x, ahead.y, level, p.targetRaised == 1};
    return true;
}

ALLEGRO_BITMAP* outlinePicture(bool raised) {
    ALLEGRO_BITMAP*& picture = pictures[raised ? 1 : 0];
    if (picture == nullptr) picture = makePicture(!raised, 2);
    return picture;
}

ALLEGRO_BITMAP* thinOutlinePicture(bool raised) {
    ALLEGRO_BITMAP*& picture = thinPictures[raised ? 1 : 0];
    if (picture == nullptr) picture = makePicture(!raised, 1);
    return picture;
}

bool targetAfterFigure(const PlayerState& p, const TargetCell& target) {
    const int body = p.level - 1;
    if (target.level != body) return target.level < body;
    return target.y > p.y || (target.y == p.y && target.x > p.x);
}

void releaseOutlinePictures() {
    for (ALLEGRO_BITMAP** set : {pictures, thinPictures}) {
        for (int i = 0; i < 2; ++i) {
            if (set[i] != nullptr) al_destroy_bitmap(set[i]);
            set[i] = nullptr;
        }
    }
}

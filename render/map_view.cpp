// The map's picture and the player's marker.
//
// Cache: one bitmap of a pixel per column. It is stale when the grid's
// bounds differ from the ones it was built for (built whole at once) or when
// the world's revision has moved on since the last pass began: then a pass
// rebuilds it a band of rows a frame, over kPassFrames frames, so that a
// flood under way on the largest world costs a fraction of a millisecond a
// frame rather than a whole picture now and then. forgetWorldMap drops it.
#include "render/map_view.h"

#include <algorithm>
#include <cstdint>

#include "render/map_colours.h"
#include "render/text.h"

namespace {

constexpr int kPassFrames = 8;

constexpr Rgb8 kUnsent{4, 4, 6};  // darker than any column there is

struct MapPicture {
    ALLEGRO_BITMAP* bitmap = nullptr;
    int maxX = -1, maxY = -1;
    std::uint32_t revision = 0;  // of the world as the picture shows it
    bool passing = false;        // a pass is under way
    std::uint32_t passRevision = 0;
    int nextRow = 0;      // the pass's next row
    bool masked = false;  // drawn with what a joined game was sent
};
MapPicture picture;
const MapKnown* knownNow = nullptr;  // while a picture is written

Rgb8 columnColour(const WorldGrid& grid, int x, int y) {
    if (knownNow != nullptr && knownNow->sent && !knownNow->sent(x, y)) return kUnsent;
    return topColour(grid, x, y);
}

// Writes the rows [top, top + rows) of the picture from the grid.
void writeRows(const WorldGrid& grid, int top, int rows) {
    const int w = grid.maxX + 1;
    ALLEGRO_LOCKED_REGION* region = al_lock_bitmap_region(
        picture.bitmap, 0, top, w, rows, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_WRITEONLY);
    if (region == nullptr) return;
    for (int y = top; y < top + rows; ++y) {
        auto* row = static_cast<std::uint8_t*>(region->data) + (y - top) * region->pitch;
        for (int x = 0; x < w; ++x) {
            const Rgb8 c = columnColour(grid, x, y);
            row[4 * x] = c.r;
            row[4 * x + 1] = c.g;
            row[4 * x + 2] = c.b;
            row[4 * x + 3] = 255;
        }
    }
    al_unlock_bitmap(picture.bitmap);
}

void buildWhole(const WorldGrid& grid) {
    if (picture.bitmap != nullptr) al_destroy_bitmap(picture.bitmap);
    picture = MapPicture{};
    // Scaled up, each column stays a sharp square.
    const int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(flags & ~(ALLEGRO_MIN_LINEAR | ALLEGRO_MAG_LINEAR));
    picture.bitmap = al_create_bitmap(grid.maxX + 1, grid.maxY + 1);
    al_set_new_bitmap_flags(flags);
    picture.maxX = grid.maxX;
    picture.maxY = grid.maxY;
    if (picture.bitmap == nullptr) return;
    writeRows(grid, 0, grid.maxY + 1);
    picture.revision = grid.revision;
}

// One band of a pass. A pass begins when the world has changed since the
// picture's revision; a change during a pass is caught by the next one.
void passOn(const WorldGrid& grid) {
    if (!picture.passing) {
        if (picture.revision == grid.revision) return;
        picture.passing = true;
        picture.passRevision = grid.revision;
        picture.nextRow = 0;
    }
    const int h = grid.maxY + 1;
    const int rows = std::min((h + kPassFrames - 1) / kPassFrames, h - picture.nextRow);
    writeRows(grid, picture.nextRow, rows);
    picture.nextRow += rows;
    if (picture.nextRow < h) return;
    picture.passing = false;
    picture.revision = picture.passRevision;
}

void fillRect(int x, int y, int w, int h, ALLEGRO_COLOR colour) {
    int cx, cy, cw, ch;
    al_get_clipping_rectangle(&cx, &cy, &cw, &ch);
    // Inside the clipping already set, never beyond it.
    const int left = std::max(x, cx), top = std::max(y, cy);
    const int right = std::min(x + w, cx + cw), bottom = std::min(y + h, cy + ch);
    if (right > left && bottom > top) {
        al_set_clipping_rectangle(left, top, right - left, bottom - top);
        al_clear_to_color(colour);
    }
    al_set_clipping_rectangle(cx, cy, cw, ch);
}

// A yellow square ringed in black on the player's column, with a nose the
// same way out on the side it faces: nine pixels across, so that it reads
// on a map of one pixel per column.
void drawMarker(const MapPlacement& at, const PlayerState& p) {
    const int cx = at.x + p.x * at.scale + at.scale / 2;
    const int cy = at.y + p.y * at.scale + at.scale / 2;
    int dx = 0, dy = 0;
    switch (p.facing) {
        case Facing::Up:
            dy = -1;
            break;
        case Facing::Down:
            dy = 1;
            break;
        case Facing::Left:
            dx = -1;
            break;
        case Facing::Right:
            dx = 1;
            break;
    }
    const ALLEGRO_COLOR black = al_map_rgb(0, 0, 0), yellow = al_map_rgb(255, 230, 40);
    // The nose: a ringed square of five, half out of the marker's side.
    constexpr int kNose = 5;
    const int noseX = dx == 0 ? cx - 2 : (dx > 0 ? cx + 3 : cx - 7);
    const int noseY = dy == 0 ? cy - 2 : (dy > 0 ? cy + 3 : cy - 7);
    fillRect(cx - 4, cy - 4, 9, 9, black);
    fillRect(noseX, noseY, kNose, kNose, black);
    fillRect(cx - 3, cy - 3, 7, 7, yellow);
    fillRect(noseX + 1, noseY + 1, kNose - 2, kNose - 2, yellow);
    fillRect(cx - 1, cy - 1, 3, 3, black);  // the column itself, in the middle
}

// Another player: a small square, white ringed in black while in sight,
// grey where it was last seen.
void drawOther(const MapPlacement& at, const MapOther& other) {
    const int cx = at.x + other.x * at.scale + at.scale / 2;
    const int cy = at.y + other.y * at.scale + at.scale / 2;
    fillRect(cx - 3, cy - 3, 7, 7, al_map_rgb(0, 0, 0));
    fillRect(cx - 2, cy - 2, 5, 5,
             other.inSight ? al_map_rgb(250, 250, 250) : al_map_rgb(120, 120, 128));
}

// A mark: a ringed square, home white with a blue heart and the others
// magenta, its name to the right on a backing; the chosen one in a yellow
// ring. Seven pixels across, as the other players, so it reads at any scale.
void drawMark(const MapPlacement& at, const MapMark& mark) {
    const int cx = at.x + mark.x * at.scale + at.scale / 2;
    const int cy = at.y + mark.y * at.scale + at.scale / 2;
    if (mark.chosen) fillRect(cx - 5, cy - 5, 11, 11, al_map_rgb(255, 230, 40));
    fillRect(cx - 3, cy - 3, 7, 7, al_map_rgb(0, 0, 0));
    fillRect(cx - 2, cy - 2, 5, 5,
             mark.home ? al_map_rgb(250, 250, 250) : al_map_rgb(230, 60, 200));
    if (mark.home) fillRect(cx - 1, cy - 1, 3, 3, al_map_rgb(40, 90, 230));
    drawOverlayText(mark.name.c_str(), cx + 8, cy - textLineHeight() / 2);
}

}  // namespace

MapPlacement placeMap(const WorldGrid& grid, int x, int y, int width, int height) {
    const int columns = grid.maxX + 1, rows = grid.maxY + 1;
    MapPlacement at;
    at.scale = std::max(1, std::min(width / std::max(columns, 1), height / std::max(rows, 1)));
    at.x = x + (width - columns * at.scale) / 2;
    at.y = y + (height - rows * at.scale) / 2;
    return at;
}

MapPlacement drawWorldMap(const WorldGrid& grid, const PlayerState& p, int x, int y, int width,
                          int height, const MapKnown* known, const std::vector<MapMark>& marks) {
    const MapPlacement at = placeMap(grid, x, y, width, height);
    // Bounds beyond the stored grid would read past it: no map rather than that.
    if (grid.maxX < 0 || grid.maxX >= kGridSizeX || grid.maxY < 0 || grid.maxY >= kGridSizeY)
        return at;
    const bool masked = known != nullptr && known->sent;
    knownNow = known;
    if (picture.bitmap == nullptr || picture.maxX != grid.maxX || picture.maxY != grid.maxY ||
        picture.masked != masked) {
        buildWhole(grid);
        picture.masked = masked;
    } else {
        passOn(grid);
    }
    knownNow = nullptr;
    if (picture.bitmap == nullptr) return at;
    const int w = grid.maxX + 1, h = grid.maxY + 1;
    al_draw_scaled_bitmap(picture.bitmap, 0, 0, w, h, at.x, at.y, w * at.scale, h * at.scale, 0);
    if (known != nullptr)
        for (const MapOther& other : known->others)
            if (other.x >= 0 && other.y >= 0 && other.x <= grid.maxX && other.y <= grid.maxY)
                drawOther(at, other);
    for (const MapMark& mark : marks)
        if (mark.x >= 0 && mark.y >= 0 && mark.x <= grid.maxX && mark.y <= grid.maxY)
            drawMark(at, mark);
    drawMarker(at, p);
    return at;
}

void forgetWorldMap() {
    if (picture.bitmap != nullptr) al_destroy_bitmap(picture.bitmap);
    picture = MapPicture{};
}

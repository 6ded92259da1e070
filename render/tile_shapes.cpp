// Pixel masks read from the loaded pictures. Nothing here assumes what the
// art looks like: a block is only ever left out where the masks prove that
// the opaque blocks drawn after it cover it.
#include "render/tile_shapes.h"

#include <algorithm>
#include <iterator>

#include "rules/projection.h"

namespace {

constexpr int kPieceGrid = 32;

// One locked picture region read as bytes R, G, B, A.
class LockedPixels {
public:
    LockedPixels(ALLEGRO_BITMAP* picture, int x, int y, int w, int h)
        : picture_(picture),
          region_(al_lock_bitmap_region(picture, x, y, w, h, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE,
                                        ALLEGRO_LOCK_READONLY)) {}
    ~LockedPixels() {
        if (region_ != nullptr) al_unlock_bitmap(picture_);
    }
    LockedPixels(const LockedPixels&) = delete;
    LockedPixels& operator=(const LockedPixels&) = delete;

    bool ok() const { return region_ != nullptr; }
    const unsigned char* at(int x, int y) const {
        return static_cast<const unsigned char*>(region_->data) + y * region_->pitch + 4 * x;
    }
    bool blank(int x, int y) const {
        const unsigned char* p = at(x, y);
        return (p[0] | p[1] | p[2] | p[3]) == 0;
    }
    bool opaque(int x, int y) const { return at(x, y)[3] == 255; }

private:
    ALLEGRO_BITMAP* picture_;
    ALLEGRO_LOCKED_REGION* region_;
};

// Row v of the shape placed at (ox, oy) in the coordinates of the block.
std::uint64_t placedRow(const TileMask& shape, int ox, int oy, int v) {
    const int r = v - oy;
    if (r < 0 || r >= kFrameSize) return 0;
    const std::uint64_t row = shape.rows[r];
    if (ox >= kFrameSize || ox <= -kFrameSize) return 0;
    return ox >= 0 ? row << ox : row >> -ox;
}

PixelRect boundingBox(const std::uint64_t rows[kFrameSize]) {
    int left = kFrameSize, right = -1, top = kFrameSize, bottom = -1;
    for (int v = 0; v < kFrameSize; ++v) {
        if (rows[v] == 0) continue;
        top = std::min(top, v);
        bottom = v;
        for (int u = 0; u < kFrameSize; ++u) {
            if ((rows[v] >> u) & 1u) {
                left = std::min(left, u);
                right = std::max(right, u);
            }
        }
    }
    if (bottom < 0) return PixelRect{};
    return PixelRect{left, top, right - left + 1, bottom - top + 1};
}

bool gridCellBlank(const LockedPixels& pixels, int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (!pixels.blank(x, y)) return false;
    return true;
}

}  // namespace

const CoverNeighbour kCoverNeighbourOffsets[kCoverNeighbours] = {
    {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, -1}, {1, 0, -1}, {0, 1, -1}, {1, 1, -1},
};

bool TileMask::operator==(const TileMask& other) const {
    return std::equal(std::begin(rows), std::end(rows), std::begin(other.rows));
}

bool PixelRect::overlaps(const PixelRect& o) const {
    return !isEmpty() && !o.isEmpty() && x < o.x + o.w && o.x < x + w && y < o.y + o.h &&
           o.y < y + h;
}

bool readFrameMask(ALLEGRO_BITMAP* picture, int sx, int sy, TileMask* mask) {
    LockedPixels pixels(picture, sx, sy, kFrameSize, kFrameSize);
    if (!pixels.ok()) return false;
    bool twoLevel = true;
    for (int y = 0; y < kFrameSize; ++y) {
        std::uint64_t row = 0;
        for (int x = 0; x < kFrameSize; ++x) {
            if (pixels.blank(x, y)) continue;
            row |= std::uint64_t{1} << x;
            if (!pixels.opaque(x, y)) twoLevel = false;
        }
        mask->rows[y] = row;
    }
    return twoLevel;
}

bool hasTwoLevelAlpha(ALLEGRO_BITMAP* picture) {
    const int w = al_get_bitmap_width(picture), h = al_get_bitmap_height(picture);
    LockedPixels pixels(picture, 0, 0, w, h);
    if (!pixels.ok()) return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!pixels.blank(x, y) && !pixels.opaque(x, y)) return false;
    return true;
}

void computeVisibleParts(const TileMask& shape, PixelRect parts[kCoverSets]) {
    for (int set = 0; set < kCoverSets; ++set) {
        std::uint64_t visible[kFrameSize];
        for (int v = 0; v < kFrameSize; ++v) {
            std::uint64_t covered = 0;
            for (int i = 0; i < kCoverNeighbours; ++i) {
                if (!((set >> i) & 1)) continue;
                const CoverNeighbour& n = kCoverNeighbourOffsets[i];
                covered |= placedRow(shape, screenShiftX(n.dx, n.dy),
                                     screenShiftY(n.dx, n.dy, n.dLevel), v);
            }
            visible[v] = shape.rows[v] & ~covered;
        }
        parts[set] = boundingBox(visible);
    }
}

int nonBlankPieces(ALLEGRO_BITMAP* picture, PixelRect* pieces, int capacity) {
    const int w = al_get_bitmap_width(picture), h = al_get_bitmap_height(picture);
    LockedPixels pixels(picture, 0, 0, w, h);
    if (!pixels.ok() || capacity < 1) return 0;
    int count = 0;
    for (int y = 0; y < h; y += kPieceGrid) {
        const int ch = std::min(kPieceGrid, h - y);
        for (int x = 0; x < w; x += kPieceGrid) {
            const int cw = std::min(kPieceGrid, w - x);
            if (gridCellBlank(pixels, x, y, cw, ch)) continue;
            PixelRect* last = count > 0 ? &pieces[count - 1] : nullptr;
            if (last != nullptr && last->y == y && last->x + last->w == x) {
                last->w += cw;
            } else if (count < capacity) {
                pieces[count++] = PixelRect{x, y, cw, ch};
            } else {
                // Out of room: one piece for the whole picture still draws it all.
                pieces[0] = PixelRect{0, 0, w, h};
                return 1;
            }
        }
    }
    return count;
}

// The shapes of the loaded pictures: which pixels of a tile frame show, and
// how much of a block its neighbours drawn later leave to be seen.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>

constexpr int kFrameSize = 64;  // tile frames are 64 x 64

// Pixels of one 64 x 64 frame that are not blank (all four channels zero):
// bit x of rows[y].
struct TileMask {
    std::uint64_t rows[kFrameSize] = {};
    bool operator==(const TileMask& other) const;
};

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool isEmpty() const { return w <= 0 || h <= 0; }
    bool overlaps(const PixelRect& other) const;
};

// Reads the mask of the frame at (sx, sy) of a picture; false when a pixel
// there is neither blank nor fully opaque.
bool readFrameMask(ALLEGRO_BITMAP* picture, int sx, int sy, TileMask* mask);
// True when every pixel of the picture is blank or fully opaque.
bool hasTwoLevelAlpha(ALLEGRO_BITMAP* picture);

// The neighbours drawn after a block that can hide part of it: at the same
// level (+x, +y, both), and one level up (straight above, and above those).
struct CoverNeighbour {
    int dx, dy, dLevel;
};
constexpr int kCoverNeighbours = 7;
constexpr int kCoverSets = 1 << kCoverNeighbours;
extern const CoverNeighbour kCoverNeighbourOffsets[kCoverNeighbours];

// For every set of covering neighbours (bit i: neighbour i is an opaque block
// of the given shape), the bounding box of what they leave visible of a block
// of that shape; empty when they hide it whole.
void computeVisibleParts(const TileMask& shape, PixelRect parts[kCoverSets]);

// Rectangles that together hold every pixel of a picture that is not blank,
// at most `capacity` of them; returns how many. Blank cells of a coarse grid
// are left out, runs of non-blank cells along a row are merged.
int nonBlankPieces(ALLEGRO_BITMAP* picture, PixelRect* pieces, int capacity);

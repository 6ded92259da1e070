// Geometry of a 64 x 64 isometric cube tile and the coordinates of its faces.
//
// Top diamond rows 0..15 span x = 31 - 2r .. 32 + 2r (rows 16..31 mirror them),
// so diamonds tile the 64 x 32 grid exactly, with no gap and no overlap. Each side
// face hangs 32 px below the diamond's lower edge, which makes stacked cubes meet
// the top face of the cube below without a seam.
#pragma once

constexpr int kTileSize = 64;
constexpr int kFaceUnits = 32;  // texture units across a face, in both directions

enum class Face { None, Top, Left, Right };

// Which rim of its face a pixel lies on; materials use it for the bevel that
// makes each cube read as a cube.
enum class Rim { None, TopBack, TopFront, SideFront, SideOuter, SideBottom };

struct CubePixel {
    Face face = Face::None;
    double s = 0, t = 0;  // face texture coordinates, 0..32 each
    Rim rim = Rim::None;
};

// Lowest top-face row in column x of the tile's left half (0..31).
inline int diamondBottomRow(int x) { return (x + 31) / 2; }
// Highest top-face row in column x of the left half.
inline int diamondTopRow(int x) { return (32 - x) / 2; }

inline bool inTopFace(int px, int py) {
    if (px < 0 || px > 63 || py < 0 || py > 31) return false;
    const int x = px < 32 ? px : 63 - px;
    return py >= diamondTopRow(x) && py <= diamondBottomRow(x) && x >= 1;
}

// Top face: s runs along the world x axis (towards the right corner), t along
// the world y axis (towards the left corner). Side faces: s runs left to right
// across the face, t downwards from the face's upper edge.
CubePixel classifyCubePixel(int px, int py);

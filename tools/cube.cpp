// Classifies each pixel of a cube tile into its face and face coordinates.
#include "tools/cube.h"

namespace {

CubePixel topPixel(int px, int py) {
    CubePixel p;
    p.face = Face::Top;
    const double cx = px + 0.5 - 32.0, cy = py + 0.5;
    p.s = cy + cx / 2;
    p.t = cy - cx / 2;
    if (!inTopFace(px, py - 1)) p.rim = Rim::TopBack;
    else if (!inTopFace(px, py + 1)) p.rim = Rim::TopFront;
    return p;
}

CubePixel sidePixel(int px, int py) {
    const bool left = px < 32;
    const int x = left ? px : 63 - px;
    const int top = diamondBottomRow(x) + 1;
    CubePixel p;
    if (py < top || py >= top + 32) return p;
    p.face = left ? Face::Left : Face::Right;
    p.s = left ? px + 0.5 : px - 32 + 0.5;
    p.t = py - top + 0.5;
    if (py == top + 31) p.rim = Rim::SideBottom;
    else if (x == 31) p.rim = Rim::SideFront;
    else if (x == 0) p.rim = Rim::SideOuter;
    return p;
}

}  // namespace

CubePixel classifyCubePixel(int px, int py) {
    if (inTopFace(px, py)) return topPixel(px, py);
    return sidePixel(px, py);
}

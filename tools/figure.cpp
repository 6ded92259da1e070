// Draws the figure from simple body parts into an indexed canvas, then outlines
// and colours it with one of the looks.
#include "tools/figure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tools/palette.h"

namespace {

enum Ink : std::uint8_t {
    kNone,
    kSkin,
    kSkinShade,
    kHair,
    kHairShade,
    kShirt,
    kShirtShade,
    kShirtLight,
    kTrousers,
    kTrousersShade,
    kShoes,
    kEye,
    kAccent,
    kAccentShade,
    kWood,
    kMetal,
    kMetalLight,
    kLeather,
    kLeatherShade,
    kStrap,
    kOutline
};

struct Look {
    std::uint32_t skin, skinShade, hair, hairShade, shirt, shirtShade, shirtLight, trousers,
        trousersShade, shoes, accent, accentShade;
    int headwear;  // 0 hair only, 1 helmet, 2 cap, 3 hood
};

// Seven looks, each in two outfits: the second column group (the one a run
// starts with) wears the first list, the other group the second.
const Look kLooksMain[kLooks] = {
    {0xf0c8a0, 0xc89a78, 0x6a4020, 0x4a2a14, 0x3a78c8, 0x28549a, 0x62a0e8, 0x6a4a30, 0x4a3220,
     0x3a2a20, 0xd8b040, 0xa08020, 0},
    {0xe8b890, 0xc08a68, 0x3a2a20, 0x24180f, 0xe07820, 0xb05410, 0xf8a040, 0x4a4a58, 0x30303c,
     0x2a2420, 0xf0d020, 0xb89810, 1},
    {0xf4d0b0, 0xcca080, 0xe8c860, 0xb89a38, 0x4a9a3a, 0x2e7428, 0x72c056, 0x7a5a38, 0x56402a,
     0x3e2e22, 0x8a5a2a, 0x643e1a, 0},
    {0xd8a880, 0xb08060, 0x20181c, 0x100c10, 0xc83030, 0x962020, 0xe85a4a, 0x34343e, 0x22222a,
     0x1e1e24, 0xe8e0d0, 0xb0a898, 2},
    {0xf0c8a8, 0xc89c80, 0xd06a2a, 0xa04a18, 0x7a48b0, 0x583088, 0xa070d8, 0x5a4a6a, 0x3e3250,
     0x302838, 0xe8c050, 0xb09030, 0},
    {0x8a5a3a, 0x6a4228, 0x1a1414, 0x0e0a0a, 0xe8e4dc, 0xb8b4ac, 0xffffff, 0x2a8a8a, 0x1e6464,
     0x2a2020, 0xd04040, 0x982828, 0},
    {0xf4d4c0, 0xcca894, 0x8a6a4a, 0x6a4a30, 0x7ab8e0, 0x5890c0, 0xa8d8f8, 0x5a5e6a, 0x40444e,
     0x4a3a30, 0xf4f4f8, 0xc8ccd8, 3},
};
const Look kLooksOther[kLooks] = {
    {0xf0c8a0, 0xc89a78, 0x6a4020, 0x4a2a14, 0xd8d0b8, 0xa8a088, 0xf4f0e0, 0x3a5a8a, 0x28406a,
     0x3a2a20, 0x8a5a2a, 0x643e1a, 2},
    {0xe8b890, 0xc08a68, 0x3a2a20, 0x24180f, 0x5a6a3a, 0x404c28, 0x7a8c52, 0x4a3a2a, 0x30261c,
     0x2a2420, 0xf0d020, 0xb89810, 1},
    {0xf4d0b0, 0xcca080, 0xe8c860, 0xb89a38, 0xb8843a, 0x8a6028, 0xd8a458, 0x3e5a30, 0x2a4020,
     0x3e2e22, 0x4a9a3a, 0x2e7428, 3},
    {0xd8a880, 0xb08060, 0x20181c, 0x100c10, 0x2a2a34, 0x1a1a22, 0x44444e, 0x8a2020, 0x601616,
     0x1e1e24, 0xc83030, 0x962020, 0},
    {0xf0c8a8, 0xc89c80, 0xd06a2a, 0xa04a18, 0x3a9a8a, 0x287066, 0x5ac0ae, 0x6a4a3a, 0x4a3228,
     0x302838, 0x7a48b0, 0x583088, 2},
    {0x8a5a3a, 0x6a4228, 0x1a1414, 0x0e0a0a, 0xe8b830, 0xb88a18, 0xf8d860, 0x3a3a48, 0x26262e,
     0x2a2020, 0x2a8a8a, 0x1e6464, 1},
    {0xf4d4c0, 0xcca894, 0x8a6a4a, 0x6a4a30, 0xc84848, 0x983030, 0xe87070, 0x3a4a6a, 0x28344c,
     0x4a3a30, 0xf4f4f8, 0xc8ccd8, 3},
};

struct Canvas {
    int width, height;
    std::uint8_t ink[64 * 64] = {};
    Canvas(int w, int h) : width(w), height(h) {}
    void dot(int x, int y, Ink i) {
        if (x >= 0 && y >= 0 && x < width && y < height) ink[y * 64 + x] = i;
    }
    Ink at(int x, int y) const {
        return (x >= 0 && y >= 0 && x < width && y < height) ? Ink(ink[y * 64 + x]) : kNone;
    }
    void rect(int x, int y, int w, int h, Ink i) {
        for (int j = y; j < y + h; ++j)
            for (int k = x; k < x + w; ++k) dot(k, j, i);
    }
    void line(int x0, int y0, int x1, int y1, Ink i) {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int k = 0; k <= steps; ++k) {
            const double t = steps ? double(k) / steps : 0;
            dot(int(std::lround(x0 + (x1 - x0) * t)), int(std::lround(y0 + (y1 - y0) * t)), i);
        }
    }
    // A dark rim round the figure so it reads against any ground.
    void outline() {
        const Canvas copy = *this;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (copy.at(x, y) != kNone) continue;
                if (copy.at(x - 1, y) || copy.at(x + 1, y) || copy.at(x, y - 1) ||
                    copy.at(x, y + 1))
                    dot(x, y, kOutline);
            }
    }
};

// Where the body is and how its limbs are set in one frame. x positions are
// relative to `axis`, the left one of the body's two middle columns.
struct Pose {
    int axis = 9;
    int feet = 54;      // bottom row of the shoes
    bool back = false;  // seen from behind (facing up-left)
    int stride = 0;     // > 0: near leg forward (left); < 0: far leg forward
    int bob = 0;        // body raised by this many pixels
    int swing = 0;      // tool: 0 none, 1 raised, 2 struck
};

void drawLeg(Canvas& c, int x, int hip, int feet, Ink cloth, Ink shade, bool back) {
    c.rect(x, hip, 3, feet - 2 - hip, cloth);
    c.rect(x + 2, hip, 1, feet - 2 - hip, shade);
    c.rect(back ? x : x - 1, feet - 2, 4, 3, kShoes);
}

void drawLegs(Canvas& c, const Pose& p, int hip) {
    const int a = p.axis;
    const int nearX = a - 3 - p.stride, farX = a + 1 + p.stride;
    const int nearFeet = p.feet - (p.stride < 0 ? 1 : 0), farFeet = p.feet - (p.stride > 0 ? 1 : 0);
    drawLeg(c, farX, hip, farFeet, kTrousersShade, kTrousersShade, p.back);
    drawLeg(c, nearX, hip, nearFeet, kTrousers, kTrousersShade, p.back);
}

void drawTorso(Canvas& c, const Pose& p, int top, int hip) {
    const int a = p.axis;
    c.rect(a - 4, top, 10, hip - top, kShirt);
    c.rect(a + 4, top, 2, hip - top, kShirtShade);
    c.rect(a - 4, top + 1, 1, hip - top - 3, kShirtLight);
    c.rect(a - 4, hip - 2, 10, 2, kAccentShade);
    if (p.back) {
        // A small pack on the back tells the back view from the front at a glance.
        c.rect(a - 2, top + 2, 7, 8, kAccent);
        c.rect(a + 3, top + 2, 2, 8, kAccentShade);
        c.rect(a - 2, top + 5, 7, 1, kAccentShade);
    } else {
        c.rect(a - 3, top, 3, 2, kSkin);
        c.dot(a - 2, top + 2, kSkin);
        c.rect(a - 3, hip - 2, 2, 1, kAccent);
    }
}

void drawFarArm(Canvas& c, const Pose& p, int shoulder, int shift) {
    c.rect(p.axis + 5, shoulder + 1 + shift, 2, 10, kShirtShade);
    c.rect(p.axis + 5, shoulder + 11 + shift, 2, 2, kSkinShade);
}

void drawNearArm(Canvas& c, const Pose& p, int shoulder, int shift) {
    const int x = p.axis - 6 + shift;
    c.rect(x, shoulder + 1, 3, 10, kShirt);
    c.rect(x + 2, shoulder + 2, 1, 9, kShirtShade);
    c.rect(x, shoulder + 1, 1, 8, kShirtLight);
    c.rect(x, shoulder + 11, 3, 2, kSkin);
}

// A satchel on the left hip, its strap over the right shoulder: the one thing
// about the figure that is not the same on both sides, so that the mirrored
// frames the game draws for two facings differ from the other two. From the
// front the left hip is on the far side, from behind on the near side.
void drawSatchel(Canvas& c, const Pose& p, int shoulder, int hip) {
    const int a = p.axis;
    const int top = hip - 7;
    if (p.back) {
        c.line(a + 4, shoulder, a - 3, top, kStrap);
        c.line(a + 5, shoulder, a - 2, top, kStrap);
        c.rect(a - 8, top, 5, 6, kLeather);
        c.rect(a - 8, top + 4, 5, 2, kLeatherShade);
        c.rect(a - 8, top, 1, 6, kLeatherShade);
    } else {
        c.line(a - 3, shoulder, a + 4, top, kStrap);
        c.line(a - 2, shoulder, a + 5, top, kStrap);
        c.rect(a + 4, top, 5, 6, kLeather);
        c.rect(a + 4, top + 4, 5, 2, kLeatherShade);
        c.rect(a + 8, top, 1, 6, kLeatherShade);
    }
}

void drawHeadwear(Canvas& c, const Pose& p, int top, int headwear) {
    const int x = p.axis - 5;
    if (headwear == 1) {  // helmet with a lamp
        c.rect(x - 1, top - 2, 14, 4, kAccent);
        c.rect(x + 1, top - 3, 10, 1, kAccent);
        c.rect(x + 9, top - 2, 4, 4, kAccentShade);
        c.rect(x - 1, top + 1, 14, 1, kAccentShade);
        if (!p.back) c.rect(x, top - 1, 2, 2, kMetalLight);
    } else if (headwear == 2) {  // cap with a peak pointing the way the figure looks
        c.rect(x, top - 2, 12, 3, kAccent);
        c.rect(x + 9, top - 2, 3, 3, kAccentShade);
        c.rect(x + 1, top - 3, 9, 1, kAccent);
        if (!p.back) c.rect(x - 3, top + 1, 6, 1, kAccentShade);
    } else if (headwear == 3) {  // fur-rimmed hood
        c.rect(x - 1, top - 2, 14, 3, kAccent);
        c.rect(x + 9, top - 2, 4, 12, kAccent);
        c.rect(x + 12, top - 1, 1, 10, kAccentShade);
        if (p.back)
            c.rect(x - 1, top - 2, 14, 12, kAccent), c.rect(x + 10, top - 1, 3, 11, kAccentShade);
    }
}

void drawHead(Canvas& c, const Pose& p, int top, int headwear) {
    const int x = p.axis - 5;
    c.rect(x, top, 12, 11, kSkin);
    c.rect(x + 11, top + 1, 1, 10, kSkinShade);
    if (p.back) {
        c.rect(x, top - 1, 12, 10, kHair);
        c.rect(x + 9, top, 3, 9, kHairShade);
        c.rect(x + 1, top + 1, 3, 1, kHairShade);
        c.rect(x, top + 5, 1, 4, kSkinShade);
    } else {
        c.rect(x, top - 1, 12, 4, kHair);
        c.rect(x + 7, top, 5, 8, kHair);
        c.rect(x + 10, top + 2, 2, 7, kHairShade);
        c.rect(x + 1, top, 4, 1, kHairShade);
        c.rect(x + 1, top + 5, 1, 2, kEye);
        c.rect(x + 4, top + 5, 1, 2, kEye);
        c.dot(x - 1, top + 6, kSkin);  // the nose shows which way the figure looks
        c.dot(x + 2, top + 9, kSkinShade);
        c.rect(x + 8, top + 5, 1, 2, kSkinShade);
    }
    drawHeadwear(c, p, top, headwear);
}

void drawPickaxe(Canvas& c, int gripX, int gripY, int endX, int endY, int headX0, int headY0,
                 int headX1, int headY1) {
    c.line(gripX, gripY, endX, endY, kWood);
    c.line(headX0, headY0, headX1, headY1, kMetal);
    c.line(headX0, headY0 - 1, headX1, headY1 - 1, kMetal);
    c.dot(headX0, headY0 - 1, kMetalLight);
    c.dot(headX1, headY1, kMetalLight);
}

void drawFigure(Canvas& c, const Pose& p, int headwear) {
    const int a = p.axis;
    const int hip = p.feet - 13 - p.bob, shoulder = hip - 14, head = shoulder - 11;
    const int armShift = p.stride > 0 ? 1 : p.stride < 0 ? -1 : 0;
    if (p.swing == 1)
        drawPickaxe(c, a + 2, shoulder - 4, a + 9, shoulder - 12, a + 5, shoulder - 15, a + 12,
                    shoulder - 9);
    if (p.swing == 0) drawFarArm(c, p, shoulder, armShift);
    drawLegs(c, p, hip);
    drawTorso(c, p, shoulder, hip + 1);
    drawHead(c, p, head, headwear);
    if (!p.back) drawSatchel(c, p, shoulder, hip);
    if (p.swing == 0) {
        drawNearArm(c, p, shoulder, -armShift);
    } else if (p.swing == 1) {
        c.rect(a + 1, shoulder - 4, 3, 7, kShirt);
        c.rect(a + 3, shoulder - 3, 1, 6, kShirtShade);
        c.rect(a + 1, shoulder - 5, 3, 2, kSkin);
    } else {
        drawPickaxe(c, a - 6, shoulder + 8, a - 9, shoulder + 12, a - 11, shoulder + 7, a - 7,
                    shoulder + 15);
        c.rect(a - 6, shoulder + 3, 6, 3, kShirt);
        c.rect(a - 6, shoulder + 5, 6, 1, kShirtShade);
        c.rect(a - 8, shoulder + 4, 2, 3, kSkin);
    }
    if (p.back) drawSatchel(c, p, shoulder, hip);
}

void drawSitting(Canvas& c, const Pose& p, int headwear) {
    const int a = p.axis;
    const int seat = p.feet - 3, shoulder = seat - 13, head = shoulder - 11;
    c.rect(a + 5, shoulder + 3, 2, seat - shoulder - 1,
           kShirtShade);  // the far arm props the figure up
    c.rect(a + 5, seat + 1, 3, 2, kSkinShade);
    c.rect(a - 14, seat - 2, 14, 4, kTrousers);
    c.rect(a - 14, seat + 1, 14, 1, kTrousersShade);
    c.rect(a - 16, seat - 6, 3, 7, kShoes);
    c.rect(a - 16, seat + 1, 4, 1, kShoes);
    drawTorso(c, p, shoulder, seat + 1);
    drawHead(c, p, head, headwear);
    if (!p.back) drawSatchel(c, p, shoulder, seat + 1);
    c.rect(a - 6, shoulder + 1, 3, 8, kShirt);
    c.rect(a - 4, shoulder + 2, 1, 7, kShirtShade);
    c.rect(a - 7, shoulder + 9, 3, 2, kSkin);
    if (p.back) drawSatchel(c, p, shoulder, seat + 1);
}

Rgb inkColour(Ink ink, const Look& look) {
    switch (ink) {
        case kSkin:
            return hex(look.skin);
        case kSkinShade:
            return hex(look.skinShade);
        case kHair:
            return hex(look.hair);
        case kHairShade:
            return hex(look.hairShade);
        case kShirt:
            return hex(look.shirt);
        case kShirtShade:
            return hex(look.shirtShade);
        case kShirtLight:
            return hex(look.shirtLight);
        case kTrousers:
            return hex(look.trousers);
        case kTrousersShade:
            return hex(look.trousersShade);
        case kShoes:
            return hex(look.shoes);
        case kEye:
            return hex(0x1a1420);
        case kAccent:
            return hex(look.accent);
        case kAccentShade:
            return hex(look.accentShade);
        case kWood:
            return hex(0x9a6a32);
        case kMetal:
            return hex(0x8a9098);
        case kMetalLight:
            return hex(0xe8eef4);
        case kLeather:
            return hex(0xa06a34);
        case kLeatherShade:
            return hex(0x6e4420);
        case kStrap:
            return hex(0x4a2c14);
        case kOutline:
            return hex(0x1c1622);
        default:
            return kClear;
    }
}

void stamp(Image& sheet, const Canvas& c, int x0, int y0, const Look& look) {
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const Ink ink = c.at(x, y);
            if (ink != kNone) sheet.set(x0 + x, y0 + y, visible(inkColour(ink, look)));
        }
}

using FramePainter = void (*)(Canvas&, bool back, int frame, int headwear);

void paintStanding(Canvas& c, bool back, int, int headwear) {
    Pose p;
    p.back = back;
    drawFigure(c, p, headwear);
}

// A step shows frame 0 for two ticks, then 1, 2 and 3 for five ticks each.
void paintWalking(Canvas& c, bool back, int frame, int headwear) {
    static const int strides[4] = {1, 2, 0, -2};
    static const int bobs[4] = {0, 0, 1, 0};
    Pose p;
    p.axis = 13;
    p.feet = 55;
    p.back = back;
    p.stride = strides[frame];
    p.bob = bobs[frame];
    drawFigure(c, p, headwear);
}

void paintResting(Canvas& c, bool back, int, int headwear) {
    Pose p;
    p.axis = 22;
    p.feet = 34;
    p.back = back;
    drawSitting(c, p, headwear);
}

// The game shifts acting frames left by 4 (wind-up) and 2 (strike) pixels, so
// the body sits 2 px further right in the wind-up and stays put on screen.
void paintActing(Canvas& c, bool back, int frame, int headwear) {
    Pose p;
    p.axis = frame == 0 ? 13 : 11;
    p.back = back;
    p.swing = frame == 0 ? 1 : 2;
    p.stride = frame == 0 ? 0 : 1;
    drawFigure(c, p, headwear);
}

Image buildSheet(const SheetLayout& layout, FramePainter paint) {
    const int perGroup = 2 * layout.framesPerFacing;
    Image sheet(layout.frameWidth * perGroup * 2, layout.frameHeight * kLooks);
    for (int row = 0; row < kLooks; ++row) {
        for (int group = 0; group < 2; ++group) {
            const Look& look = group == 1 ? kLooksMain[row] : kLooksOther[row];
            for (int col = 0; col < perGroup; ++col) {
                Canvas canvas(layout.frameWidth, layout.frameHeight);
                const bool back = col >= layout.framesPerFacing;
                paint(canvas, back, col % layout.framesPerFacing, look.headwear);
                canvas.outline();
                stamp(sheet, canvas, (group * perGroup + col) * layout.frameWidth,
                      row * layout.frameHeight, look);
            }
        }
    }
    return sheet;
}

}  // namespace

Image makePlayerSheet(int sheet) {
    switch (sheet) {
        case 2:
            return buildSheet(kWalkingSheet, paintWalking);
        case 3:
            return buildSheet(kRestingSheet, paintResting);
        case 4:
            return buildSheet(kActingSheet, paintActing);
        default:
            return buildSheet(kStandingSheet, paintStanding);
    }
}

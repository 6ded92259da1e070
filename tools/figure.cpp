// Draws the figure from simple body parts into an indexed canvas, then outlines
// and colours it with one of the looks.
#include "tools/figure.h"

#include <cstdint>
#include <algorithm>

#include "tools/palette.h"

namespace {

enum Ink : std::uint8_t {
    kNone, kSkin, kSkinShade, kHair, kHairShade, kShirt, kShirtShade, kShirtLight, kTrousers,
    kTrousersShade, kShoes, kEye, kAccent, kAccentShade, kWood, kMetal, kMetalLight, kOutline, kInkCount
};

struct Look {
    std::uint32_t skin, skinShade, hair, hairShade, shirt, shirtShade, shirtLight, trousers, trousersShade, shoes,
        accent, accentShade;
    int headwear;   // 0 hair only, 1 helmet, 2 cap, 3 hood
};

// Seven looks; the second column group wears the alternative outfit of each.
const Look kLooksMain[kLooks] = {
    {0xf0c8a0, 0xc89a78, 0x6a4020, 0x4a2a14, 0x3a78c8, 0x28549a, 0x62a0e8, 0x6a4a30, 0x4a3220, 0x3a2a20, 0xd8b040, 0xa08020, 0},
    {0xe8b890, 0xc08a68, 0x3a2a20, 0x24180f, 0xe07820, 0xb05410, 0xf8a040, 0x4a4a58, 0x30303c, 0x2a2420, 0xf0d020, 0xb89810, 1},
    {0xf4d0b0, 0xcca080, 0xe8c860, 0xb89a38, 0x4a9a3a, 0x2e7428, 0x72c056, 0x7a5a38, 0x56402a, 0x3e2e22, 0x8a5a2a, 0x643e1a, 0},
    {0xd8a880, 0xb08060, 0x20181c, 0x100c10, 0xc83030, 0x962020, 0xe85a4a, 0x34343e, 0x22222a, 0x1e1e24, 0xe8e0d0, 0xb0a898, 2},
    {0xf0c8a8, 0xc89c80, 0xd06a2a, 0xa04a18, 0x7a48b0, 0x583088, 0xa070d8, 0x5a4a6a, 0x3e3250, 0x302838, 0xe8c050, 0xb09030, 0},
    {0x8a5a3a, 0x6a4228, 0x1a1414, 0x0e0a0a, 0xe8e4dc, 0xb8b4ac, 0xffffff, 0x2a8a8a, 0x1e6464, 0x2a2020, 0xd04040, 0x982828, 0},
    {0xf4d4c0, 0xcca894, 0x8a6a4a, 0x6a4a30, 0x7ab8e0, 0x5890c0, 0xa8d8f8, 0x5a5e6a, 0x40444e, 0x4a3a30, 0xf4f4f8, 0xc8ccd8, 3},
};

std::uint32_t brighten(std::uint32_t colour, int delta) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int channel = std::clamp(int((colour >> shift) & 0xFF) + delta, 1, 255);
        out |= std::uint32_t(channel) << shift;
    }
    return out;
}

Look alternative(const Look& look) {
    Look alt = look;
    alt.shirt = look.trousers;
    alt.shirtShade = look.trousersShade;
    alt.shirtLight = brighten(look.trousers, 28);
    alt.trousers = look.shirtShade;
    alt.trousersShade = brighten(look.shirtShade, -30);
    alt.headwear = look.headwear == 0 ? 2 : look.headwear == 2 ? 0 : look.headwear;
    return alt;
}

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
    // A part lit from the left: its rightmost column in the shade ink.
    void litRect(int x, int y, int w, int h, Ink main, Ink shade) {
        rect(x, y, w, h, main);
        rect(x + w - 1, y, 1, h, shade);
    }
    void outline() {
        Canvas copy = *this;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (copy.at(x, y) != kNone) continue;
                if (copy.at(x - 1, y) || copy.at(x + 1, y) || copy.at(x, y - 1) || copy.at(x, y + 1)) dot(x, y, kOutline);
            }
    }
};

// Where the body is and how its limbs are set in one frame.
struct Pose {
    int axis = 9;          // left pixel of the body's two middle columns
    int feet = 54;         // bottom row of the shoes
    bool back = false;     // seen from behind (facing up-left)
    int stride = 0;        // + puts the near leg forward (left), - the far leg
    int bob = 0;           // body raised by this many pixels
    int swing = 0;         // tool: 0 none, 1 raised, 2 struck
};

void drawLegs(Canvas& c, const Pose& p, int hip) {
    const int nearX = p.axis - 3 - p.stride, farX = p.axis + 1 + p.stride;
    const int nearLift = p.stride > 0 ? 1 : 0, farLift = p.stride < 0 ? 1 : 0;
    c.litRect(farX, hip, 3, p.feet - 2 - hip - farLift, kTrousersShade, kTrousersShade);
    c.litRect(nearX, hip, 3, p.feet - 2 - hip - nearLift, kTrousers, kTrousersShade);
    c.rect(farX - (p.back ? 0 : 1), p.feet - 2 - farLift, 4, 3, kShoes);
    c.rect(nearX - (p.back ? 0 : 1), p.feet - 2 - nearLift, 4, 3, kShoes);
}

void drawTorso(Canvas& c, const Pose& p, int top, int hip) {
    c.litRect(p.axis - 4, top, 10, hip - top, kShirt, kShirtShade);
    c.rect(p.axis - 4, top, 1, hip - top - 2, kShirtLight);
    c.rect(p.axis - 4, hip - 2, 10, 1, kAccentShade);
    if (!p.back) c.dot(p.axis - 2, hip - 2, kAccent);
}

void drawArm(Canvas& c, int x, int top, int length, Ink cloth, Ink hand) {
    c.rect(x, top, 2, length - 2, cloth);
    c.rect(x, top + length - 2, 2, 2, hand);
}

void drawHead(Canvas& c, const Pose& p, int top, int headwear) {
    const int x = p.axis - 5;
    c.litRect(x, top, 12, 11, kSkin, kSkinShade);
    if (p.back) {
        c.rect(x, top, 12, 10, kHair);
        c.rect(x + 9, top + 1, 3, 9, kHairShade);
        c.rect(x + 1, top + 6, 1, 3, kSkinShade);
    } else {
        c.rect(x, top, 12, 3, kHair);
        c.rect(x + 7, top, 5, 8, kHair);
        c.rect(x + 10, top + 2, 2, 6, kHairShade);
        c.rect(x + 1, top + 5, 1, 2, kEye);
        c.rect(x + 4, top + 5, 1, 2, kEye);
        c.dot(x + 2, top + 8, kSkinShade);
        c.dot(x + 8, top + 5, kSkinShade);
    }
    if (headwear == 1) {
        c.rect(x - 1, top - 2, 14, 4, kAccent);
        c.rect(x + 1, top - 3, 10, 1, kAccent);
        c.rect(x + 9, top - 2, 4, 4, kAccentShade);
        if (!p.back) c.rect(x + 1, top - 1, 2, 2, kMetalLight);
    } else if (headwear == 2) {
        c.rect(x, top - 2, 12, 3, kAccent);
        c.rect(x + 9, top - 2, 3, 3, kAccentShade);
        if (!p.back) c.rect(x - 3, top, 5, 1, kAccentShade);
    } else if (headwear == 3) {
        c.rect(x - 1, top - 1, 14, 3, kAccent);
        c.rect(x + 10, top - 1, 3, 11, kAccent);
        c.rect(x + 12, top, 1, 10, kAccentShade);
        if (p.back) c.rect(x - 1, top - 1, 14, 11, kAccent);
    }
    c.rect(x, top - 1, 12, 1, headwear ? kNone : kHair);
}

void drawTool(Canvas& c, const Pose& p, int shoulder) {
    if (p.swing == 1) {
        const int hx = p.axis + 6, hy = shoulder - 10;
        for (int i = 0; i < 12; ++i) c.dot(hx - i / 3, hy + i, kWood);
        c.rect(hx - 4, hy - 2, 9, 2, kMetal);
        c.dot(hx - 5, hy - 1, kMetalLight);
        c.dot(hx + 5, hy - 1, kMetalLight);
    } else if (p.swing == 2) {
        const int hx = p.axis - 6, hy = shoulder + 6;
        for (int i = 0; i < 10; ++i) c.dot(hx + i, hy - i / 3, kWood);
        c.rect(hx - 1, hy - 4, 2, 9, kMetal);
        c.dot(hx - 1, hy + 5, kMetalLight);
    }
}

void drawStanding(Canvas& c, const Pose& p, int headwear) {
    const int hip = p.feet - 13 - p.bob, shoulder = hip - 14, head = shoulder - 12;
    drawLegs(c, p, hip);
    const int armSwing = p.stride;
    if (p.swing == 0) drawArm(c, p.axis + 6, shoulder + 1 - (armSwing < 0 ? 1 : 0), 12, kShirtShade, kSkinShade);
    drawTorso(c, p, shoulder, hip + 1);
    drawHead(c, p, head, headwear);
    if (p.swing == 0) {
        drawArm(c, p.axis - 6 + (armSwing > 0 ? 1 : armSwing < 0 ? -1 : 0), shoulder + 1, 12, kShirt, kSkin);
    } else {
        drawTool(c, p, shoulder);
        if (p.swing == 1) drawArm(c, p.axis + 4, shoulder - 6, 9, kShirt, kSkin);
        else c.rect(p.axis - 7, shoulder + 3, 6, 3, kShirt), c.rect(p.axis - 8, shoulder + 3, 2, 3, kSkin);
    }
}

void drawSitting(Canvas& c, const Pose& p, int headwear) {
    const int seat = p.feet - 3, shoulder = seat - 14, head = shoulder - 12;
    c.rect(p.axis - 14, seat - 2, 14, 4, p.back ? kTrousersShade : kTrousers);
    c.rect(p.axis - 14, seat + 1, 14, 1, kTrousersShade);
    c.rect(p.axis - 17, seat - 5, 3, 7, kShoes);
    drawTorso(c, p, shoulder, seat + 1);
    drawHead(c, p, head, headwear);
    drawArm(c, p.axis - 6, shoulder + 2, 11, kShirt, kSkin);
}

Rgb inkColour(Ink ink, const Look& look) {
    switch (ink) {
    case kSkin: return hex(look.skin);
    case kSkinShade: return hex(look.skinShade);
    case kHair: return hex(look.hair);
    case kHairShade: return hex(look.hairShade);
    case kShirt: return hex(look.shirt);
    case kShirtShade: return hex(look.shirtShade);
    case kShirtLight: return hex(look.shirtLight);
    case kTrousers: return hex(look.trousers);
    case kTrousersShade: return hex(look.trousersShade);
    case kShoes: return hex(look.shoes);
    case kEye: return hex(0x1a1420);
    case kAccent: return hex(look.accent);
    case kAccentShade: return hex(look.accentShade);
    case kWood: return hex(0x8a5a2a);
    case kMetal: return hex(0x8a9098);
    case kMetalLight: return hex(0xe0e6ee);
    case kOutline: return hex(0x1c1622);
    default: return kClear;
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
    drawStanding(c, p, headwear);
}

void paintWalking(Canvas& c, bool back, int frame, int headwear) {
    static const int strides[4] = {1, 2, 0, -2};
    static const int bobs[4] = {0, 0, 1, 0};
    Pose p;
    p.axis = 13;
    p.feet = 55;
    p.back = back;
    p.stride = strides[frame];
    p.bob = bobs[frame];
    drawStanding(c, p, headwear);
}

void paintResting(Canvas& c, bool back, int, int headwear) {
    Pose p;
    p.axis = 22;
    p.feet = 34;
    p.back = back;
    drawSitting(c, p, headwear);
}

void paintActing(Canvas& c, bool back, int frame, int headwear) {
    Pose p;
    p.axis = frame == 0 ? 13 : 11;
    p.back = back;
    p.swing = frame == 0 ? 1 : 2;
    p.stride = frame == 0 ? 0 : 1;
    drawStanding(c, p, headwear);
}

Image buildSheet(const SheetLayout& layout, FramePainter paint) {
    const int perGroup = 2 * layout.framesPerFacing;
    Image sheet(layout.frameWidth * perGroup * 2, layout.frameHeight * kLooks);
    for (int row = 0; row < kLooks; ++row) {
        for (int group = 0; group < 2; ++group) {
            const Look look = group == 1 ? kLooksMain[row] : alternative(kLooksMain[row]);
            for (int col = 0; col < perGroup; ++col) {
                Canvas canvas(layout.frameWidth, layout.frameHeight);
                const bool back = col >= layout.framesPerFacing;
                paint(canvas, back, col % layout.framesPerFacing, look.headwear);
                canvas.outline();
                stamp(sheet, canvas, (group * perGroup + col) * layout.frameWidth, row * layout.frameHeight, look);
            }
        }
    }
    return sheet;
}

}  // namespace

Image makePlayerSheet(int sheet) {
    switch (sheet) {
    case 2: return buildSheet(kWalkingSheet, paintWalking);
    case 3: return buildSheet(kRestingSheet, paintResting);
    case 4: return buildSheet(kActingSheet, paintActing);
    default: return buildSheet(kStandingSheet, paintStanding);
    }
}

// The compass: two crossed arms along the grid's axes as the projection lays
// them on the screen, each end lettered, on a dark backing.
#include "app/compass.h"

#include "game/settings.h"
#include "render/text.h"
#include "rules/bearings.h"
#include "rules/projection.h"

namespace {

constexpr int kCentreX = 600, kCentreY = 30;  // clear of the frame's border and the chat
constexpr int kArmSteps = 7;                  // two pixels across and one down a step
constexpr int kLetterReach = 24;              // from the centre to a letter's middle, across
constexpr Tint kArmTint{0.85f, 0.85f, 0.85f, 1};
constexpr Tint kNorthTint{1, 0.35f, 0.25f, 1};

int sign(int v) { return (v > 0) - (v < 0); }

// The arm climbs the tile's two-to-one slope toward where one column toward
// the point lands on the screen.
void drawArm(const CompassPoint& point, Tint tint) {
    const int sx = sign(screenShiftX(point.dx, point.dy));
    const int sy = sign(screenShiftY(point.dx, point.dy, 0));
    for (int step = 1; step <= kArmSteps; ++step)
        fillRectangle(kCentreX + sx * 2 * step - (sx < 0 ? 1 : 0), kCentreY + sy * step, 2, 1,
                      tint);
    const char letter[2] = {point.letter, '\0'};
    const int x = kCentreX + sx * kLetterReach - textWidth(letter) / 2;
    const int y = kCentreY + sy * kLetterReach / 2 - textLineHeight() / 2;
    setTint(tint);
    drawText(letter, x, y);
    resetTint();
}

}  // namespace

void drawCompass() {
    if (settings.classic) return;
    const int halfW = kLetterReach + 8, halfH = kLetterReach / 2 + textLineHeight() / 2 + 2;
    drawBacking(kCentreX - halfW, kCentreY - halfH, 2 * halfW, 2 * halfH);
    fillRectangle(kCentreX - 1, kCentreY, 2, 1, kArmTint);
    for (const CompassPoint& point : kCompass)
        drawArm(point, point.letter == 'N' ? kNorthTint : kArmTint);
}

// The compass over the grid and the words for a way to somewhere.
#include "rules/bearings.h"

#include <cmath>
#include <cstdlib>

namespace {

// Clockwise from north, one for each eighth of the circle.
constexpr const char* kEightPoints[8] = {"north", "north-east", "east", "south-east",
                                         "south", "south-west", "west", "north-west"};

}  // namespace

const CompassPoint& compassPointOf(Facing facing) {
    switch (facing) {
        case Facing::Up:
            return kCompass[0];
        case Facing::Right:
            return kCompass[1];
        case Facing::Down:
            return kCompass[2];
        case Facing::Left:
            break;
    }
    return kCompass[3];
}

std::string directionName(int dx, int dy) {
    if (dx == 0 && dy == 0) return "";
    // Clockwise from north: north is toward -y and east toward +x.
    const double turn = std::atan2(static_cast<double>(dx), static_cast<double>(-dy));
    const double eighths = turn / std::atan(1.0);  // -4..4
    const int point = (static_cast<int>(std::lround(eighths)) + 8) % 8;
    return kEightPoints[point];
}

std::string wayTo(const PlayerState& p, int x, int y, int level) {
    const int dx = x - p.x, dy = y - p.y;
    const int climb = heightOf(level) - heightOf(p.level);
    std::string text;
    if (dx != 0 || dy != 0) {
        const long columns = std::lround(std::hypot(dx, dy));
        text = std::to_string(columns) + (columns == 1 ? " column " : " columns ") +
               directionName(dx, dy);
    }
    if (climb != 0) {
        if (!text.empty()) text += ", ";
        text += std::to_string(std::abs(climb)) + (climb > 0 ? " up" : " down");
    }
    return text.empty() ? "here" : text;
}

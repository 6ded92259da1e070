// Spreading: with --spread each bot is given a place of its own and walks
// there, far from the others, before it plays.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "bots/run.h"

namespace bots {

// The bots' places, one a square of a lattice over the world, kept off its
// edges: as far apart as their number allows.
void placeOnLattice(const Run& run, Bot& bot) {
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(run.count))));
    const int columns = bot.session->columns(), rows = bot.session->rows();
    const int cx = bot.index % side, cy = bot.index / side;
    bot.placeX = std::clamp((2 * cx + 1) * columns / (2 * side), 2, std::max(2, columns - 3));
    bot.placeY = std::clamp((2 * cy + 1) * rows / (2 * side), 2, std::max(2, rows - 3));
}

// A spread bot far from its place walks toward it, along the longer way
// first; false when it is near enough to play.
bool walkToPlace(Bot& bot) {
    if (bot.placeX < 0) return false;
    const int dx = bot.placeX - bot.self.x, dy = bot.placeY - bot.self.y;
    // On the way too a player stops now and then to build or dig.
    if (std::max(std::abs(dx), std::abs(dy)) <= kLeash || bot.below(10) < 3) return false;
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const Facing facing =
        alongX ? (dx > 0 ? Facing::Right : Facing::Left) : (dy > 0 ? Facing::Down : Facing::Up);
    const int steps = roomToward(bot, facing, std::min(8, std::abs(alongX ? dx : dy)));
    if (steps == 0) return false;
    walk(bot, facing, steps);
    bot.idleTicks = bot.below(8);
    return true;
}

}  // namespace bots

// Streams of water and lava. A step computes every looked-at cell from the
// cells as they stood before it and only then writes, so the order the cells
// were woken in never matters and a server and a single player agree.
#include "rules/liquids.h"

#include <algorithm>
#include <utility>

namespace {

// A world held back from its steps (the game screen not shown) catches up
// this many ticks at most, so coming back is not one long frame.
constexpr std::uint32_t kMostCatchUp = 2 * kLavaStepTicks;

constexpr int kSideDx[4] = {0, 0, -1, 1};
constexpr int kSideDy[4] = {1, -1, 0, 0};

struct Spot {
    int x, y, level;
};

Spot spotOf(int index) {
    return Spot{index / kStrideX, index % kStrideX / kStrideY, index % kStrideY + kHighestLevel};
}

BlockId otherLiquid(BlockId liquid) { return liquid == Water ? Lava : Water; }

// A source, or a stream still fed: what may feed a neighbour.
bool feeds(BlockId id, BlockId liquid) {
    return id == liquid || (isStream(id) && liquidOf(id) == liquid && streamDrain(id) == 0);
}

int distanceOf(BlockId id) { return isStream(id) ? streamDistance(id) : 0; }

// Only what stays put holds a liquid up: a stream below is still falling.
bool holdsUp(const WorldGrid& grid, int x, int y, int level) {
    if (level >= kLowestLevel) return true;
    const BlockId below = cellOf(grid, x, y, level + 1);
    return below != Empty && !isStream(below);
}

bool touches(const WorldGrid& grid, Spot at, BlockId liquid) {
    if (liquidOf(cellOf(grid, at.x, at.y, at.level - 1)) == liquid) return true;
    if (liquidOf(cellOf(grid, at.x, at.y, at.level + 1)) == liquid) return true;
    for (int n = 0; n < 4; ++n)
        if (liquidOf(cellOf(grid, at.x + kSideDx[n], at.y + kSideDy[n], at.level)) == liquid)
            return true;
    return false;
}

// The distance the cell is fed at, or -1: a liquid above feeds it as a fall,
// one beside it only while resting on something, and never farther than
// `farthest` (a stream takes no feed from as far as itself, or two streams
// would keep each other).
int feedDistance(const WorldGrid& grid, Spot at, BlockId liquid, int farthest) {
    if (feeds(cellOf(grid, at.x, at.y, at.level - 1), liquid)) return 0;
    int best = -1;
    for (int n = 0; n < 4; ++n) {
        const int x = at.x + kSideDx[n], y = at.y + kSideDy[n];
        const BlockId beside = cellOf(grid, x, y, at.level);
        if (!feeds(beside, liquid) || !holdsUp(grid, x, y, at.level)) continue;
        const int distance = distanceOf(beside) + 1;
        if (distance <= farthest && (best < 0 || distance < best)) best = distance;
    }
    return best;
}

// Whether a stream still has cells it feeds (the fall below it, the farther
// cells beside it), or only draining ones: a stream drains from its far end
// back to where it was fed.
bool feedsOthers(const WorldGrid& grid, Spot at, BlockId stream, bool drainingOnly) {
    const BlockId liquid = liquidOf(stream);
    const auto counts = [&](BlockId id) {
        return isStream(id) && liquidOf(id) == liquid && (!drainingOnly || streamDrain(id) > 0);
    };
    if (counts(cellOf(grid, at.x, at.y, at.level + 1))) return true;
    if (!holdsUp(grid, at.x, at.y, at.level)) return false;
    for (int n = 0; n < 4; ++n) {
        const BlockId beside = cellOf(grid, at.x + kSideDx[n], at.y + kSideDy[n], at.level);
        if (counts(beside) && streamDistance(beside) > streamDistance(stream)) return true;
    }
    return false;
}

// What the cell becomes in a step of `liquid`. A fed stream takes its feed's
// distance; one that has lost it drains in two stages, so that the cells it
// fed learn of it before it goes: the first stage holds while it feeds any
// stream, the second only while one it feeds is draining too.
BlockId stepped(const WorldGrid& grid, Spot at, BlockId liquid) {
    const BlockId now = cellOf(grid, at.x, at.y, at.level);
    if (now == Water && liquid == Water) return touches(grid, at, Lava) ? HardRock : now;
    const bool own = isStream(now) && liquidOf(now) == liquid;
    if (now != Empty && !own) return now;
    if (own && touches(grid, at, otherLiquid(liquid))) return HardRock;
    const int fed = feedDistance(grid, at, liquid, own ? streamDistance(now) : reachOf(liquid));
    if (fed >= 0) return streamOf(liquid, fed);
    if (!own) return Empty;
    const int drain = streamDrain(now);
    if (feedsOthers(grid, at, now, drain == kMostDrain))
        return streamOf(liquid, streamDistance(now), std::min(drain + 1, kMostDrain));
    return Empty;
}

bool insideWorld(const WorldGrid& grid, int x, int y) {
    return x <= grid.maxX && y <= grid.maxY && x < kGridSizeX && y < kGridSizeY;
}

// A woken cell and the ones above and below it: between them and the cells
// woken beside it, every cell whose step reads the written one.
void dueAround(WorldGrid& grid, int at, int z) {
    for (int dz = -1; dz <= 1; ++dz) {
        if (z + dz < 0 || z + dz >= kGridLevels) continue;
        grid.wake.waterDue.push_back(at + dz);
        grid.wake.lavaDue.push_back(at + dz);
    }
}

// The cells written since the last step, from the wake bits, taken into
// both liquids' lists.
void takeWoken(WorldGrid& grid) {
    for (int word = 0; word < kColumnWords; ++word) {
        std::uint64_t bits = grid.wake.flowColumns[word];
        grid.wake.flowColumns[word] = 0;
        for (; bits != 0; bits &= bits - 1) {
            const int column = word * 64 + __builtin_ctzll(bits);
            const int x = column / kGridSizeY, y = column % kGridSizeY;
            const bool inside = insideWorld(grid, x, y);
            const std::uint64_t bit = std::uint64_t{1} << (column & 63);
            for (int z = 0; z < kGridLevels; ++z) {
                std::uint64_t& woken = grid.wake.cells[z][word];
                if ((woken & bit) == 0) continue;
                woken &= ~bit;
                if (inside) dueAround(grid, x * kStrideX + y * kStrideY + z, z);
            }
        }
    }
}

void step(WorldGrid& grid, BlockId liquid) {
    takeWoken(grid);
    std::vector<std::int32_t>& due = liquid == Water ? grid.wake.waterDue : grid.wake.lavaDue;
    std::sort(due.begin(), due.end());
    due.erase(std::unique(due.begin(), due.end()), due.end());
    thread_local std::vector<std::pair<std::int32_t, BlockId>> writes;
    writes.clear();
    for (const std::int32_t index : due) {
        const Spot at = spotOf(index);
        const BlockId next = stepped(grid, at, liquid);
        if (next != grid.cells[index]) writes.emplace_back(index, next);
    }
    due.clear();
    for (const auto& [index, id] : writes) {
        const Spot at = spotOf(index);
        setCellOf(grid, at.x, at.y, at.level, id);
    }
}

// Something beside or below a liquid that a step could change.
bool unsettled(BlockId id, BlockId liquid) {
    return id == Empty || isStream(id) || liquidOf(id) == otherLiquid(liquid);
}

}  // namespace

void wakeAllLiquids(WorldGrid& grid) {
    for (auto& level : grid.wake.cells) std::fill(std::begin(level), std::end(level), 0);
    std::fill(std::begin(grid.wake.flowColumns), std::end(grid.wake.flowColumns), 0);
    grid.wake.waterDue.clear();
    grid.wake.lavaDue.clear();
    const int lastX = std::min(grid.maxX, kGridSizeX - 1);
    const int lastY = std::min(grid.maxY, kGridSizeY - 1);
    for (int x = 0; x <= lastX; ++x)
        for (int y = 0; y <= lastY; ++y)
            for (int z = 0; z < kGridLevels; ++z) {
                const int at = x * kStrideX + y * kStrideY + z;
                const BlockId liquid = liquidOf(grid.cells[at]);
                if (liquid == Empty) continue;
                const int level = z + kHighestLevel;
                bool quiet =
                    !isStream(grid.cells[at]) && !unsettled(cellOf(grid, x, y, level + 1), liquid);
                for (int n = 0; n < 4 && quiet; ++n)
                    quiet = !unsettled(cellOf(grid, x + kSideDx[n], y + kSideDy[n], level), liquid);
                if (quiet) continue;
                dueAround(grid, at, z);
                for (int n = 0; n < 4; ++n) {
                    const int nx = x + kSideDx[n], ny = y + kSideDy[n];
                    if (nx >= 0 && ny >= 0 && insideWorld(grid, nx, ny))
                        dueAround(grid, nx * kStrideX + ny * kStrideY + z, z);
                }
            }
}

void stepLiquids(WorldGrid& grid, std::uint32_t now, std::uint32_t& done) {
    if (now - done > kMostCatchUp) done = now - kMostCatchUp;
    while (done != now) {
        done += 1;
        if (done % kWaterStepTicks == 0) step(grid, Water);
        if (done % kLavaStepTicks == 0) step(grid, Lava);
    }
}

#include "server/shared_world.h"

#include <sstream>

#include "protocol/codec.h"
#include "rules/actions.h"
#include "worldgen/world_kinds.h"

namespace server {

namespace {

using std::chrono::seconds;

constexpr auto kClocksEvery = seconds(10);
constexpr std::size_t kMostWaitingRequests = 16;
// How far from the start column a new player may be put, so that players
// who join together do not stand on each other.
constexpr int kSpawnReach = 6;

// The request kinds that the rules refuse while a step or action runs: they
// wait for the player to be free, as a held key would.
bool waitsForFreePlayer(const Message& m) {
    return std::holds_alternative<Step>(m) || std::holds_alternative<Turn>(m) ||
           std::holds_alternative<Use>(m) || std::holds_alternative<JumpMode>(m);
}

}  // namespace

SharedWorld::SharedWorld(Log log, Peers& peers, Store& store, std::mt19937& random)
    : log_(std::move(log)), peers_(peers), store_(store), random_(random) {}

bool SharedWorld::load(const std::string& worldFolder) {
    grid_->maxX = kLastColumn;
    grid_->maxY = kLastColumn;
    bool found = false;
    if (!store_.readWorld(*grid_, startX_, startY_, worldRecord_, found)) return false;
    if (!found) {
        Terrain terrain;
        const std::uint32_t seed = random_();
        generateWorld(WorldKind::Island, seed, terrain);
        for (int x = 0; x < kBandEdge; ++x)
            for (int y = 0; y < kBandEdge; ++y)
                for (int level = 0; level < kBandEdge; ++level)
                    setCellOf(*grid_, x, y, level, terrain.at(x, y, level));
        startX_ = terrain.startX;
        startY_ = terrain.startY;
        store_.markWorldUnsaved(Clock::now() - kAutosaveAfter);
        log_("no world in " + worldFolder + ": generated an island (seed " + std::to_string(seed) +
             ")");
    }
    startX_ = clampTo(startX_, 0, kLastColumn);
    startY_ = clampTo(startY_, 0, kLastColumn);
    // The server's own draws: the process-wide random source belongs to
    // the game that may be hosting on another thread.
    std::uniform_int_distribution<int> trigger(0, 300), sixth(0, 5), kind(1, 2);
    weather_.weatherTrigger = trigger(random_);
    weather_.weatherActive = sixth(random_) == 3;
    weather_.weatherKind = static_cast<WeatherKind>(kind(random_));
    for (int level = 0; level < kBandLevels; ++level)
        for (int y = 0; y < kBandColumns; ++y)
            for (int x = 0; x < kBandColumns; ++x)
                toldBand[bandIndex(x, y, level)] = bandBlock(x, y, level);
    toldClocks = clocksNow();
    return true;
}

void SharedWorld::snapshot(WorldSnapshot& world) const {
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y)
            for (int level = 0; level < kBandEdge; ++level)
                world.at(x, y, level) = cellOf(*grid_, x, y, level);
    world.playerX = startX_;
    world.playerY = startY_;
    world.record = worldRecord_;
}

std::uint8_t SharedWorld::bandBlock(int x, int y, int level) const {
    const BlockId id = cellOf(*grid_, x, y, level);
    return isKnownBlock(id) ? static_cast<std::uint8_t>(id) : 0;
}

Clocks SharedWorld::clocksNow() const {
    Clocks c;
    c.dayTick = static_cast<std::uint16_t>(clampTo(clock_.dayTick, 0, 16320));
    c.nightLevel = static_cast<std::uint8_t>(clampTo(static_cast<int>(clock_.nightLevel), 0, 5));
    c.tileTick = static_cast<std::uint8_t>(clampTo(clock_.blockAnimTick, 0, 80));
    c.weatherActive = weather_.weatherActive ? 1 : 0;
    c.weatherKind =
        static_cast<std::uint8_t>(clampTo(static_cast<int>(weather_.weatherKind), 0, 2));
    c.snowCover = weather_.snowCover ? 1 : 0;
    c.weatherTick = static_cast<std::uint8_t>(clampTo(weather_.weatherTick, 0, 15));
    c.weatherFrame = static_cast<std::uint8_t>(clampTo(weather_.weatherAnimFrame, 0, 3));
    c.weatherCycles = static_cast<std::uint8_t>(clampTo(weather_.weatherCycles, 0, 201));
    c.weatherTrigger = static_cast<std::uint16_t>(clampTo(weather_.weatherTrigger, 0, 300));
    return c;
}

// ---- players

PlayerInfo SharedWorld::infoOf(const Peer& peer) const {
    PlayerInfo info;
    const Position at = positionOf(peer.state);
    info.id = peer.id;
    info.name = peer.name;
    info.x = static_cast<std::uint8_t>(at.x);
    info.y = static_cast<std::uint8_t>(at.y);
    info.level = static_cast<std::uint8_t>(at.level);
    info.facing = static_cast<std::uint8_t>(at.facing);
    info.look = static_cast<std::uint8_t>(clampTo(peer.state.spriteRow, 0, 6));
    info.lookGroup = static_cast<std::uint8_t>(clampTo(peer.state.spriteGroup, 0, 1));
    info.sheet = sheetNumber(peer.state.spriteSheet);
    return info;
}

void SharedWorld::broadcast(const Message& message, const Peer* except) {
    for (const auto& peer : peers_)
        if (peer->joined && !peer->closing && peer.get() != except) peer->link->send(message);
}

Peer* SharedWorld::findPlayer(const std::string& name) {
    for (const auto& peer : peers_)
        if (peer->joined && !peer->closing && lowered(peer->name) == lowered(name))
            return peer.get();
    return nullptr;
}

int SharedWorld::freeId() const {
    for (int id = 0; id <= static_cast<int>(kLastPlayerId); ++id) {
        bool used = false;
        for (const auto& peer : peers_) used = used || (peer->joined && peer->id == id);
        if (!used) return id;
    }
    return -1;
}

void SharedWorld::setUpPlayer(Peer& peer, const std::optional<std::string>& stored,
                              Clock::time_point now) {
    PlayerState& p = peer.state;
    p = PlayerState{};
    p.facing = Facing::Down;
    giveStartingKit(p);
    p.spriteGroup = 1;
    p.targetRaised = 1;
    p.autoJump = true;
    PlayerRecord record;
    if (stored) {
        std::istringstream lines(*stored);
        record = parsePlayerRecord(lines);
    }
    if (!(record.x && record.y && record.level)) {
        const auto [x, y] = spawnColumn();
        placePlayer(p, peer.view, x, y);
        p.level = columnTop(x, y);
    }
    applyRecordTo(record, p, peer.view);
    // Its first save keeps the claim.
    peer.savedOnce = false;
    store_.noteRecordChange(now);
    p.x = clampTo(p.x, 0, kLastColumn);
    p.y = clampTo(p.y, 0, kLastColumn);
    p.level = clampTo(p.level, 0, kBandEdge);
    p.selectedSlot = clampTo(p.selectedSlot, 0, kHotbarSlots - 1);
    p.spriteRow = clampTo(p.spriteRow, 0, 6);
    p.spriteGroup = clampTo(p.spriteGroup, 0, 1);
    peer.told = positionOf(p);
    peer.toldSheet = sheetNumber(p.spriteSheet);
    peer.toldLook = static_cast<std::uint8_t>(p.spriteRow);
    peer.toldGroup = static_cast<std::uint8_t>(p.spriteGroup);
    std::copy(std::begin(p.blockCounts), std::end(p.blockCounts), peer.toldCounts.begin());
}

int SharedWorld::columnTop(int x, int y) const {
    for (int level = 0; level <= kBandEdge; ++level)
        if (isSolid(cellOf(*grid_, x, y, level))) return level;
    return kBandEdge;
}

// Where a player without a record may start: ground that is not water or
// lava, no other player on it, and nothing in front of it (nearer the
// screen's bottom) standing two levels above it, so the figure is not
// drawn hidden. A single block in front hides the feet only.
bool SharedWorld::fitsNewPlayer(int x, int y) const {
    const int top = columnTop(x, y);
    if (top < 2 || top >= kBandLevels) return false;
    for (int level = 0; level <= top; ++level) {
        const BlockId id = cellOf(*grid_, x, y, level);
        if (id == Water || id == Lava) return false;
    }
    for (const auto& peer : peers_)
        if (peer->joined && !peer->closing && peer->state.x == x && peer->state.y == y)
            return false;
    static constexpr int kFront[][2] = {{1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}, {2, 2}};
    for (const auto& [dx, dy] : kFront) {
        const int fx = x + dx, fy = y + dy;
        if (fx > kLastColumn || fy > kLastColumn) continue;
        for (int level = 0; level < top - 1; ++level)
            if (cellOf(*grid_, fx, fy, level) != Empty) return false;
    }
    return true;
}

// The start column when it fits, else the nearest that does, ring by
// ring: first on the start's own ground level (not on a lone pillar or
// in a pit beside it), then at any; the start column when none does.
std::pair<int, int> SharedWorld::spawnColumn() const {
    const int startTop = columnTop(startX_, startY_);
    for (const bool sameLevel : {true, false})
        for (int ring = 0; ring <= kSpawnReach; ++ring)
            for (int dy = -ring; dy <= ring; ++dy)
                for (int dx = -ring; dx <= ring; ++dx) {
                    if (std::max(std::abs(dx), std::abs(dy)) != ring) continue;
                    const int x = startX_ + dx, y = startY_ + dy;
                    if (x < 0 || y < 0 || x > kLastColumn || y > kLastColumn) continue;
                    if (sameLevel && columnTop(x, y) != startTop) continue;
                    if (fitsNewPlayer(x, y)) return {x, y};
                }
    return {startX_, startY_};
}

// ---- requests

bool SharedWorld::request(Peer& peer, const Message& message) {
    if (const auto* say = std::get_if<Say>(&message)) {
        log_("<" + peer.name + "> " + say->text);
        broadcast(ChatLine{peer.name, say->text});
        return true;
    }
    if (const auto* looks = std::get_if<ChangeLooks>(&message)) {
        peer.state.spriteRow = looks->look;
        peer.state.spriteGroup = looks->lookGroup;
        return true;
    }
    if (const auto* rest = std::get_if<Rest>(&message)) {
        // The rules switch rest mode even while a step runs.
        if (peer.state.resting != (rest->resting != 0)) {
            PlayerIntent intent;
            intent.rest = true;
            handlePlayerInput(peer.state, peer.view, intent, *grid_);
        }
        return true;
    }
    if (waitsForFreePlayer(message)) {
        if (peer.waiting.size() >= kMostWaitingRequests) {
            // More than a player can do: the oldest is dropped, and the
            // client told where it really is.
            peer.waiting.pop_front();
            peer.correct = true;
        }
        peer.waiting.push_back(message);
        return true;
    }
    return false;
}

// One waiting request under the rules, as single player's keys would
// ask for it. A request the rules refuse sets the client right.
void SharedWorld::apply(Peer& peer, const Message& message) {
    PlayerState& p = peer.state;
    PlayerIntent intent;
    if (const auto* step = std::get_if<Step>(&message)) {
        walkToward(intent, step->facing);
        // The client sends a step once its key has been held long enough.
        p.holdTicks = kHoldThreshold;
        const int x = p.x, y = p.y;
        handlePlayerInput(p, peer.view, intent, *grid_);
        if (p.x == x && p.y == y) {
            peer.correct = true;
        } else {
            peer.stepped = true;
        }
    } else if (const auto* turn = std::get_if<Turn>(&message)) {
        walkToward(intent, turn->facing);
        p.holdTicks = -1;  // held for this tick only: a turn, never a step
        handlePlayerInput(p, peer.view, intent, *grid_);
        if (static_cast<int>(p.facing) != turn->facing) peer.correct = true;
    } else if (const auto* use = std::get_if<Use>(&message)) {
        p.selectedSlot = use->slot;
        p.targetRaised = use->raised;
        (use->placing ? intent.place : intent.mine) = true;
        handlePlayerInput(p, peer.view, intent, *grid_);
        // The client counted its stock as if this went through; the
        // server's counts of what it touches set that right at its end.
        peer.actionBlocks[0] = p.hotbar[p.selectedSlot];
        peer.actionBlocks[1] = p.targetBlock;
        if (!p.acting) {
            peer.correct = true;
            restoreActionCell(peer);
            tellActionCounts(peer);
        }
    } else if (const auto* jump = std::get_if<JumpMode>(&message)) {
        intent.autoJump = p.autoJump != (jump->on != 0);
        handlePlayerInput(p, peer.view, intent, *grid_);
    }
}

void SharedWorld::walkToward(PlayerIntent& intent, int facing) {
    switch (static_cast<Facing>(facing)) {
        case Facing::Up:
            intent.walkUp = true;
            break;
        case Facing::Down:
            intent.walkDown = true;
            break;
        case Facing::Left:
            intent.walkLeft = true;
            break;
        case Facing::Right:
            intent.walkRight = true;
            break;
    }
}

void SharedWorld::tellActionCounts(Peer& peer) {
    for (const BlockId block : peer.actionBlocks)
        if (isKnownBlock(block)) peer.tellCounts.set(block);
}

void SharedWorld::restoreActionCell(Peer& peer) {
    const PlayerState& p = peer.state;
    const Column ahead = columnAhead(p);
    const int level = p.level - p.targetRaised;
    if (ahead.x < 0 || ahead.x > kLastColumn || ahead.y < 0 || ahead.y > kLastColumn || level < 0 ||
        level >= kBandLevels)
        return;
    peer.restore.push_back(
        CellChange{static_cast<std::uint8_t>(ahead.x), static_cast<std::uint8_t>(ahead.y),
                   static_cast<std::uint8_t>(level), bandBlock(ahead.x, ahead.y, level)});
}

// ---- the tick

// Without the pause after a switch.
void SharedWorld::tick() {
    std::vector<PlayerState*> players;
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        while (!peer.waiting.empty() && !peer.state.busy) {
            const Message request = peer.waiting.front();
            peer.waiting.pop_front();
            apply(peer, request);
        }
        const bool wasActing = peer.state.acting;
        updateAnimations(peer.state, peer.view, *grid_);
        if (wasActing && !peer.state.acting) {
            restoreActionCell(peer);
            tellActionCounts(peer);
        }
        players.push_back(&peer.state);
    }
    advanceClocks(world_);
    worldTick(world_, players.data(), static_cast<int>(players.size()));
}

std::vector<CellChange> SharedWorld::changedCells() {
    std::vector<CellChange> changes;
    for (int level = 0; level < kBandLevels; ++level)
        for (int y = 0; y < kBandColumns; ++y)
            for (int x = 0; x < kBandColumns; ++x) {
                const std::uint8_t now = bandBlock(x, y, level);
                std::uint8_t& told = toldBand[bandIndex(x, y, level)];
                if (now == told) continue;
                told = now;
                changes.push_back(CellChange{static_cast<std::uint8_t>(x),
                                             static_cast<std::uint8_t>(y),
                                             static_cast<std::uint8_t>(level), now});
            }
    return changes;
}

void SharedWorld::sendUpdates(Clock::time_point now) {
    Update shared;
    shared.cells = changedCells();
    if (!shared.cells.empty()) store_.markWorldChanged(now);
    const bool wholeBand = shared.cells.size() > kMostCellChanges;
    if (wholeBand) {
        shared.cells.clear();
        Band band;
        band.cells.assign(toldBand.begin(), toldBand.end());
        broadcast(band);
    }
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        const PlayerState& p = peer.state;
        const Position at = positionOf(p);
        if (!(at == peer.told)) {
            PlayerMove move{peer.id,
                            MoveKind::Place,
                            static_cast<std::uint8_t>(at.x),
                            static_cast<std::uint8_t>(at.y),
                            static_cast<std::uint8_t>(at.level),
                            static_cast<std::uint8_t>(at.facing)};
            if (peer.stepped) {
                move.kind = MoveKind::Step;
            } else if (at.x == peer.told.x && at.y == peer.told.y && at.level == peer.told.level) {
                move.kind = MoveKind::Turn;
            }
            shared.moves.push_back(move);
            peer.told = at;
        }
        peer.stepped = false;
        const std::uint8_t sheet = sheetNumber(p.spriteSheet);
        if (sheet != peer.toldSheet) {
            peer.toldSheet = sheet;
            if (p.spriteSheet != SpriteSheet::Walking) shared.sheets.push_back({peer.id, sheet});
        }
        if (p.spriteRow != peer.toldLook || p.spriteGroup != peer.toldGroup) {
            peer.toldLook = static_cast<std::uint8_t>(p.spriteRow);
            peer.toldGroup = static_cast<std::uint8_t>(p.spriteGroup);
            shared.looks.push_back({peer.id, peer.toldLook, peer.toldGroup});
        }
    }
    const Clocks clocks = clocksNow();
    if (clocks.nightLevel != toldClocks.nightLevel ||
        clocks.weatherActive != toldClocks.weatherActive ||
        clocks.weatherKind != toldClocks.weatherKind || clocks.snowCover != toldClocks.snowCover ||
        now - clocksSent >= kClocksEvery) {
        shared.clocks = clocks;
        clocksSent = now;
    }
    toldClocks = clocks;

    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        Update own = shared;
        for (CellChange& cell : peer.restore) {
            cell.block = bandBlock(cell.x, cell.y, cell.level);
            own.cells.push_back(cell);
        }
        peer.restore.clear();
        if (own.cells.size() > kMostCellChanges) {
            // More than an update holds, and none may be lost: the band says
            // every cell, this player's put-back ones included.
            Band band;
            band.cells.assign(toldBand.begin(), toldBand.end());
            peer.link->send(band);
            own.cells.clear();
        }
        if (peer.correct) {
            peer.correct = false;
            const Position at = positionOf(peer.state);
            own.moves.erase(std::remove_if(own.moves.begin(), own.moves.end(),
                                           [&](const PlayerMove& m) { return m.id == peer.id; }),
                            own.moves.end());
            own.moves.push_back(
                PlayerMove{peer.id, MoveKind::Place, static_cast<std::uint8_t>(at.x),
                           static_cast<std::uint8_t>(at.y), static_cast<std::uint8_t>(at.level),
                           static_cast<std::uint8_t>(at.facing)});
        }
        for (int b = 0; b < kBlockTypes; ++b) {
            const std::int32_t count = peer.state.blockCounts[b];
            if (count == peer.toldCounts[b] && !peer.tellCounts[b]) continue;
            peer.toldCounts[b] = count;
            own.stock.push_back(StockCount{
                static_cast<std::uint8_t>(b),
                static_cast<std::uint32_t>(clampTo(count, 0, static_cast<int>(kLargestThree)))});
        }
        peer.tellCounts.reset();
        if (!own.empty()) peer.link->send(own);
    }
}

}  // namespace server

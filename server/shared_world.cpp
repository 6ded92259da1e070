#include "server/shared_world.h"

#include <ctime>
#include <map>
#include <sstream>
#include <tuple>

#include "game/world_store.h"
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
// In a larger world: how far, and how far apart.
constexpr int kLargeSpawnReach = 40;
constexpr int kSpawnApart = 3;
// A refused action's reason goes to the player at most this often, however
// fast its key repeats.
constexpr auto kProtectedNoteEvery = seconds(2);
// The edits a rollback takes back are logged under this, which no player's
// name can be.
const char kRollbackName[] = "(rollback)";

std::int64_t secondsNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

// The request kinds that the rules refuse while a step or action runs: they
// wait for the player to be free, as a held key would.
bool waitsForFreePlayer(const Message& m) {
    return std::holds_alternative<Step>(m) || std::holds_alternative<Turn>(m) ||
           std::holds_alternative<Use>(m) || std::holds_alternative<JumpMode>(m);
}

}  // namespace

SharedWorld::SharedWorld(Log log, const ServerConfig& config, Peers& peers, Store& store,
                         std::mt19937& random)
    : log_(std::move(log)), config_(config), peers_(peers), store_(store), random_(random) {}

bool SharedWorld::load(const std::string& worldFolder, int newSize) {
    grid_->maxX = kBandColumns - 1;
    grid_->maxY = kBandColumns - 1;
    store_.setSource(
        WorldSource{[this](std::vector<DbPiece>& pieces, bool all) { takeChanged(pieces, all); },
                    [this](const std::vector<std::pair<int, int>>& pieces) { unsave(pieces); },
                    [this](WorldSnapshot& band) { snapshot(band); }});
    WorldDbMeta meta;
    bool found = false;
    if (!store_.open(*grid_, meta, worldRecord_, found)) return false;
    if (!found) {
        const std::uint32_t seed = random_();
        const int size = newSize > kBandColumns && isWorldSize(newSize) ? newSize : kBandColumns;
        meta = WorldDbMeta{};
        meta.columns = meta.rows = size;
        meta.seed = seed;
        if (size > kBandColumns) {
            const WorldStart start = generateIslandWorld(*grid_, seed, size);
            meta.startX = start.x;
            meta.startY = start.y;
        } else {
            Terrain terrain;
            generateWorld(WorldKind::Island, seed, terrain);
            for (int x = 0; x < kBandEdge; ++x)
                for (int y = 0; y < kBandEdge; ++y)
                    for (int level = 0; level < kBandEdge; ++level)
                        setCellOf(*grid_, x, y, level, terrain.at(x, y, level));
            meta.startX = terrain.startX;
            meta.startY = terrain.startY;
        }
        // Kept with the world: after a restart new players start where the
        // generator meant them to.
        meta.startLevel = columnTop(*meta.startX, *meta.startY);
        if (!store_.create(*grid_, meta, worldRecord_)) return false;
        log_("no world in " + worldFolder + ": generated an island of " + std::to_string(size) +
             " x " + std::to_string(size) + " (seed " + std::to_string(seed) + ")");
    }
    large_ = usesWorldStore(meta.columns, meta.rows);
    kind_ = meta.kind;
    columns_ = meta.columns;
    rows_ = meta.rows;
    // Players walk the world's own columns: a classic world's 0..19 as ever.
    grid_->maxX = columns_ - 1;
    grid_->maxY = rows_ - 1;
    across_ = ::piecesAcross(columns_);
    down_ = ::piecesAcross(rows_);
    // A world kept before its start was: new players start near the single
    // player's place, or the middle.
    if (meta.startX && meta.startY) {
        startX_ = *meta.startX;
        startY_ = *meta.startY;
    } else {
        startX_ = worldRecord_.x ? *worldRecord_.x : columns_ / 2;
        startY_ = worldRecord_.y ? *worldRecord_.y : rows_ / 2;
    }
    startX_ = clampTo(startX_, 0, columns_ - 1);
    startY_ = clampTo(startY_, 0, rows_ - 1);
    // The server's own draws: the process-wide random source belongs to
    // the game that may be hosting on another thread.
    std::uniform_int_distribution<int> trigger(0, 300), sixth(0, 5), kind(1, 2);
    weather_.weatherTrigger = trigger(random_);
    weather_.weatherActive = sixth(random_) == 3;
    weather_.weatherKind = static_cast<WeatherKind>(kind(random_));
    told_.assign(grid_->cells, grid_->cells + static_cast<std::size_t>(columns_) * kStrideX);
    stored_ = told_;
    toldRevision_ = grid_->revision;
    holders_.assign(static_cast<std::size_t>(across_ * down_), 0);
    changes_.assign(holders_.size(), {});
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
    return isCellValue(id) ? static_cast<std::uint8_t>(id) : 0;
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
    info.x = static_cast<std::uint16_t>(at.x);
    info.y = static_cast<std::uint16_t>(at.y);
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
        record = parsePlayerRecord(lines, std::max(columns_, rows_));
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
    p.x = clampTo(p.x, 0, columns_ - 1);
    p.y = clampTo(p.y, 0, rows_ - 1);
    p.level = clampTo(p.level, 0, kBandEdge);
    placePlayer(p, peer.view, p.x, p.y);
    peer.held.assign(static_cast<std::size_t>(across_ * down_), false);
    peer.sees.reset();
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
bool SharedWorld::fitsNewPlayer(int x, int y, int apart) const {
    const int top = columnTop(x, y);
    if (top < 2 || top >= kBandLevels) return false;
    for (int level = 0; level <= top; ++level) {
        const BlockId id = cellOf(*grid_, x, y, level);
        if (id == Water || id == Lava) return false;
    }
    for (const auto& peer : peers_)
        if (peer->joined && !peer->closing && std::abs(peer->state.x - x) <= apart &&
            std::abs(peer->state.y - y) <= apart)
            return false;
    static constexpr int kFront[][2] = {{1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}, {2, 2}};
    for (const auto& [dx, dy] : kFront) {
        const int fx = x + dx, fy = y + dy;
        if (fx >= columns_ || fy >= rows_) continue;
        for (int level = 0; level < top - 1; ++level)
            if (cellOf(*grid_, fx, fy, level) != Empty) return false;
    }
    return true;
}

// The start column when it fits, else the nearest that does, ring by
// ring: first on the start's own ground level (not on a lone pillar or
// in a pit beside it), then at any; the start column when none does. In a
// larger world players start a few columns apart, further out when the
// start is crowded.
std::pair<int, int> SharedWorld::spawnColumn() const {
    const int startTop = columnTop(startX_, startY_);
    const int reach = large_ ? kLargeSpawnReach : kSpawnReach;
    for (const int apart : {large_ ? kSpawnApart : 0, 0})
        for (const bool sameLevel : {true, false})
            for (int ring = 0; ring <= reach; ++ring)
                for (int dy = -ring; dy <= ring; ++dy)
                    for (int dx = -ring; dx <= ring; ++dx) {
                        if (std::max(std::abs(dx), std::abs(dy)) != ring) continue;
                        const int x = startX_ + dx, y = startY_ + dy;
                        if (x < 0 || y < 0 || x >= columns_ || y >= rows_) continue;
                        if (sameLevel && columnTop(x, y) != startTop) continue;
                        if (fitsNewPlayer(x, y, apart)) return {x, y};
                    }
    return {startX_, startY_};
}

// ---- requests

bool SharedWorld::request(Peer& peer, const Message& message) {
    if (const auto* ask = std::get_if<PieceRequest>(&message)) {
        const int px = ask->place.px, py = ask->place.py;
        if (px >= across_ || py >= down_) {
            log_(peer.name + " asked for piece " + std::to_string(px) + "," + std::to_string(py) +
                 " of a world " + std::to_string(across_) + " x " + std::to_string(down_) +
                 " pieces wide");
            return false;
        }
        peer.link->send(pieceOf(*grid_, px, py, columns_, rows_));
        if (!peer.held[static_cast<std::size_t>(py * across_ + px)])
            peer.link->send(Forget{{ask->place}});
        return true;
    }
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
        intent.run = step->run != 0;
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
        if (isProtected(peer, use->placing != 0)) return refuseProtected(peer);
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
    if (ahead.x < 0 || ahead.x >= columns_ || ahead.y < 0 || ahead.y >= rows_ || level < 0 ||
        level >= kBandLevels)
        return;
    peer.restore.push_back(
        CellChange{static_cast<std::uint16_t>(ahead.x), static_cast<std::uint16_t>(ahead.y),
                   static_cast<std::uint8_t>(level), bandBlock(ahead.x, ahead.y, level)});
}

// ---- the tick

// Without the pause after a switch.
void SharedWorld::tick() {
    std::vector<PlayerState*> players;
    Around around;
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        while (!peer.waiting.empty() && !peer.state.busy) {
            const Message request = peer.waiting.front();
            peer.waiting.pop_front();
            apply(peer, request);
        }
        const bool wasActing = peer.state.acting;
        const int x = peer.state.x, y = peer.state.y;
        if (wasActing) copyAround(x, y, around);
        updateAnimations(peer.state, peer.view, *grid_);
        if (wasActing && !peer.state.acting) {
            logChanges(peer, x, y, around);
            restoreActionCell(peer);
            tellActionCounts(peer);
        }
        players.push_back(&peer.state);
    }
    advanceClocks(world_);
    worldTick(world_, players.data(), static_cast<int>(players.size()));
}

// A column compared with what was told of it; its changed cells noted.
void SharedWorld::compareColumn(int x, int y) {
    const int at = cellIndex(x, y, kHighestLevel);
    BlockId* told = told_.data() + at;
    const BlockId* now = grid_->cells + at;
    if (std::equal(now, now + kGridLevels, told)) return;
    const int piece = pieceAt(x, y);
    for (int level = 0; level < kBandLevels; ++level) {
        const int i = level - kHighestLevel;
        if (now[i] == told[i]) continue;
        auto& list = changes_[static_cast<std::size_t>(piece)];
        if (list.empty()) changedPieces_.push_back(piece);
        list.push_back(CellChange{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y),
                                  static_cast<std::uint8_t>(level), bandBlock(x, y, level)});
    }
    std::copy(now, now + kGridLevels, told);
}

// A tick that wrote no cell costs nothing here. Players' actions write only
// beside them (the action cell, an explosive's ring): those columns are
// looked at every tick, so an edit goes out in the tick it is made. What the
// world does by itself (water, lava, snow) is found by comparing a quarter
// of the world's rows of columns a tick, whole rows at once, for as long as
// the world keeps changing: a flood shows within four ticks, and the cost
// stays a small share of a core on the largest world.
void SharedWorld::changedCells() {
    for (const int piece : changedPieces_) changes_[static_cast<std::size_t>(piece)].clear();
    changedPieces_.clear();
    if (grid_->revision != toldRevision_) {
        toldRevision_ = grid_->revision;
        unscanned_.set();
        for (const auto& peer : peers_) {
            if (!peer->joined || peer->closing) continue;
            const int px = clampTo(peer->state.x, 0, columns_ - 1);
            const int py = clampTo(peer->state.y, 0, rows_ - 1);
            for (int x = std::max(0, px - kActionReach);
                 x <= std::min(columns_ - 1, px + kActionReach); ++x)
                for (int y = std::max(0, py - kActionReach);
                     y <= std::min(rows_ - 1, py + kActionReach); ++y)
                    compareColumn(x, y);
        }
    }
    if (unscanned_.none()) return;
    while (!unscanned_[static_cast<std::size_t>(nextSlice_)])
        nextSlice_ = (nextSlice_ + 1) % kSlices;
    const int slice = nextSlice_;
    unscanned_.reset(static_cast<std::size_t>(slice));
    nextSlice_ = (nextSlice_ + 1) % kSlices;
    const std::size_t rowCells = static_cast<std::size_t>(rows_) * kStrideY;
    for (int x = slice; x < columns_; x += kSlices) {
        const int first = cellIndex(x, 0, kHighestLevel);
        if (std::equal(grid_->cells + first, grid_->cells + first + rowCells, told_.data() + first))
            continue;
        for (int y = 0; y < rows_; ++y) compareColumn(x, y);
    }
}

int SharedWorld::reachTo(const PlayerState& p, int piece) const {
    const int x0 = (piece % across_) * kPieceEdge, y0 = (piece / across_) * kPieceEdge;
    const int dx = std::max({0, x0 - p.x, p.x - (x0 + kPieceEdge - 1)});
    const int dy = std::max({0, y0 - p.y, p.y - (y0 + kPieceEdge - 1)});
    return std::max(dx, dy);
}

// A piece nobody held was not compared: what it tells from now on starts
// from its cells as they are.
void SharedWorld::syncTold(int piece) {
    const int x0 = (piece % across_) * kPieceEdge, y0 = (piece / across_) * kPieceEdge;
    const int x1 = std::min(columns_, x0 + kPieceEdge), y1 = std::min(rows_, y0 + kPieceEdge);
    for (int x = x0; x < x1; ++x) {
        const int from = cellIndex(x, y0, kHighestLevel), to = cellIndex(x, y1, kHighestLevel);
        std::copy(grid_->cells + from, grid_->cells + to, told_.data() + from);
    }
}

// The pieces within reach that the player lacks go first, whole and as they
// are now; those left far behind are forgotten.
void SharedWorld::updateArea(Peer& peer, std::vector<Message>& before) {
    Forget forget;
    for (int piece = 0; piece < across_ * down_; ++piece) {
        const int reach = reachTo(peer.state, piece);
        auto held = peer.held[static_cast<std::size_t>(piece)];
        int& holders = holders_[static_cast<std::size_t>(piece)];
        if (!held && reach <= kSendReach) {
            if (holders == 0) syncTold(piece);
            ++holders;
            held = true;
            before.push_back(pieceOf(*grid_, piece % across_, piece / across_, columns_, rows_));
        } else if (held && reach > kKeepReach) {
            --holders;
            held = false;
            forget.pieces.push_back({static_cast<std::uint8_t>(piece % across_),
                                     static_cast<std::uint8_t>(piece / across_)});
        }
    }
    if (!forget.pieces.empty()) before.push_back(std::move(forget));
}

void SharedWorld::sendArea(Peer& peer) {
    std::vector<Message> pieces;
    updateArea(peer, pieces);
    for (const Message& piece : pieces) peer.link->send(piece);
}

void SharedWorld::letGo(Peer& peer) {
    for (std::size_t piece = 0; piece < peer.held.size(); ++piece)
        if (peer.held[piece]) --holders_[piece];
    peer.held.assign(peer.held.size(), false);
    // Its id may come back as someone else, who comes into sight afresh.
    for (const auto& other : peers_) other->sees[peer.id] = false;
}

// A player sees another that stands on a piece it holds.
bool SharedWorld::inSight(const Peer& viewer, const Peer& other) const {
    const int x = clampTo(other.state.x, 0, columns_ - 1), y = clampTo(other.state.y, 0, rows_ - 1);
    return viewer.held[static_cast<std::size_t>(pieceAt(x, y))];
}

void SharedWorld::sendUpdates(Clock::time_point now) {
    changedCells();
    if (!changedPieces_.empty()) store_.markWorldChanged(now);
    // What each player did this tick, told to those who see it.
    struct Told {
        std::optional<PlayerMove> move;
        std::optional<PlayerSheet> sheet;
        std::optional<PlayerLooks> looks;
    };
    std::array<Told, kLastPlayerId + 1> told;
    std::vector<Peer*> players;
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        players.push_back(&peer);
        Told& t = told[peer.id];
        t = Told{};
        const PlayerState& p = peer.state;
        const Position at = positionOf(p);
        if (!(at == peer.told)) {
            PlayerMove move{peer.id,
                            MoveKind::Place,
                            static_cast<std::uint16_t>(at.x),
                            static_cast<std::uint16_t>(at.y),
                            static_cast<std::uint8_t>(at.level),
                            static_cast<std::uint8_t>(at.facing)};
            if (peer.stepped) {
                move.kind = p.running ? MoveKind::Run : MoveKind::Step;
            } else if (at.x == peer.told.x && at.y == peer.told.y && at.level == peer.told.level) {
                move.kind = MoveKind::Turn;
            }
            t.move = move;
            peer.told = at;
        }
        peer.stepped = false;
        const std::uint8_t sheet = sheetNumber(p.spriteSheet);
        if (sheet != peer.toldSheet) {
            peer.toldSheet = sheet;
            if (p.spriteSheet != SpriteSheet::Walking) t.sheet = PlayerSheet{peer.id, sheet};
        }
        if (p.spriteRow != peer.toldLook || p.spriteGroup != peer.toldGroup) {
            peer.toldLook = static_cast<std::uint8_t>(p.spriteRow);
            peer.toldGroup = static_cast<std::uint8_t>(p.spriteGroup);
            t.looks = PlayerLooks{peer.id, peer.toldLook, peer.toldGroup};
        }
    }
    std::optional<Clocks> clocksToTell;
    const Clocks clocks = clocksNow();
    if (clocks.nightLevel != toldClocks.nightLevel ||
        clocks.weatherActive != toldClocks.weatherActive ||
        clocks.weatherKind != toldClocks.weatherKind || clocks.snowCover != toldClocks.snowCover ||
        now - clocksSent >= kClocksEvery) {
        clocksToTell = clocks;
        clocksSent = now;
    }
    toldClocks = clocks;

    std::vector<Message> before;
    for (Peer* viewer : players) {
        Peer& peer = *viewer;
        before.clear();
        updateArea(peer, before);
        Update own;
        own.clocks = clocksToTell;
        // The cells of this tick in the pieces it holds; more than an Update
        // carries and those pieces go again whole.
        std::size_t cells = peer.restore.size();
        for (const int piece : changedPieces_)
            if (peer.held[static_cast<std::size_t>(piece)])
                cells += changes_[static_cast<std::size_t>(piece)].size();
        for (const int piece : changedPieces_) {
            if (!peer.held[static_cast<std::size_t>(piece)]) continue;
            const auto& list = changes_[static_cast<std::size_t>(piece)];
            if (cells > kMostCellChanges) {
                before.push_back(
                    pieceOf(*grid_, piece % across_, piece / across_, columns_, rows_));
            } else {
                own.cells.insert(own.cells.end(), list.begin(), list.end());
            }
        }
        for (CellChange& cell : peer.restore) {
            if (!peer.held[static_cast<std::size_t>(pieceAt(cell.x, cell.y))]) continue;
            cell.block = bandBlock(cell.x, cell.y, cell.level);
            own.cells.push_back(cell);
        }
        peer.restore.clear();
        for (const Message& m : before) peer.link->send(m);

        for (Peer* other : players) {
            const Told& t = told[other->id];
            if (other == &peer) {
                if (t.move) own.moves.push_back(*t.move);
                continue;
            }
            const bool sees = inSight(peer, *other), saw = peer.sees[other->id];
            peer.sees[other->id] = sees;
            const Position at = positionOf(other->state);
            const auto placed = [&](MoveKind kind) {
                return PlayerMove{other->id,
                                  kind,
                                  static_cast<std::uint16_t>(at.x),
                                  static_cast<std::uint16_t>(at.y),
                                  static_cast<std::uint8_t>(at.level),
                                  static_cast<std::uint8_t>(at.facing)};
            };
            if (sees && !saw) {
                // Come into sight: where it is and how it looks now.
                own.moves.push_back(placed(MoveKind::Place));
                own.looks.push_back(PlayerLooks{other->id, other->toldLook, other->toldGroup});
                // A step under way is drawn from its move, not from a sheet.
                own.sheets.push_back(PlayerSheet{
                    other->id, other->toldSheet == 2 ? std::uint8_t{1} : other->toldSheet});
            } else if (!sees && saw) {
                own.moves.push_back(placed(MoveKind::OutOfSight));
            } else if (sees) {
                if (t.move) own.moves.push_back(*t.move);
                if (t.sheet) own.sheets.push_back(*t.sheet);
                if (t.looks) own.looks.push_back(*t.looks);
            }
        }
        if (peer.correct) {
            peer.correct = false;
            const Position at = positionOf(peer.state);
            own.moves.erase(std::remove_if(own.moves.begin(), own.moves.end(),
                                           [&](const PlayerMove& m) { return m.id == peer.id; }),
                            own.moves.end());
            own.moves.push_back(
                PlayerMove{peer.id, MoveKind::Place, static_cast<std::uint16_t>(at.x),
                           static_cast<std::uint16_t>(at.y), static_cast<std::uint8_t>(at.level),
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

// ---- the owner's protection, log and turning back

// The start's columns belong to the admins. An explosive mined elsewhere
// blows away the ring around the player, so that ring counts too.
bool SharedWorld::isProtected(const Peer& peer, bool placing) const {
    const int reach = config_.protectSpawn;
    if (reach <= 0 || config_.isAdmin(peer.name)) return false;
    const auto near = [&](int x, int y) {
        return std::abs(x - startX_) <= reach && std::abs(y - startY_) <= reach;
    };
    const PlayerState& p = peer.state;
    const Column ahead = columnAhead(p);
    if (near(ahead.x, ahead.y)) return true;
    if (placing || ahead.x < 0 || ahead.x >= columns_ || ahead.y < 0 || ahead.y >= rows_)
        return false;
    bool explosive = false;
    for (int level = 0; level < kBandEdge; ++level)
        explosive = explosive || cellOf(*grid_, ahead.x, ahead.y, level) == Explosive;
    for (int dx = -1; explosive && dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (near(p.x + dx, p.y + dy)) return true;
    return false;
}

// As any refused Use: the client is set right about its place, the cell
// and the counts it guessed, and told why.
void SharedWorld::refuseProtected(Peer& peer) {
    PlayerState& p = peer.state;
    peer.correct = true;
    restoreActionCell(peer);
    if (!peer.restore.empty()) {
        const CellChange& cell = peer.restore.back();
        peer.actionBlocks[1] = cellOf(*grid_, cell.x, cell.y, cell.level);
    }
    peer.actionBlocks[0] = p.hotbar[clampTo(p.selectedSlot, 0, kHotbarSlots - 1)];
    tellActionCounts(peer);
    const auto now = Clock::now();
    if (now - peer.toldProtected < kProtectedNoteEvery) return;
    peer.toldProtected = now;
    peer.link->send(Announcement{"this place is protected"});
}

void SharedWorld::copyAround(int x, int y, Around& cells) const {
    auto out = cells.begin();
    for (int dx = -kActionReach; dx <= kActionReach; ++dx)
        for (int dy = -kActionReach; dy <= kActionReach; ++dy, out += kGridLevels) {
            const int cx = x + dx, cy = y + dy;
            if (cx < 0 || cx >= columns_ || cy < 0 || cy >= rows_) continue;
            const BlockId* column = grid_->cells + cellIndex(cx, cy, kHighestLevel);
            std::copy(column, column + kGridLevels, out);
        }
}

void SharedWorld::logChanges(const Peer& peer, int x, int y, const Around& before) {
    auto was = before.begin();
    for (int dx = -kActionReach; dx <= kActionReach; ++dx)
        for (int dy = -kActionReach; dy <= kActionReach; ++dy, was += kGridLevels) {
            const int cx = x + dx, cy = y + dy;
            if (cx < 0 || cx >= columns_ || cy < 0 || cy >= rows_) continue;
            const BlockId* column = grid_->cells + cellIndex(cx, cy, kHighestLevel);
            for (int i = 0; i < kGridLevels; ++i)
                if (column[i] != was[i])
                    store_.logEdit(CellEdit{secondsNow(), lowered(peer.name), cx, cy,
                                            kHighestLevel + i, was[i], column[i]});
        }
}

// Each piece's columns against what the database holds: a change nobody
// was told of (a piece no player held) is found all the same.
void SharedWorld::takeChanged(std::vector<DbPiece>& pieces, bool all) {
    for (int py = 0; py < down_; ++py)
        for (int px = 0; px < across_; ++px) {
            const int x0 = px * kPieceEdge, x1 = std::min(columns_, x0 + kPieceEdge);
            const int y0 = py * kPieceEdge, y1 = std::min(rows_, y0 + kPieceEdge);
            bool differs = all;
            for (int x = x0; x < x1 && !differs; ++x) {
                const int from = cellIndex(x, y0, kHighestLevel),
                          to = cellIndex(x, y1, kHighestLevel);
                differs =
                    !std::equal(grid_->cells + from, grid_->cells + to, stored_.data() + from);
            }
            if (!differs) continue;
            pieces.emplace_back();
            // A cell no block has (never from the rules) keeps the piece as it was saved.
            if (!takePiece(*grid_, px, py, columns_, rows_, pieces.back())) {
                pieces.pop_back();
                log_("piece " + std::to_string(px) + "," + std::to_string(py) +
                     " holds a cell no block has: it is not saved");
                continue;
            }
            for (int x = x0; x < x1; ++x) {
                const int from = cellIndex(x, y0, kHighestLevel),
                          to = cellIndex(x, y1, kHighestLevel);
                std::copy(grid_->cells + from, grid_->cells + to, stored_.data() + from);
            }
        }
}

void SharedWorld::unsave(const std::vector<std::pair<int, int>>& pieces) {
    for (const auto& [px, py] : pieces) {
        const int x0 = px * kPieceEdge, x1 = std::min(columns_, x0 + kPieceEdge);
        const int y0 = py * kPieceEdge, y1 = std::min(rows_, y0 + kPieceEdge);
        for (int x = x0; x < x1; ++x)
            std::fill(stored_.data() + cellIndex(x, y0, kHighestLevel),
                      stored_.data() + cellIndex(x, y1, kHighestLevel), BlockId{-1});
    }
}

// The log comes newest first. A cell whose newest edit is the name's goes
// back to what it held before the name's run of edits there began; one
// another player changed since keeps that player's work.
std::string SharedWorld::rollback(const std::string& name, int minutes) {
    const std::string who = lowered(name);
    std::vector<CellEdit> edits;
    if (!store_.editsSince(secondsNow() - std::int64_t{minutes} * 60, edits))
        return "rollback: the edit log could not be read";
    struct Cell {
        bool open = true;  // still within the name's newest run
        BlockId before = Empty;
    };
    std::map<std::tuple<int, int, int>, Cell> cells;
    for (const CellEdit& edit : edits) {
        const auto at = std::make_tuple(edit.x, edit.y, edit.level);
        const auto found = cells.find(at);
        if (found == cells.end()) {
            cells[at] = Cell{edit.name == who, edit.before};
        } else if (found->second.open && edit.name == who) {
            found->second.before = edit.before;
        } else {
            found->second.open = false;
        }
    }
    int count = 0;
    for (const auto& [at, cell] : cells) {
        const auto [x, y, level] = at;
        if (!cell.open || x < 0 || x >= columns_ || y < 0 || y >= rows_ || !inGrid(x, y, level) ||
            cellOf(*grid_, x, y, level) == cell.before)
            continue;
        store_.logEdit(CellEdit{secondsNow(), kRollbackName, x, y, level,
                                cellOf(*grid_, x, y, level), cell.before});
        setCellOf(*grid_, x, y, level, cell.before);
        ++count;
    }
    if (count > 0) store_.markWorldChanged(Clock::now());
    return "rollback: put back " + std::to_string(count) + (count == 1 ? " cell " : " cells ") +
           name + " changed in the last " + std::to_string(minutes) + " minutes";
}

// Everyone in the world is put where its record in the restored world has
// it, with that record's stock, and sent its pieces again whole; only the
// order of its hotbar stays as the player has it on screen.
std::string SharedWorld::restoreTo(const RestorePoint& point) {
    auto restored = std::make_unique<WorldGrid>();
    std::string problem;
    if (!store_.restore(point, *restored, problem)) return "restore: " + problem;
    for (int x = 0; x < columns_; ++x)
        for (int y = 0; y < rows_; ++y)
            for (int level = kHighestLevel; level < kHighestLevel + kGridLevels; ++level)
                if (cellOf(*grid_, x, y, level) != cellOf(*restored, x, y, level))
                    setCellOf(*grid_, x, y, level, cellOf(*restored, x, y, level));
    told_.assign(grid_->cells, grid_->cells + static_cast<std::size_t>(columns_) * kStrideX);
    stored_ = told_;
    toldRevision_ = grid_->revision;
    const auto now = Clock::now();
    int moved = 0;
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        letGo(peer);
        std::array<BlockId, kHotbarSlots> hotbar{};
        std::copy(std::begin(peer.state.hotbar), std::end(peer.state.hotbar), hotbar.begin());
        const int slot = peer.state.selectedSlot;
        setUpPlayer(peer, store_.storedRecord(store_.recordPath(peer.name)), now);
        std::copy(hotbar.begin(), hotbar.end(), std::begin(peer.state.hotbar));
        peer.state.selectedSlot = slot;
        peer.waiting.clear();
        peer.correct = true;
        peer.tellCounts.set();
        peer.link->send(
            Announcement{"the world went back to an earlier time: you are where you were then"});
        ++moved;
    }
    return "restore: the world is back at " + point.file + "; " + std::to_string(moved) +
           " players moved to their places in it";
}

}  // namespace server

// The one world every player stands in: its grid, weather and clocks under
// the game's rules, the players in it, and what each is told of the changes.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "game/world_file.h"
#include "protocol/messages.h"
#include "rules/input.h"
#include "rules/projection.h"
#include "rules/world_tick.h"
#include "server/peer.h"
#include "server/server_config.h"
#include "server/store.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace server {

// Columns a player's action may write, each way from the player.
constexpr int kActionReachOf = 2;

class SharedWorld {
public:
    SharedWorld(Log log, const ServerConfig& config, Peers& peers, Store& store,
                std::mt19937& random);

    // Reads the world from the store, or generates an island when there is
    // none. False, with the reason in the log, when it cannot be read.
    bool load(const std::string& worldFolder, int newSize = kBandColumns);
    void snapshot(WorldSnapshot& world) const;

    // The console's: every cell `name` changed in the last `minutes` that
    // nobody changed since goes back to what it was; and the whole world
    // and its players' records back to a restore point. Each answers in
    // one line for the log.
    std::string rollback(const std::string& name, int minutes);
    std::string restoreTo(const RestorePoint& point);

    // The world's size in columns and rows; a classic world's is 20 x 20.
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int piecesAcross() const { return across_; }
    int piecesDown() const { return down_; }

    std::uint8_t bandBlock(int x, int y, int level) const;
    Clocks clocksNow() const;

    // ---- players
    PlayerInfo infoOf(const Peer& peer) const;
    void broadcast(const Message& message, const Peer* except = nullptr);
    Peer* findPlayer(const std::string& name);
    int freeId() const;
    // A new player as single player starts one, on a free column near the
    // world's start, then whatever its record kept.
    void setUpPlayer(Peer& peer, const std::optional<std::string>& stored, Clock::time_point now);

    // A joined player's request for the world; false when it is none the
    // client may send.
    bool request(Peer& peer, const Message& message);
    // The codes of what a refused or ended action touched: told again.
    static void tellActionCounts(Peer& peer);

    // The players' part and the world's part, as single player runs them.
    void tick();
    // The pieces each player's area has come to hold, those it left behind,
    // and at most one Update to each player.
    void sendUpdates(Clock::time_point now);
    // The pieces around a player who just joined, before its first Update.
    void sendArea(Peer& peer);
    // A player leaving: the pieces it held are held by one fewer.
    void letGo(Peer& peer);

    // How far around a player the world is sent: all its view can show of
    // the band's levels, and a column more for the view gliding with a step;
    // and how far it is kept up before it is forgotten.
    static constexpr int kSendReach = viewReach(kViewWidth, kViewHeight, 0, kBandEdge) + 1;
    static constexpr int kKeepReach = kSendReach + kPieceEdge;

    Clocks toldClocks;
    Clock::time_point clocksSent;

private:
    void apply(Peer& peer, const Message& message);
    bool isProtected(const Peer& peer, bool placing) const;
    void refuseProtected(Peer& peer);
    // The columns within an action's reach of (x, y), every level, for
    // finding what a player's action changed.
    using Around =
        std::array<BlockId, (2 * kActionReachOf + 1) * (2 * kActionReachOf + 1) * kGridLevels>;
    void copyAround(int x, int y, Around& cells) const;
    void logChanges(const Peer& peer, int x, int y, const Around& before);
    void takeChanged(std::vector<DbPiece>& pieces, bool all);
    void unsave(const std::vector<std::pair<int, int>>& pieces);
    static void walkToward(PlayerIntent& intent, int facing);
    void restoreActionCell(Peer& peer);
    void changedCells();
    void compareColumn(int x, int y);
    int columnTop(int x, int y) const;
    bool fitsNewPlayer(int x, int y, int apart) const;
    std::pair<int, int> spawnColumn() const;
    int pieceAt(int x, int y) const { return (y / kPieceEdge) * across_ + x / kPieceEdge; }
    // Columns from a player's column to a piece, along the nearer axis's worse.
    int reachTo(const PlayerState& p, int piece) const;
    void syncTold(int piece);
    void updateArea(Peer& peer, std::vector<Message>& before);
    bool inSight(const Peer& viewer, const Peer& other) const;

    Log log_;
    const ServerConfig& config_;
    Peers& peers_;
    Store& store_;
    std::mt19937& random_;

    std::unique_ptr<WorldGrid> grid_ = std::make_unique<WorldGrid>();
    // The cells as the players holding them were last told, laid out as the
    // grid is so that a whole row of columns compares at once; only the
    // world's own rows of columns.
    std::vector<BlockId> told_;
    std::uint32_t toldRevision_ = 0;
    // The cells as the database holds them, laid out as told_ is.
    std::vector<BlockId> stored_;
    // Columns a player's action may write, each way from the player.
    static constexpr int kActionReach = kActionReachOf;
    // Every kSlices-th row of columns makes a slice; those not compared
    // since the last write.
    static constexpr int kSlices = 4;
    std::bitset<kSlices> unscanned_;
    int nextSlice_ = 0;
    std::vector<int> holders_;                      // by piece: players holding it
    std::vector<std::vector<CellChange>> changes_;  // by piece: this tick's
    std::vector<int> changedPieces_;
    int columns_ = kBandColumns, rows_ = kBandColumns, across_ = 1, down_ = 1;
    bool large_ = false;
    WorldKind kind_ = WorldKind::Island;
    WeatherState weather_;
    WorldClock clock_;
    World world_{*grid_, weather_, clock_};
    std::int32_t startX_ = 10, startY_ = 10;
    PlayerRecord worldRecord_;  // the single player's, kept as the file had it
};

}  // namespace server

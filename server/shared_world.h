// The one world every player stands in: its grid, weather and clocks under
// the game's rules, the players in it, and what each is told of the changes.
#pragma once

#include <array>
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
#include "rules/world_tick.h"
#include "server/peer.h"
#include "server/store.h"
#include "world/world_grid.h"

namespace server {

class SharedWorld {
public:
    SharedWorld(Log log, Peers& peers, Store& store, std::mt19937& random);

    // Reads the world from the store, or generates an island when there is
    // none. False, with the reason in the log, when it cannot be read.
    bool load(const std::string& worldFolder);
    void snapshot(WorldSnapshot& world) const;

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
    // At most one Update to each player.
    void sendUpdates(Clock::time_point now);

    std::array<std::uint8_t, kBandCells> toldBand{};  // the band as the players last saw it
    Clocks toldClocks;
    Clock::time_point clocksSent;

private:
    void apply(Peer& peer, const Message& message);
    static void walkToward(PlayerIntent& intent, int facing);
    void restoreActionCell(Peer& peer);
    std::vector<CellChange> changedCells();
    int columnTop(int x, int y) const;
    bool fitsNewPlayer(int x, int y) const;
    std::pair<int, int> spawnColumn() const;

    Log log_;
    Peers& peers_;
    Store& store_;
    std::mt19937& random_;

    std::unique_ptr<WorldGrid> grid_ = std::make_unique<WorldGrid>();
    WeatherState weather_;
    WorldClock clock_;
    World world_{*grid_, weather_, clock_};
    std::int32_t startX_ = 10, startY_ = 10;
    PlayerRecord worldRecord_;  // the single player's, kept as the file had it
};

}  // namespace server

// The hosted world's door: connections taken within their limits, the first
// exchange and the login, names bound to their owners by a key, the packets
// each may send, and the connections' ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "net/listener.h"
#include "net/poll_set.h"
#include "server/peer.h"
#include "server/server_config.h"
#include "server/shared_world.h"
#include "server/store.h"

namespace server {

// 128 bits from the system's random source, in hex; "" when it cannot give them.
std::string newKey();
// The hash a record keeps of a name's key.
std::string hashOf(const std::string& key);
// Whether the key is the one whose hash the record keeps; the comparison
// takes as long wherever the two differ.
bool keyOpens(const std::string& key, const std::string& hash);

class Logins {
public:
    Logins(Log log, ServerConfig& config, Peers& peers, Store& store, SharedWorld& world,
           std::mt19937& random);

    void acceptWaiting(Clock::time_point now);
    // A new connection, taken when the limits leave room for it.
    void take(std::unique_ptr<Client> client, Clock::time_point now);
    // Every request that came, each handled as it is read.
    void readAll(Clock::time_point now);
    // Pings, the silent and the slow to log in, and the refusals told in brief.
    void checkTimes(Clock::time_point now);
    // Connections whose goodbye is out (or has had its time) go.
    void dropClosed(Clock::time_point now);
    // What was queued leaves now, not at the next tick's wait.
    void flush();

    // Ends a connection: a player leaves the world at once, the socket once
    // its last bytes are out (or the flush budget is spent).
    void close(Peer& peer, Reason reason, const std::string& detail = "",
               const std::string& why = "");
    // A name's record went away: one more name may own one.
    void nameDropped() { namesKnown = std::max(0, namesKnown - 1); }

    std::unique_ptr<Listener> listener;
    PollSet pollSet;
    int connectionCap = 1, loginCap = 1;  // set from the descriptor limit at start
    Clock::time_point started;
    std::atomic<int> joinedCount{0};
    // Names that own a record, and the newest claims: each is a file in
    // players/, so both are bounded.
    int namesKnown = 0;

private:
    // A refused address is told once, then in one line a second for as long
    // as its refusals go on: a flood of connections must not flood the log.
    struct Refusals {
        Clock::time_point since;
        int more = 0;
        std::string why;
    };

    void refuseConnection(const std::string& address, const std::string& why,
                          Clock::time_point now);
    void summariseRefusals(Clock::time_point now);
    bool makeRoom(Clock::time_point now);
    int connectionsFrom(const std::string& address) const;
    void handle(Peer& peer, const Message& message, Clock::time_point now);
    bool withinRates(Peer& peer, const Message& message, Clock::time_point now);
    void refuse(Peer& peer, Reason reason, const std::string& why, const std::string& detail = "");
    std::string roomForNewName(const std::string& address, Clock::time_point now);
    void login(Peer& peer, const Login& request, Clock::time_point now);
    std::chrono::milliseconds pingEvery() const;

    Log log_;
    ServerConfig& config_;
    Peers& peers_;
    Store& store_;
    SharedWorld& world_;
    std::mt19937& random_;
    std::map<std::string, Refusals> refusals_;
    std::deque<Clock::time_point> recentNames_;
    // The same, by the address each came from; an address goes once its
    // minute is over.
    std::map<std::string, std::deque<Clock::time_point>> recentNamesFrom_;
};

}  // namespace server

#include "server/logins.h"

#include <nettle/memops.h>
#include <nettle/sha2.h>
#include <sys/random.h>

#include <cerrno>

#include "protocol/codec.h"
#include "server/server.h"

namespace server {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr auto kPingEvery = milliseconds(5000);  // or a third of a shorter silence limit
constexpr auto kFlushBudget = seconds(2);        // a leaving peer's last bytes
// Pieces a player may ask for again in a second: each costs a compression
// and up to 8 KB on the way out.
constexpr int kPiecesPerSecond = 40;

bool isHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string hexOf(const std::uint8_t* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

}  // namespace

std::string newKey() {
    std::uint8_t bytes[kKeyLength / 2];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return "";
        got += static_cast<std::size_t>(n);
    }
    return hexOf(bytes, sizeof bytes);
}

// A key is as strong as its 128 random bits: one round of the hash is enough
// to keep the record from giving the key away.
std::string hashOf(const std::string& key) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return hexOf(digest, sizeof digest);
}

bool keyOpens(const std::string& key, const std::string& hash) {
    const std::string given = hashOf(key);
    const bool wellFormed = key.size() == kKeyLength && isHex(key) && hash.size() == given.size();
    const std::string& against = wellFormed ? hash : given;
    const bool same = nettle_memeql_sec(given.data(), against.data(), given.size()) != 0;
    return wellFormed && same;
}

Logins::Logins(Log log, ServerConfig& config, Peers& peers, Store& store, SharedWorld& world,
               std::mt19937& random)
    : log_(std::move(log)),
      config_(config),
      peers_(peers),
      store_(store),
      world_(world),
      random_(random) {}

void Logins::refuse(Peer& peer, Reason reason, const std::string& why, const std::string& detail) {
    log_("refused " + peer.address + ": " + why);
    close(peer, reason, detail);
}

// Whether one more name may own a record: a flood of made-up names must
// not fill the players' folder.
std::string Logins::roomForNewName(const std::string& address, Clock::time_point now) {
    const auto forget = [now](std::deque<Clock::time_point>& times) {
        while (!times.empty() && now - times.front() >= std::chrono::minutes(1)) times.pop_front();
    };
    forget(recentNames_);
    for (auto it = recentNamesFrom_.begin(); it != recentNamesFrom_.end();) {
        forget(it->second);
        it = it->second.empty() ? recentNamesFrom_.erase(it) : std::next(it);
    }
    if (namesKnown >= config_.maxNames) return "no room for new names";
    if (static_cast<int>(recentNames_.size()) >= config_.newNamesPerMinute)
        return "too many new names this minute";
    const auto from = recentNamesFrom_.find(address);
    if (from != recentNamesFrom_.end() &&
        static_cast<int>(from->second.size()) >= config_.newNamesPerAddress)
        return "too many new names from this address this minute";
    return "";
}

// A name belongs to whoever joined with it first: that join is handed a
// key, and every later join of the name must bring it. A record kept
// from before names had keys has no hash: the next join of that name
// claims it. The right key also takes the name over from a connection
// still in play (a dead link the server has not noticed yet).
void Logins::login(Peer& peer, const Login& request, Clock::time_point now) {
    if (config_.isBanned(request.name, peer.address))
        return refuse(peer, Reason::Banned, request.name + " is banned");
    if (!config_.whitelistAllows(request.name))
        return refuse(peer, Reason::NotWhitelisted, request.name + " is not on the whitelist");
    if (!config_.password.empty() && request.password != config_.password)
        return refuse(peer, Reason::WrongPassword, request.name + " gave a wrong password");
    const std::string path = store_.recordPath(request.name);
    Peer* const old = world_.findPlayer(request.name);
    std::optional<std::string> stored = old ? std::nullopt : store_.storedRecord(path);
    const std::string hash = old ? old->keyHash : stored ? hashIn(*stored) : "";
    if (!hash.empty() && !keyOpens(request.key, hash))
        return refuse(peer, Reason::NameOwned, request.name + " without its key");
    if (hash.empty() && old)  // every player in play owns its name: never here
        return refuse(peer, Reason::NameTaken, "the name " + request.name + " is taken");
    if (!stored && !old) {
        const std::string full = roomForNewName(peer.address, now);
        if (!full.empty())
            return refuse(peer, Reason::ServerFull, request.name + ": " + full, full);
    }
    const int id = world_.freeId();
    if (joinedCount - (old ? 1 : 0) >= config_.maxPlayers || id < 0)
        return refuse(peer, Reason::ServerFull, request.name + ": server full");
    std::string key;
    if (hash.empty()) {
        key = newKey();
        if (key.empty())
            return refuse(peer, Reason::ServerFull, "no random source for a key",
                          "the server cannot make keys");
        if (!stored) {
            ++namesKnown;
            recentNames_.push_back(now);
            recentNamesFrom_[peer.address].push_back(now);
        }
    }
    if (old) {
        close(*old, Reason::Kicked, "the name joined again from elsewhere",
              "joined again from elsewhere");
        stored = store_.storedRecord(path);
    }
    peer.joined = true;
    peer.name = request.name;
    peer.id = static_cast<std::uint8_t>(id);
    peer.keyHash = key.empty() ? hash : hashOf(key);
    world_.setUpPlayer(peer, stored, now);
    ++joinedCount;

    Welcome welcome;
    welcome.self = world_.infoOf(peer);
    welcome.columns = static_cast<std::uint16_t>(world_.columns());
    welcome.rows = static_cast<std::uint16_t>(world_.rows());
    welcome.slot = static_cast<std::uint8_t>(peer.state.selectedSlot);
    for (int i = 0; i < kHotbarSize; ++i) {
        const BlockId b = peer.state.hotbar[i];
        welcome.hotbar[i] = static_cast<std::uint8_t>(isKnownBlock(b) ? b : 0);
    }
    for (int b = 0; b < kBlockTypes; ++b)
        welcome.stock[b] = static_cast<std::uint32_t>(
            clampTo(peer.state.blockCounts[b], 0, static_cast<int>(kLargestThree)));
    welcome.clocks = world_.toldClocks;
    welcome.autoJump = peer.state.autoJump;
    welcome.raised = peer.state.targetRaised != 0;
    welcome.key = key;
    peer.link->send(welcome);
    world_.sendArea(peer);
    PlayerList list;
    for (const auto& other : peers_)
        if (other->joined && !other->closing && other.get() != &peer)
            list.players.push_back(world_.infoOf(*other));
    peer.link->send(list);
    world_.broadcast(PlayerJoined{world_.infoOf(peer)}, &peer);
    log_(peer.name + (key.empty() ? " joined" : " joined and claimed the name"));
}

// The record goes with the next save, together with the world it was
// played in.
void Logins::close(Peer& peer, Reason reason, const std::string& detail, const std::string& why) {
    if (peer.closing) return;
    peer.link->leave(reason, detail);
    peer.closing = true;
    peer.closingSince = Clock::now();
    if (!peer.joined) return;
    --joinedCount;
    world_.letGo(peer);
    world_.broadcast(PlayerLeft{peer.id, reason});
    log_(peer.name + " left: " + (why.empty() ? std::string(reasonText(reason)) : why));
    const std::string path = store_.recordPath(peer.name);
    store_.keep(store_.issue(path, store_.recordTextOf(peer)));
    store_.noteRecordChange(peer.closingSince);
}

// ---- requests

void Logins::handle(Peer& peer, const Message& message, Clock::time_point now) {
    peer.lastHeard = now;
    // Pings are packets too: counted, so a flood of them ends like any other.
    if (std::holds_alternative<Ping>(message) || std::holds_alternative<Pong>(message)) {
        if (!withinRates(peer, message, now)) return;
        if (const auto* ping = std::get_if<Ping>(&message)) {
            peer.link->send(Pong{ping->stamp});
        } else {
            // The stamp is the server's own clock when it asked.
            peer.pingMs =
                roundTripMs(pingStamp(std::chrono::duration_cast<milliseconds>(now - started)),
                            std::get<Pong>(message).stamp);
        }
        return;
    }
    if (std::holds_alternative<Leave>(message)) {
        close(peer, Reason::Leaving, "", "quit");
        return;
    }
    if (!peer.joined) {
        if (const auto* request = std::get_if<Login>(&message)) return login(peer, *request, now);
        log_("dropped " + peer.address + ": " + rowOf(message).name + " before its login");
        return close(peer, Reason::BrokeProtocol);
    }
    if (std::holds_alternative<Login>(message)) {
        log_("dropped " + peer.name + ": a second login");
        return close(peer, Reason::BrokeProtocol, "", "broke the protocol (a second login)");
    }
    if (!withinRates(peer, message, now)) return;
    if (world_.request(peer, message)) return;
    log_("dropped " + peer.name + ": " + rowOf(message).name + " is not the client's");
    close(peer, Reason::BrokeProtocol, "", "broke the protocol");
}

// Over the rate: the packet is passed over; far over (twice): kicked.
bool Logins::withinRates(Peer& peer, const Message& message, Clock::time_point now) {
    if (now - peer.rateStart >= seconds(1)) {
        peer.rateStart = now;
        peer.packets = peer.edits = peer.chats = peer.pieces = 0;
    }
    int* count = &peer.packets;
    int limit = config_.packetsPerSecond;
    ++peer.packets;
    if (std::holds_alternative<PieceRequest>(message)) {
        count = &peer.pieces;
        limit = kPiecesPerSecond;
        ++peer.pieces;
    }
    if (std::holds_alternative<Use>(message)) {
        count = &peer.edits;
        limit = config_.editsPerSecond;
        ++peer.edits;
    } else if (std::holds_alternative<Say>(message)) {
        count = &peer.chats;
        limit = config_.chatsPerSecond;
        ++peer.chats;
    }
    if (peer.packets > 2 * config_.packetsPerSecond || *count > 2 * limit) {
        close(peer, Reason::TooFast, "", "too fast");
        return false;
    }
    if (peer.packets > config_.packetsPerSecond || *count > limit) {
        if (const auto* use = std::get_if<Use>(&message)) {
            peer.correct = true;
            if (use->slot < kHotbarSlots) peer.actionBlocks[0] = peer.state.hotbar[use->slot];
            peer.actionBlocks[1] = peer.state.targetBlock;
            SharedWorld::tellActionCounts(peer);
        }
        return false;
    }
    return true;
}

// ---- connections: what each may hold, and the refusals told in brief

void Logins::acceptWaiting(Clock::time_point now) {
    while (auto client = listener->accept()) take(std::move(client), now);
}

void Logins::refuseConnection(const std::string& address, const std::string& why,
                              Clock::time_point now) {
    const auto [entry, fresh] = refusals_.try_emplace(address, Refusals{now, 0, why});
    if (fresh) return log_("refused " + address + ": " + why);
    ++entry->second.more;
    entry->second.why = why;
}

void Logins::summariseRefusals(Clock::time_point now) {
    for (auto it = refusals_.begin(); it != refusals_.end();) {
        Refusals& r = it->second;
        if (now - r.since < seconds(1)) {
            ++it;
        } else if (r.more == 0) {
            it = refusals_.erase(it);
        } else {
            log_("refused " + it->first + " " + std::to_string(r.more) +
                 " more times in the last second (" + r.why + ")");
            r = Refusals{now, 0, r.why};
            ++it;
        }
    }
}

// Room for one more connection within the caps. When they are reached, a
// connection whose goodbye is all it still holds goes first; else one still
// logging in from the address that holds the most of those, its oldest.
// The newest go last, whether or not their Hello has been read yet: a player
// logs in within a round trip or two, and keeps its place while all the
// others turn over, however many addresses a flood of idle strangers comes
// from; and no address holds more than its share while the places are
// short. False when every connection is a player's.
bool Logins::makeRoom(Clock::time_point now) {
    std::map<std::string, int> loggingInFrom;
    int loggingIn = 0;
    for (const auto& peer : peers_)
        if (!peer->joined && !peer->closing) {
            ++loggingIn;
            ++loggingInFrom[peer->address];
        }
    const bool allFull = static_cast<int>(peers_.size()) >= connectionCap;
    if (!allFull && loggingIn < loginCap) return true;
    // Peers are kept in the order they came: the first found is the oldest.
    auto victim = peers_.end();
    int most = 0;
    for (auto it = peers_.begin(); it != peers_.end(); ++it) {
        const Peer& p = **it;
        if (p.closing && allFull) {
            victim = it;
            break;
        }
        if (p.joined || p.closing) continue;
        if (loggingInFrom[p.address] > most) {
            most = loggingInFrom[p.address];
            victim = it;
        }
    }
    if (victim == peers_.end()) return false;
    Peer& peer = **victim;
    if (!peer.closing) {
        refuseConnection(peer.address, "dropped while logging in, the connections are full", now);
        peer.link->leave(Reason::ServerFull);
        peer.link->client().handleEvents(POLLOUT);
    }
    peer.link->client().abort(true);
    peers_.erase(victim);
    return true;
}

void Logins::take(std::unique_ptr<Client> client, Clock::time_point now) {
    const std::string address = client->remoteAddress().toString();
    std::string why;
    if (config_.isBanned("", address)) {
        why = "banned";
    } else if (connectionsFrom(address) >= config_.connectionsPerAddress) {
        why = std::to_string(config_.connectionsPerAddress) + " connections open from it";
    } else if (!config_.allowConnect(address, now)) {
        why = std::to_string(config_.connectsPerMinute) + " connections in the last minute";
    } else if (!makeRoom(now)) {
        why = "every connection is a player's";
    }
    if (!why.empty()) {
        refuseConnection(address, why, now);
        client->abort(true);
        return;
    }
    auto peer = std::make_unique<Peer>();
    std::uniform_int_distribution<std::uint32_t> bits;
    peer->link = std::make_unique<Connection>(std::move(client), handshakeKeysFrom(bits(random_)));
    peer->link->client().setSendLimit(static_cast<std::uint32_t>(config_.sendQueueBytes));
    peer->address = address;
    peer->opened = peer->lastHeard = peer->lastPing = peer->rateStart = now;
    peers_.push_back(std::move(peer));
}

int Logins::connectionsFrom(const std::string& address) const {
    int n = 0;
    for (const auto& peer : peers_) n += peer->address == address ? 1 : 0;
    return n;
}

void Logins::readAll(Clock::time_point now) {
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (peer.closing) continue;
        while (!peer.closing) {
            auto message = peer.link->receive();
            if (!message) break;
            handle(peer, *message, now);
        }
        if (peer.closing) continue;
        if (!peer.link->isOpen()) {
            const auto& refusal = peer.link->refusal();
            const std::string text = peer.link->endText();
            if (refusal) {
                log_("dropped " + (peer.joined ? peer.name : peer.address) + ": " + text);
                close(peer, refusal->reason, "",
                      std::string(reasonText(refusal->reason)) + " (" + text + ")");
            } else {
                close(peer, Reason::Leaving, "", text == "connection closed" ? "quit" : text);
            }
        }
    }
}

// A player that only answers pings must never look silent.
milliseconds Logins::pingEvery() const {
    return std::min(kPingEvery, milliseconds(config_.silenceSeconds * 1000 / 3));
}

void Logins::checkTimes(Clock::time_point now) {
    summariseRefusals(now);
    const std::uint32_t stamp = pingStamp(std::chrono::duration_cast<milliseconds>(now - started));
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (peer.closing) continue;
        if (!peer.joined && now - peer.opened > seconds(config_.loginSeconds)) {
            log_("dropped " + peer.address + ": no login within " +
                 std::to_string(config_.loginSeconds) + " s");
            close(peer, Reason::TimedOut);
        } else if (now - peer.lastHeard > seconds(config_.silenceSeconds)) {
            close(peer, Reason::TimedOut);
        } else if (peer.joined && now - peer.lastPing >= pingEvery()) {
            peer.lastPing = now;
            peer.link->send(Ping{stamp});
        }
    }
}

void Logins::dropClosed(Clock::time_point now) {
    peers_.erase(std::remove_if(peers_.begin(), peers_.end(),
                                [&](const std::unique_ptr<Peer>& peer) {
                                    if (!peer->closing) return false;
                                    Client& c = peer->link->client();
                                    if (c.isConnected() && c.bytesToSend() > 0 &&
                                        now - peer->closingSince < kFlushBudget)
                                        return false;
                                    c.abort(true);
                                    return true;
                                }),
                 peers_.end());
}

// A look over every socket that waits for nothing, so no reply sits out a tick.
void Logins::flush() {
    pollSet.clear();
    bool any = false;
    for (const auto& peer : peers_) {
        Client& c = peer->link->client();
        if (c.isConnected() && c.bytesToSend() > 0) {
            pollSet.add(c);
            any = true;
        }
    }
    if (!any) return;
    try {
        pollSet.wait(0);
    } catch (const std::exception& e) {
        log_(std::string("sending failed: ") + e.what());
    }
}

}  // namespace server

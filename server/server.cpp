// The hosted world's owner: it wires the door (connections and logins), the
// shared world, the store and the console together and runs their tick.
#include "server/server.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "game/world_lock.h"
#include "protocol/codec.h"
#include "server/console.h"
#include "server/logins.h"
#include "server/peer.h"
#include "server/server_config.h"
#include "server/shared_world.h"
#include "server/store.h"

namespace {

using server::clampTo;
using server::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr auto kTick = milliseconds(1000 / Server::kTicksPerSecond);

// What the process may open in all, and what it has open now (a game hosting
// on a thread has its window, sounds and fonts open too).
int descriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > (1u << 20))
        return 1 << 20;
    return static_cast<int>(limit.rlim_cur);
}

int openDescriptors() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return 8;
    int count = -3;  // ".", ".." and the listing's own
    while (::readdir(folder) != nullptr) ++count;
    ::closedir(folder);
    return std::max(count, 0);
}

// Descriptors never given to connections: the saves' temporary files, the
// world's backup and its copy, a record read at a join, the log and console.
constexpr int kDescriptorsKept = 16;

}  // namespace

struct Server::Impl {
    ServerOptions options;
    ServerConfig config;
    WorldLock lock;  // held from start to stop: no game or other server writes the world meanwhile
    std::mt19937 random{std::random_device{}()};
    std::atomic<bool> stopFlag{false};

    // The rooms, each handed only what it uses of the others.
    server::Peers peers;
    server::Store store{logger(), peers};
    server::SharedWorld world{logger(), config, peers, store, random};
    server::Logins logins{logger(), config, peers, store, world, random};
    server::Console console{logger(), config, peers, logins, world, store, stopFlag};

    Clock::time_point nextTick;
    std::atomic<std::uint16_t> boundPort{0};
    bool running = false;

    void log(const std::string& line) {
        if (options.log) {
            options.log(line);
        } else {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
    }

    server::Log logger() {
        return [this](const std::string& line) { log(line); };
    }
};

Server::Server(ServerOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
}

Server::~Server() { stop(); }

bool Server::start() {
    Impl& s = *impl_;
    if (s.running) return true;
    const std::string& folder = s.options.worldFolder;
    // The folders on the way too: `--world worlds/home` on a fresh machine.
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        s.log("cannot make the world folder " + folder + ": " + made.message());
        return false;
    }
    if (s.lock.take(folder) != WorldLock::Outcome::Taken) {
        s.log("cannot host " + folder + ": " +
              (s.lock.error().empty() ? "another game or server has it" : s.lock.error()));
        return false;
    }
    s.store.setFolder(folder);
    std::string problem;
    s.config = readServerConfig(folder, problem);
    if (!problem.empty()) {
        s.log("cannot host " + folder + ": " + problem);
        s.lock.release();
        return false;
    }
    if (s.options.maxPlayers >= 0) s.config.maxPlayers = s.options.maxPlayers;
    if (s.config.protectSpawn < 0) s.config.protectSpawn = s.options.protectSpawn;
    s.config.maxPlayers = clampTo(s.config.maxPlayers, 0, static_cast<int>(kLastPlayerId) + 1);
    // Connections stay well below the descriptor limit, or its last ones
    // would go to idle strangers and the saves would find none left.
    const int limit = descriptorLimit(), open = openDescriptors();
    const int room = limit - open - kDescriptorsKept;
    if (room < 2) {
        s.log("cannot host " + folder + ": the limit of " + std::to_string(limit) +
              " open files leaves no room for connections");
        s.lock.release();
        return false;
    }
    s.logins.loginCap = std::min(std::max(s.config.maxPlayers, 32), std::max(1, room / 2));
    s.logins.connectionCap = std::min(s.config.maxPlayers + s.logins.loginCap, room);
    s.log("open files: " + std::to_string(limit) + " allowed, " + std::to_string(open) + " open, " +
          std::to_string(kDescriptorsKept) + " kept for saving: room for " +
          std::to_string(s.logins.connectionCap) + " connections, " +
          std::to_string(s.logins.loginCap) + " of them logging in");
    s.logins.started = Clock::now();
    s.store.setKeeping(s.config.restorePoints, s.config.restoreEveryMinutes, s.config.editLogDays);
    if (!s.world.load(folder, s.options.newWorldSize)) {
        s.lock.release();
        return false;
    }
    s.logins.namesKnown = s.store.countRecords();
    s.store.restorePointAtStart();
    try {
        s.logins.listener = std::make_unique<Listener>(Ipv4Address(), s.options.port);
    } catch (const std::exception& e) {
        s.log("cannot listen on port " + std::to_string(s.options.port) + ": " + e.what());
        return false;
    }
    s.boundPort = s.logins.listener->port();
    s.nextTick = s.world.clocksSent = Clock::now();
    s.running = true;
    s.log("listening on port " + std::to_string(s.boundPort.load()) + " with " +
          s.store.worldPath() + ", at most " + std::to_string(s.config.maxPlayers) + " players");
    return true;
}

std::uint16_t Server::port() const { return impl_->boundPort; }

void Server::runTick() {
    Impl& s = *impl_;
    if (!s.running) return;
    auto now = Clock::now();
    const auto wait =
        s.options.paced ? std::chrono::duration_cast<milliseconds>(s.nextTick - now).count() : 0;
    s.logins.pollSet.clear();
    s.logins.pollSet.add(*s.logins.listener);
    for (const auto& peer : s.peers) s.logins.pollSet.add(peer->link->client());
    try {
        s.logins.pollSet.wait(static_cast<int>(std::max<long long>(0, wait)));
    } catch (const std::exception& e) {
        s.log(std::string("waiting on the connections failed: ") + e.what());
    }
    // The tick's own work is timed apart from its two waits.
    now = Clock::now();
    const auto readStart = now;
    if (s.logins.pollSet.listenerReady()) s.logins.acceptWaiting(now);
    s.logins.readAll(now);
    // The first exchange and the login are answered at once: a join that
    // waited for the tick at each of its round trips would take three.
    s.logins.flush();
    const auto readTime = Clock::now() - readStart;
    if (s.options.paced) std::this_thread::sleep_until(s.nextTick);
    s.nextTick += kTick;
    now = Clock::now();
    const auto workStart = now;
    if (s.nextTick < now - seconds(1)) s.nextTick = now;  // no burst of ticks after a stall
    s.console.runCommands();
    s.world.tick();
    s.world.sendUpdates(now);
    s.logins.checkTimes(now);
    s.logins.dropClosed(now);
    s.logins.flush();
    s.store.autosave(now);
    s.console.countTick(readTime + (Clock::now() - workStart));
}

bool Server::run() {
    while (!impl_->stopFlag) runTick();
    return stop();
}

void Server::requestStop() { impl_->stopFlag = true; }

bool Server::stopRequested() const { return impl_->stopFlag; }

bool Server::stop() {
    Impl& s = *impl_;
    if (!s.running) return true;
    s.running = false;
    for (const auto& peer : s.peers)
        s.logins.close(*peer, Reason::ServerStopped, "", "server stopped");
    // The goodbyes get a moment to leave; nobody is waited on for long.
    const auto until = Clock::now() + milliseconds(500);
    for (;;) {
        bool pending = false;
        s.logins.pollSet.clear();
        for (const auto& peer : s.peers) {
            Client& c = peer->link->client();
            if (c.isConnected() && c.bytesToSend() > 0) {
                s.logins.pollSet.add(c);
                pending = true;
            }
        }
        if (!pending || Clock::now() >= until) break;
        try {
            s.logins.pollSet.wait(20);
        } catch (const std::exception&) {
            break;
        }
    }
    for (const auto& peer : s.peers) peer->link->client().abort(true);
    s.peers.clear();
    const bool saved = s.store.close();
    s.logins.listener.reset();
    s.lock.release();
    s.log(saved ? "stopped; world saved" : "stopped; the world could not be saved");
    return saved;
}

void Server::command(const std::string& line) { impl_->console.queue(line); }

int Server::playerCount() const { return impl_->logins.joinedCount; }

void Server::adopt(std::unique_ptr<Client> client) {
    if (impl_->running) impl_->logins.take(std::move(client), Clock::now());
}

// The wire's largest whole number is reached after some 47 days of uptime:
// the stamp wraps before it, and a round trip is counted across the wrap.
std::uint32_t pingStamp(std::chrono::milliseconds sinceStart) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(sinceStart.count()) %
                                      (std::uint64_t{kLargestInt} + 1));
}

std::uint32_t roundTripMs(std::uint32_t stampNow, std::uint32_t echoed) {
    const std::uint64_t span = std::uint64_t{kLargestInt} + 1;
    return static_cast<std::uint32_t>((stampNow + span - echoed % span) % span);
}

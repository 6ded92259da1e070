// The server's console: lines typed by whoever runs it (or handed over by
// the game that hosts), queued from any thread and run at the next tick.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "server/logins.h"
#include "server/peer.h"
#include "server/server.h"
#include "server/server_config.h"
#include "server/shared_world.h"
#include "server/store.h"

namespace server {

// A console line's first word and the rest, without the blanks around it.
struct ConsoleLine {
    std::string verb, rest;
};
ConsoleLine splitConsoleLine(const std::string& line);

// `forget`'s arguments: a name, then `drop` or nothing. False for anything else.
bool parseForget(const std::string& words, std::string& name, bool& drop);

// `history X Y`, `rollback NAME MINUTES` and `restore [N]`: false for
// anything but whole numbers in range and a name (the world's size and the
// restore points are checked where they are known).
bool parseHistory(const std::string& words, int& x, int& y);
bool parseRollback(const std::string& words, std::string& name, int& minutes);
bool parseRestore(const std::string& words, int& which);  // 0: list them

// Every verb, as the console's help and the unknown command's answer name them.
extern const char kConsoleVerbs[];

// The ticks `stats` looks back over: about a minute.
constexpr std::size_t kTickTimesKept = 60 * Server::kTicksPerSecond;

class Console {
public:
    Console(Log log, ServerConfig& config, Peers& peers, Logins& logins, SharedWorld& world,
            Store& store, std::atomic<bool>& stopFlag);

    // From any thread.
    void queue(const std::string& line);
    // On the ticking thread: every line queued since the last tick.
    void runCommands();
    // The work of one tick, without its waits, for `stats`.
    void countTick(Clock::duration work);

private:
    void runCommand(const std::string& line);
    void forget(const std::string& words);
    void history(const std::string& words);
    void restore(const std::string& words);
    std::string statsLine() const;

    Log log_;
    ServerConfig& config_;
    Peers& peers_;
    Logins& logins_;
    SharedWorld& world_;
    Store& store_;
    std::atomic<bool>& stopFlag_;

    std::mutex commandsLock_;
    std::vector<std::string> commands_;
    std::array<std::uint32_t, kTickTimesKept> tickMicros_{};
    std::uint64_t ticks_ = 0;
};

}  // namespace server

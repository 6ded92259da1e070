// The real tessaria-server as a child process, and headless players that
// speak to it over 127.0.0.1 with the protocol's own Connection.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/connection.h"
#include "support/waiting.h"
#include "world/world_grid.h"

// A folder under /tmp, removed at the end, whose world/ holds grass at level
// 10 everywhere and a cobblestone pillar north of the start column (5, 5)
// that a player without auto-jump cannot walk into.
struct TempWorld {
    std::filesystem::path path;
    TempWorld();
    ~TempWorld();
    std::string world() const { return (path / "world").string(); }
};

// The world and the players' records (by name, when asked for) as a
// server's database holds them, read beside a server that has it open;
// nothing when it cannot be read.
std::unique_ptr<WorldGrid> readServerWorld(const std::string& folder,
                                           std::map<std::string, std::string>* records = nullptr);

// One name's record as the database holds it; "" when it holds none.
std::string savedRecord(const std::string& folder, const std::string& name);

class ServerProcess {
public:
    // Runs tessaria-server --port 0 --world folder and waits for its
    // "listening on port N" line; port() is 0 when it never came. A
    // descriptor limit above 0 is set on the child before it starts.
    explicit ServerProcess(const std::string& folder, std::vector<std::string> extra = {},
                           int descriptorLimit = 0);
    ~ServerProcess();  // SIGKILL when still running

    std::uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }
    // True once a line of the log contains `text`.
    bool sawLine(const std::string& text);
    void console(const std::string& line);
    // Sends the signal and waits for the exit status; -1 when it did not end.
    int stop(int signal);
    std::string log();
    // The exit status of a server that ended without listening; -1 otherwise.
    int exitStatus() const { return exitStatus_; }

private:
    int exitStatus_ = -1;
    pid_t pid_ = -1;
    int toServer_ = -1, fromServer_ = -1;
    std::uint16_t port_ = 0;
    std::thread reader_;
    std::mutex lock_;
    std::string output_;
};

// A player without a window: joins, keeps every message it was sent.
class Player {
public:
    // From 127.0.0.`host`: the server tells addresses apart.
    Player(std::uint16_t port, const std::string& name, const std::string& password = "",
           const std::string& key = "", std::uint8_t host = 1);
    ~Player();
    Connection& link() { return *link_; }
    void send(const Message& message);  // and on its way at once
    // Moves every player's bytes and takes the messages that came: a player
    // that is not being watched still answers pings and sends what it said.
    static void pumpAll();
    // Pumps until one of the received messages passes `match`.
    template <class T>
    bool receives(const std::function<bool(const T&)>& match) {
        return pumpUntil([&] { return find<T>(match) != nullptr; }, [] { pumpAll(); });
    }
    template <class T>
    const T* find(const std::function<bool(const T&)>& match) const {
        for (const Message& m : received)
            if (const T* t = std::get_if<T>(&m); t && match(*t)) return t;
        return nullptr;
    }
    std::vector<Message> received;

private:
    void pump();
    std::unique_ptr<Connection> link_;
};

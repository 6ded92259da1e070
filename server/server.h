// A world hosted for players over the network: the dedicated server's whole
// game, and the same object a game can run on a thread of its own to host
// its world. It keeps its own grid, weather and clock, never the single
// player's process-wide ones, so a game may host while it draws.
//
// Use:
//     ServerOptions options;
//     options.worldFolder = "worlds/home";
//     Server server(options);
//     if (!server.start()) return;          // the reason went to the log
//     ... server.port() ...                 // the port it listens on
//     server.run();                         // ticks until requestStop()
//
// run() is a loop over runTick(); a caller that keeps its own loop calls
// runTick() itself, 40 times a second, then stop(). Everything but
// requestStop(), command(), playerCount() and port() belongs to the thread
// that runs the ticks.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct ServerOptions {
    std::uint16_t port = 0;         // 0: the system picks a free one (see Server::port)
    std::string worldFolder = ".";  // holds world.sqlite, server.ini, admin.ini and restore/
    int maxPlayers = -1;            // -1: what server.ini says (16 when it says nothing)
    // The columns along each side of the island made for a folder with no
    // world: the band's 20, or 64, 128 or 300.
    int newWorldSize = 20;
    // The columns around the world's start that only admins change when
    // server.ini does not say: a game that hosts its own world for friends
    // protects nothing, tessaria-server 8.
    int protectSpawn = 0;
    // Where each line of the log goes (no line feed at its end); standard
    // output when empty. Called on the ticking thread only.
    std::function<void(const std::string&)> log;
    // False runs each tick as soon as the last one ends, without waiting for
    // its time: for the fuzzer, which drives the server as fast as it can.
    bool paced = true;
};

class Client;

// A Ping's stamp: the server's milliseconds since its start, wrapped to stay
// within the wire's range; and the round trip from the stamp a Pong echoed.
std::uint32_t pingStamp(std::chrono::milliseconds sinceStart);
std::uint32_t roundTripMs(std::uint32_t stampNow, std::uint32_t echoed);

class Server {
public:
    static constexpr int kTicksPerSecond = 40;

    explicit Server(ServerOptions options);
    ~Server();  // stops (and saves) a server still running
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Reads server.ini, loads the world (a missing one is generated), binds
    // the port and logs "listening on port N". False, with the reason in the
    // log, when the world folder or the port cannot be used.
    bool start();
    // The port bound by start(); 0 before.
    std::uint16_t port() const;

    // One tick: one wait over every connection until the tick is due, the
    // requests that came, the world's tick and each player's, then at most
    // one Update to each player, pings, time-outs and the autosave.
    void runTick();
    // Ticks until requestStop() or the console's `stop`, then stop().
    // Returns stop()'s answer.
    bool run();
    // Safe from any thread and from a signal handler.
    void requestStop();
    bool stopRequested() const;
    // Tells every player the server stopped, saves the world and every
    // player's record and closes. True when all was saved. Idempotent.
    bool stop();

    // A console line (list, stats, say TEXT, kick NAME, ban NAME|ADDRESS, unban
    // NAME|ADDRESS, whitelist on|off|add NAME|remove NAME, forget NAME [drop],
    // history X Y, rollback NAME MINUTES, restore [N], save, stop), from any
    // thread; it runs at the next tick and answers in the log.
    void command(const std::string& line);
    // Players who have joined and not left; from any thread.
    int playerCount() const;
    // Takes a connection made elsewhere (one end of a socket pair) as if the
    // listener had accepted it. The ticking thread only.
    void adopt(std::unique_ptr<Client> client);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

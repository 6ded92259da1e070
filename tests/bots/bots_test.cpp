// tessaria-bots against the real server on 127.0.0.1: the bots join, edit
// the world together, and end with the server's world, and the summary's last
// line says so; a server killed under them and started again on the same
// port gets them all back; bots the server turns away say why, and only the
// bots compared with the server's world count as desyncs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "game/world_file.h"
#include "server/server_process.h"

namespace {

namespace fs = std::filesystem;

struct Summary {
    int joined = -1, edits = -1, desyncs = -1;
    double latency = -1, bytesPerSecond = -1;
};

// Grass at level 10 everywhere: ground to mine and air to fill above it.
struct FlatWorld {
    fs::path path;
    explicit FlatWorld(const std::string& serverIni = "") {
        char pattern[] = "/tmp/tessaria-bots-XXXXXX";
        path = ::mkdtemp(pattern);
        WorldSnapshot world;
        for (int x = 0; x < kBandEdge; ++x)
            for (int y = 0; y < kBandEdge; ++y) world.at(x, y, 10) = Grass;
        world.playerX = world.playerY = 8;
        fs::create_directories(path / "world");
        writeWorldFile((path / "world" / "world.ini").string(), world, false);
        // The bots build beside the start.
        std::ofstream(path / "world" / "server.ini") << "protect_spawn = 0\n" << serverIni;
    }
    ~FlatWorld() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string world() const { return (path / "world").string(); }
};

// Runs the bots to the end; their standard output, the summary last.
std::string runBots(std::uint16_t port, int count, int seconds, int* status = nullptr,
                    const std::string& extra = "") {
    const std::string command = std::string(TESSARIA_BOTS_BINARY) +
                                " --connect 127.0.0.1:" + std::to_string(port) + " --count " +
                                std::to_string(count) + " --seconds " + std::to_string(seconds) +
                                " --seed 7" + extra;
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        const int ended = ::pclose(pipe);
        if (status) *status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
    }
    return output;
}

Summary lastLine(const std::string& output) {
    static const std::regex line(
        "bots: ([0-9]+) joined, ([0-9]+) edits, ([0-9.]+) ms p99 edit latency, ([0-9.]+) B/s "
        "per bot, ([0-9]+) desyncs\n$");
    std::smatch m;
    Summary s;
    if (!std::regex_search(output, m, line)) return s;
    s.joined = std::stoi(m[1]);
    s.edits = std::stoi(m[2]);
    s.latency = std::stod(m[3]);
    s.bytesPerSecond = std::stod(m[4]);
    s.desyncs = std::stoi(m[5]);
    return s;
}

}  // namespace

TEST(Bots, BuildTogetherAndEndWithTheServersWorld) {
    FlatWorld folder;
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    const std::string output = runBots(server.port(), 4, 4);
    const Summary s = lastLine(output);
    EXPECT_EQ(s.joined, 4) << output << server.log();
    EXPECT_GT(s.edits, 0) << output;
    EXPECT_GT(s.bytesPerSecond, 0) << output;
    EXPECT_EQ(s.desyncs, 0) << output << server.log();
}

// A new 64 x 64 island: the bots walk to places of their own and play
// there, each holding only the pieces around it; every piece each holds at
// the end is the server's.
TEST(Bots, SpreadOverALargeIslandAndEndWithTheServersPiecesOfIt) {
    char pattern[] = "/tmp/tessaria-bots-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    {
        fs::create_directories(folder / "world");
        std::ofstream(folder / "world" / "server.ini") << "protect_spawn = 0\n";
        ServerProcess server((folder / "world").string(), {"--size", "64"});
        ASSERT_NE(server.port(), 0) << server.log();
        const std::string output = runBots(server.port(), 6, 15, nullptr, " --spread");
        const Summary s = lastLine(output);
        EXPECT_EQ(s.joined, 6) << output << server.log();
        EXPECT_NE(output.find("6 bots compared"), std::string::npos) << output;
        EXPECT_EQ(s.desyncs, 0) << output << server.log();
        EXPECT_LT(s.bytesPerSecond, 8000) << output;
        EXPECT_GT(s.edits, 0) << output;
    }
    EXPECT_TRUE(fs::exists(folder / "world" / "world.sqlite"));
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

TEST(Bots, ComeBackToAServerKilledAndStartedAgainOnItsPort) {
    FlatWorld folder;
    auto server = std::make_unique<ServerProcess>(folder.world());
    const std::uint16_t port = server->port();
    ASSERT_NE(port, 0) << server->log();
    std::string output;
    std::thread bots([&] { output = runBots(port, 4, 6); });
    // Killed once all four play, however long a loaded machine took them.
    EXPECT_TRUE(waitUntil([&] {
        const std::string log = server->log();
        int joined = 0;
        for (auto at = log.find(" joined"); at != std::string::npos;
             at = log.find(" joined", at + 1))
            ++joined;
        return joined >= 4;
    })) << server->log();
    server->stop(SIGKILL);
    server = std::make_unique<ServerProcess>(
        folder.world(), std::vector<std::string>{"--port", std::to_string(port)});
    bots.join();
    ASSERT_EQ(server->port(), port) << server->log();
    const Summary s = lastLine(output);
    EXPECT_EQ(s.joined, 4) << output << server->log();
    EXPECT_EQ(s.desyncs, 0) << output << server->log();
    // Each comes back at least once; one that found the server still down
    // comes back again.
    std::smatch reconnects;
    ASSERT_TRUE(std::regex_search(output, reconnects, std::regex(", ([0-9]+) reconnects\n")))
        << output;
    EXPECT_GE(std::stoi(reconnects[1]), 4) << output;
}

// Five bots and their observer against a server that takes four connections
// from one address: the fifth bot and the observer are turned away.
TEST(Bots, SayWhyTheServerRefusedThemAndCountOnlyTheBotsCompared) {
    FlatWorld folder("connections_per_address = 4\n");
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    int status = -1;
    const std::string output = runBots(server.port(), 5, 2, &status);
    EXPECT_NE(output.find("1 of 5 bots were refused"), std::string::npos) << output;
    EXPECT_NE(output.find("set connections_per_address = 6 or more in the server's server.ini"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("no bot was compared"), std::string::npos) << output;
    const Summary s = lastLine(output);
    EXPECT_EQ(s.joined, 4) << output;
    EXPECT_EQ(s.desyncs, 0) << output;
    EXPECT_EQ(status, 1);
}

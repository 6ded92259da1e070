// The server against strangers and slips: server.ini taken as written or not
// at all, connections held below the descriptor limit, pings counted like
// any packet, refusals told in brief, console arguments and a hang-up.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <deque>
#include <fstream>
#include <regex>
#include <thread>

#include "protocol/codec.h"
#include "server/server.h"
#include "server/server_config.h"
#include "server_process.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A connection that says nothing, from 127.0.0.`host`.
std::unique_ptr<Client> silentConnection(std::uint16_t port, std::uint8_t host) {
    auto client = std::make_unique<Client>();
    client->bind(Ipv4Address(127, 0, 0, host), 0);
    client->connect(Ipv4Address(127, 0, 0, 1), port);
    return client;
}

bool welcomed(Player& p) {
    return p.receives<Welcome>([](const Welcome&) { return true; });
}

}  // namespace

TEST(ServerLimits, ServerIniIsTakenAsWrittenOrTheServerDoesNotStart) {
    TempWorld folder;
    const std::string ini = folder.world() + "/server.ini";
    writeFile(ini, "# mine\npassword = #s3cret # too\nmax_players = 4 # few\n");
    std::string problem;
    ServerConfig config = readServerConfig(folder.world(), problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(config.password, "#s3cret # too");
    EXPECT_EQ(config.maxPlayers, 4);

    const std::string longPassword(33, 'x');
    const std::pair<std::string, std::string> refused[] = {
        {"password = " + longPassword, "server.ini line 2 (password)"},
        {"max_players = 251", "server.ini line 2 (max_players)"},
        {"send_queue_bytes = 4096", "server.ini line 2 (send_queue_bytes)"},
        {"pasword = secret", "server.ini line 2 names no setting"},
        {"password secret", "server.ini line 2 is not"},
        {"password = a\npassword = b", "server.ini line 3 sets password a second time"},
    };
    for (const auto& [line, told] : refused) {
        writeFile(ini, "# mine\n" + line + "\n");
        readServerConfig(folder.world(), problem);
        EXPECT_EQ(problem.rfind(told, 0), 0u) << line << " gave: " << problem;
        EXPECT_EQ(problem.find("xxxx"), std::string::npos) << "a password in the log";
    }

    // The program says why in one line and ends with status 1...
    writeFile(ini, "# mine\npassword = " + longPassword + "\n");
    {
        ServerProcess server(folder.world());
        EXPECT_EQ(server.port(), 0);
        EXPECT_EQ(server.exitStatus(), 1) << server.log();
        EXPECT_NE(server.log().find("cannot host " + folder.world() +
                                    ": server.ini line 2 (password) wants at most 32"),
                  std::string::npos)
            << server.log();
    }
    // ...and a game hosting on a thread is told the same and keeps going; the
    // world is free again for a start that can take its server.ini.
    ServerOptions options;
    options.worldFolder = folder.world();
    std::vector<std::string> lines;
    options.log = [&lines](const std::string& line) { lines.push_back(line); };
    {
        Server refused(options);
        EXPECT_FALSE(refused.start());
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find("server.ini line 2 (password)"), std::string::npos);
    }
    writeFile(ini, "password = #s3cret\n");
    Server hosted(options);
    EXPECT_TRUE(hosted.start()) << lines.back();
}

TEST(ServerLimits, SilentConnectionsFromManyAddressesNeverKeepAPlayerOutOrStarveTheSaves) {
    TempWorld folder;
    writeFile(folder.world() + "/server.ini", "login_seconds = 600\n");
    ServerProcess server(folder.world(), {}, 40);
    ASSERT_NE(server.port(), 0) << server.log();
    EXPECT_TRUE(server.sawLine("open files: 40 allowed")) << server.log();

    std::vector<std::unique_ptr<Client>> silent;
    for (std::uint8_t host = 1; host <= 5; ++host)
        for (int n = 0; n < 8; ++n) silent.push_back(silentConnection(server.port(), host));
    EXPECT_TRUE(server.sawLine("the connections are full")) << server.log();
    Player alice(server.port(), "alice");
    EXPECT_TRUE(welcomed(alice)) << server.log();
    server.console("save");
    EXPECT_TRUE(server.sawLine("saved ")) << server.log();
    EXPECT_EQ(server.log().find("Too many open files"), std::string::npos) << server.log();
}

// Strangers that say Hello and then nothing, 40 a second from 40 addresses,
// fill every place for a login again and again; a player who logs in at
// once must still get in, every time.
TEST(ServerLimits, HalfLoginsFromManyAddressesNeverKeepAPromptPlayerOut) {
    TempWorld folder;
    // One connect a second from each address, for two minutes at most.
    writeFile(folder.world() + "/server.ini", "connects_per_minute = 120\n");
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    std::atomic<bool> flooding{true};
    std::atomic<int> opened{0};
    std::thread flood([&] {
        std::deque<std::unique_ptr<Client>> open;
        auto next = std::chrono::steady_clock::now();
        for (int n = 0; flooding; ++n) {
            auto client = std::make_unique<Client>();
            client->bind(Ipv4Address(127, 0, 0, static_cast<std::uint8_t>(2 + n % 40)), 0);
            if (client->connect(Ipv4Address(127, 0, 0, 1), server.port())) {
                client->send(encodePacket(Hello{}));
                client->poll(0);
                open.push_back(std::move(client));
                ++opened;
            }
            if (open.size() > 4 * 40) open.pop_front();  // four open from each address
            next = std::max(next + milliseconds(25), std::chrono::steady_clock::now());
            std::this_thread::sleep_until(next);
        }
    });
    EXPECT_TRUE(waitUntil([&] { return opened >= 80; })) << opened;
    EXPECT_TRUE(server.sawLine("dropped while logging in")) << server.log();
    int joins = 0;
    std::string key;
    for (int n = 0; n < 10; ++n) {
        Player honest(server.port(), "honest", "", key);
        if (!welcomed(honest)) continue;
        ++joins;
        if (key.empty()) key = honest.find<Welcome>([](const Welcome&) { return true; })->key;
        honest.send(Leave{Reason::Leaving, ""});
    }
    flooding = false;
    flood.join();
    EXPECT_EQ(joins, 10) << server.log();
}

TEST(ServerLimits, PingsCountAgainstTheRatesAndRefusalsAreToldInBrief) {
    TempWorld folder;
    writeFile(folder.world() + "/server.ini", "packets_per_second = 10\nconnects_per_minute = 1\n");
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player flooder(server.port(), "fay");
    ASSERT_TRUE(welcomed(flooder)) << server.log();
    for (std::uint32_t n = 0; n < 40; ++n) flooder.send(Ping{n});
    EXPECT_TRUE(
        flooder.receives<Leave>([](const Leave& l) { return l.reason == Reason::TooFast; }));

    // Every connection past the minute's one is refused; the log tells each
    // address's refusals once, then in a line a second.
    const int knocks = 120;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < knocks; ++n) silentConnection(server.port(), 1);
    int told = 0, lines = 0;
    const bool all = waitUntil([&] {
        const std::string log = server.log();
        told = lines = 0;
        const std::regex refusal("refused 127\\.0\\.0\\.1(: | ([0-9]+) more times)");
        for (std::sregex_iterator it(log.begin(), log.end(), refusal), end; it != end; ++it) {
            ++lines;
            told += (*it)[2].matched ? std::stoi((*it)[2]) : 1;
        }
        return told == knocks;
    });
    EXPECT_TRUE(all) << told << " of " << knocks << " told:\n" << server.log();
    const auto spent =
        std::chrono::duration_cast<seconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LE(lines, spent.count() + 2) << server.log();

    // An address's count of connects goes once its minute is over.
    ServerConfig config;
    const auto t = std::chrono::steady_clock::now();
    config.allowConnect("10.0.0.1", t);
    config.allowConnect("10.0.0.2", t + seconds(61));
    EXPECT_EQ(config.recentConnects.count("10.0.0.1"), 0u);
}

TEST(ServerLimits, ConsoleArgumentsAreTrimmedAndAHangUpSaves) {
    TempWorld folder;
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    server.console("ban hal ");
    ASSERT_TRUE(server.sawLine("banned hal"));
    Player hal(server.port(), "hal");
    EXPECT_TRUE(hal.receives<Leave>([](const Leave& l) { return l.reason == Reason::Banned; }));
    EXPECT_EQ(server.stop(SIGHUP), 0) << server.log();
    EXPECT_NE(server.log().find("stopped; world saved"), std::string::npos) << server.log();
}

TEST(ServerLimits, PingStampsWrapWithinTheWireAndRoundTripsAcrossTheWrap) {
    const auto wrap = milliseconds(std::int64_t{kLargestInt} + 1);
    for (const auto uptime : {milliseconds(0), wrap - milliseconds(1), wrap, wrap * 3 / 2}) {
        const std::uint32_t stamp = pingStamp(uptime);
        EXPECT_LE(stamp, kLargestInt);
        EXPECT_EQ(problemWith(Ping{stamp}), "");
        EXPECT_EQ(roundTripMs(pingStamp(uptime + milliseconds(250)), stamp), 250u);
    }
}

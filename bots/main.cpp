// tessaria-bots: headless players for a server, to load it and to check it.
// Each bot is the game's own Session (the client's protocol code) driven by
// seeded random intents at a human pace; all of them run in one thread at
// the game's 40 ticks a second. At the end they stop, wait for the world to
// settle, and compare their worlds with the server's.
//
// The summary's last line:
//   bots: J joined, E edits, L ms p99 edit latency, B B/s per bot, D desyncs
// J  bots playing at the end (they joined and stayed, or came back).
// E  edits the server confirmed: an action whose cell changed here, and the
//    same cell with the same block came back from the server after the Use.
// L  the 99th percentile, over every other bot's receipt of a confirmed
//    edit's cell (not a liquid's, which a flood may bring as well), of
//    (receipt - the Use sent), both read from this process's one steady
//    clock: the action's kAnimTicks ticks (425 ms) are in it, since the
//    server ends the action on its own ticks, which no bot's clock can
//    subtract without going below zero now and then.
// B  bytes received a second, from each bot's first join to the end, the
//    mean over the bots that joined.
// D  of the bots compared, those whose copy of a piece of the world it holds
//    differs from the same piece as a fresh observer gets it once all is
//    quiet: the observer walks nowhere, but asks for every piece a bot holds
//    or edited. A bot is compared when it plays at the end and the observer
//    joined; how many were is told on the line above.
//
// With --spread each bot is given a place of its own on a lattice over the
// world and walks there first, then plays around it; every bot keeps to the
// pieces of the world it has been sent.
//
// A bot the server turns away before it ever played, for a reason that
// another try would meet again (no more connections from this address, a
// full server, a wrong password, a name held by another), gives up; the
// summary says why and what to change, and the run ends with status 1.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "bots/run.h"

using namespace bots;

int main(int argc, char** argv) {
    Run run;
    if (!parseArguments(argc, argv, run)) return 2;
    const auto started = Clock::now();
    std::seed_seq seeds{run.seed};
    std::vector<std::uint32_t> botSeeds(static_cast<std::size_t>(run.count));
    seeds.generate(botSeeds.begin(), botSeeds.end());
    for (int i = 0; i < run.count; ++i) {
        auto bot = std::make_unique<Bot>();
        char name[32];
        std::snprintf(name, sizeof name, "%s%03d", run.prefix.c_str(), i + 1);
        bot->name = name;
        bot->index = i;
        bot->runs = run.runs;
        bot->random.seed(botSeeds[static_cast<std::size_t>(i)]);
        // Players arrive one after another, not in one burst.
        bot->startAt = bot->retryAt = started + milliseconds(10 * i);
        bot->chatTick = (5 + bot->below(20)) * Session::kTicksPerSecond;
        run.bots.push_back(std::move(bot));
    }
    std::printf("bots: %d bots for %d s at %s:%u, seed %u\n", run.count, run.seconds,
                run.host.c_str(), run.port, run.seed);
    std::fflush(stdout);

    // Playing.
    tickUntil(
        run, started + std::chrono::seconds(run.seconds), [](Clock::time_point) { return false; },
        [&](Bot& bot, int index, int tick) { act(run, bot, index, tick, true); });
    // Settling: hands off, until no cell has come for a while and everyone
    // who lost the server is back.
    const auto stopped = Clock::now();
    run.lastCell = std::max(run.lastCell, stopped);
    tickUntil(
        run, stopped + kLongestSettle,
        [&](Clock::time_point now) {
            if (now - run.lastCell < kQuietTime) return false;
            for (const auto& bot : run.bots)
                if (!bot->playing() && bot->gaveUp.empty()) return false;
            return true;
        },
        [&](Bot& bot, int index, int tick) { act(run, bot, index, tick, false); });

    Observation seen;
    observeServer(run, seen);
    const auto ended = Clock::now();
    return report(run, seen, ended);
}

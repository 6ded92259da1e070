// A run of bots: the timing every part keeps, one bot and the whole run as
// they are kept, and what each of the run's files offers the others.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "client/session.h"
#include "protocol/messages.h"
#include "rules/input.h"

namespace bots {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kTick = std::chrono::microseconds(1000000 / Session::kTicksPerSecond);
constexpr auto kActionTime = kTick * kAnimTicks;
// Activity has stopped once no cell has arrived for this long...
constexpr auto kQuietTime = std::chrono::seconds(1);
// ...or, in a world whose water never rests, after this.
constexpr auto kLongestSettle = std::chrono::seconds(20);
// The server's word on an edit comes at the end of its action, a tick or
// two from the bot's; one this long after the Use is a later edit's.
constexpr auto kReceiptWindow = std::chrono::seconds(2);
constexpr double kFirstBackoff = 0.25, kLongestBackoff = 4.0;
constexpr int kLevels = kBandLevels;
// The observer's asks for pieces: three in four ticks, within the server's
// rate of forty a second.
constexpr int kAskEvery = 4;
// A spread bot walks back once it is this far from its place.
constexpr int kLeash = 6;

struct Receipt {
    Clock::time_point at;
    int block = 0;
};

// An action whose cell changed on the editing bot's own grid.
struct Edit {
    int bot = 0;
    int cell = 0;  // cellKey
    int block = 0;
    Clock::time_point sent;  // the Use left: where its latency counts from
};

inline int cellKey(int x, int y, int level) { return (x * kGridSizeY + y) * kLevels + level; }
inline int pieceKey(int px, int py) { return py * kMostPieces + px; }

struct Bot {
    std::string name;
    int index = 0;
    // The key the server handed this name when it first joined: every later
    // join of the run presents it.
    std::string key;
    std::unique_ptr<Session> session;
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    WeatherState weather;
    WorldClock clock;
    PlayerState self;
    Camera view;
    std::mt19937 random;

    // What the bot does next: intents, one a tick, then idle ticks.
    std::vector<PlayerIntent> plan;
    int idleTicks = 0;
    int chatTick = 0;

    int placeX = -1, placeY = -1;  // with --spread: where it goes
    bool runs = false;             // with --run: walks holding the run key

    Clock::time_point startAt, retryAt;
    double backoff = kFirstBackoff;
    bool wasPlaying = false, everPlayed = false;
    std::string gaveUp;  // why the server will not have it, and what to change
    int reconnects = 0;
    Clock::time_point firstPlayed;
    std::uint64_t bytes = 0;  // of the sessions that ended
    Clock::time_point actionSent;
    std::unordered_map<int, std::vector<Receipt>> receipts;
    // From each join to the end of that session: a bot that was not there
    // for an edit has no receipt of it to count.
    std::vector<std::pair<Clock::time_point, Clock::time_point>> present;

    bool wasPresent(Clock::time_point from, Clock::time_point to) const {
        for (const auto& [joined, left] : present)
            if (joined <= from && to <= left) return true;
        return false;
    }

    World world() { return World{*grid, weather, clock}; }
    // A cell of a piece this bot holds: it acts and walks only there.
    bool holds(int x, int y, int level) const {
        return session && level >= 0 && level < kLevels &&
               session->pieceHeld(x, y) == PieceHeld::Held;
    }
    bool playing() const { return session && session->phase() == SessionPhase::Playing; }
    std::uint64_t bytesReceived() const { return bytes + (session ? session->bytesReceived() : 0); }
    int below(int most) { return std::uniform_int_distribution<int>(0, most - 1)(random); }
};

struct Run {
    std::string host, prefix = "bot", password;
    std::uint16_t port = 0;
    int count = 0, seconds = 0;
    unsigned seed = 1;
    bool spread = false, runs = false;
    std::vector<std::unique_ptr<Bot>> bots;
    std::vector<Edit> edits;
    Clock::time_point lastCell;
    int chats = 0, asked = 0;
};

// A bot (bot.cpp): why the server turned it away for good, its session, its
// comings and goings, and its part of a tick.
std::string lastingRefusal(const Session& session, int count);
std::unique_ptr<Session> sessionFor(const Run& run, const Bot& bot);
void keepConnected(Run& run, Bot& bot, Clock::time_point now);
int roomToward(const Bot& bot, Facing facing, int most);
void walk(Bot& bot, Facing facing, int steps);
void act(Run& run, Bot& bot, int index, int tick, bool acting);

// Spreading (spreading.cpp): each bot's place of its own, and the way there.
void placeOnLattice(const Run& run, Bot& bot);
bool walkToPlace(Bot& bot);

// The observer (observer.cpp): the server's world as a player who joins at
// the end gets it, and how far a bot's copy is from it.
struct Observation {
    Bot observer;
    bool observed = false;
    std::string unobserved;  // why the observer could not join
};
void observeServer(Run& run, Observation& seen);
std::vector<int> heldPieces(const Bot& bot);
int cellsApart(const Bot& bot, const WorldGrid& server, std::string* text);

// The report (report.cpp): the summary's lines; the run's exit status.
int report(Run& run, Observation& seen, Clock::time_point ended);

// The command line (command_line.cpp).
bool parseArguments(int argc, char** argv, Run& run);

// Pumps every bot (and the observer) once a tick until done() or the time.
template <class Done, class Each>
void tickUntil(Run& run, Clock::time_point end, Done done, Each each) {
    auto next = Clock::now();
    for (int tick = 0;; ++tick) {
        const auto now = Clock::now();
        if (now >= end || done(now)) return;
        for (std::size_t i = 0; i < run.bots.size(); ++i) {
            Bot& bot = *run.bots[i];
            if (now < bot.startAt) continue;
            keepConnected(run, bot, now);
            if (!bot.session) continue;
            if (bot.playing()) each(bot, static_cast<int>(i), tick);
            bot.session->pump(bot.world(), bot.self, bot.view);
            bot.session->takeFreshNotes();
        }
        next += kTick;
        const auto after = Clock::now();
        if (next < after - kTick) next = after;  // behind: no burst to catch up
        std::this_thread::sleep_until(next);
    }
}

}  // namespace bots

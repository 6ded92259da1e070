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
//    (receipt - the edit's moment). The moment is when the
//    editing bot's own action ends on its own screen: the Use sent plus the
//    action's kAnimTicks ticks. Those 425 ms are gameplay that every player
//    sees, not network, so they are not latency.
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
#include <getopt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "client/session.h"
#include "protocol/messages.h"
#include "rules/input.h"
#include "util/numbers.h"

namespace {

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

const char* const kChatLines[] = {
    "hi all",      "anyone seen sand?",  "building a tower here", "nice house",
    "brb",         "where is the water", "look at this",          "gg",
    "hello there", "mining down",        "need cobblestone",      "night soon",
};

struct Receipt {
    Clock::time_point at;
    int block = 0;
};

// An action whose cell changed on the editing bot's own grid.
struct Edit {
    int bot = 0;
    int cell = 0;  // cellKey
    int block = 0;
    Clock::time_point sent;  // the Use left; the moment is sent + kActionTime
};

int cellKey(int x, int y, int level) { return (x * kGridSizeY + y) * kLevels + level; }
int pieceKey(int px, int py) { return py * kMostPieces + px; }

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

// Why the server turned a session away and what would let it in, or "" when
// it did not, or another try may fare better.
std::string lastingRefusal(const Session& session, int count) {
    const std::string connections = std::to_string(count + 1);
    if (session.shutOut())
        return "the server closed the connection before answering (it takes at most "
               "connections_per_address connections from one address, 8 unless its server.ini "
               "says otherwise): these bots and their observer need " +
               connections + "; set connections_per_address = " + connections +
               " or more in the server's server.ini, or run fewer bots";
    if (!session.refusal()) return "";
    switch (*session.refusal()) {
        case Reason::ServerFull:
            return "server full: these bots and their observer need " + connections +
                   " places; set max_players = " + connections +
                   " or more in the server's server.ini, or run fewer bots";
        case Reason::WrongPassword:
            return "wrong password: give the server's password with --password-file FILE";
        case Reason::NameOwned:
            return "that name belongs to another player (joined there before, which kept its "
                   "key): give these bots other names with --prefix";
        case Reason::NameTaken:
            return "name taken: another player is in with it; give these bots other names "
                   "with --prefix";
        case Reason::Banned:
        case Reason::NotWhitelisted:
        case Reason::VersionsDiffer:
            return reasonText(*session.refusal());
        default:
            return "";
    }
}

std::unique_ptr<Session> sessionFor(const Run& run, const Bot& bot) {
    return std::make_unique<Session>(run.host, run.port, bot.name, run.password, bot.key);
}

void connect(Run& run, Bot& bot) {
    bot.session = sessionFor(run, bot);
    Bot* b = &bot;
    bot.session->onCell([&run, b](int x, int y, int level, int block) {
        // A join's Band is the starting point, not a receipt of anything.
        if (!b->playing()) return;
        const Clock::time_point now = Clock::now();
        b->receipts[cellKey(x, y, level)].push_back(Receipt{now, block});
        run.lastCell = now;
    });
    bot.wasPlaying = false;
    bot.plan.clear();
    bot.idleTicks = 0;
}

// The bots' places, one a square of a lattice over the world, kept off its
// edges: as far apart as their number allows.
void placeOnLattice(const Run& run, Bot& bot) {
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(run.count))));
    const int columns = bot.session->columns(), rows = bot.session->rows();
    const int cx = bot.index % side, cy = bot.index / side;
    bot.placeX = std::clamp((2 * cx + 1) * columns / (2 * side), 2, std::max(2, columns - 3));
    bot.placeY = std::clamp((2 * cy + 1) * rows / (2 * side), 2, std::max(2, rows - 3));
}

// A session that ended comes back after a jittered, doubling wait.
void keepConnected(Run& run, Bot& bot, Clock::time_point now) {
    if (!bot.gaveUp.empty()) return;
    if (!bot.session) {
        if (now < bot.retryAt) return;
        if (bot.everPlayed) bot.reconnects += 1;
        connect(run, bot);
        return;
    }
    if (bot.session->phase() == SessionPhase::Playing && !bot.wasPlaying) {
        bot.wasPlaying = true;
        if (run.spread && bot.placeX < 0) placeOnLattice(run, bot);
        bot.backoff = kFirstBackoff;
        if (!bot.everPlayed) bot.firstPlayed = now;
        bot.present.emplace_back(now, Clock::time_point::max());
        bot.everPlayed = true;
    }
    if (!bot.session->grantedKey().empty()) bot.key = bot.session->grantedKey();
    if (bot.session->phase() != SessionPhase::Ended) return;
    if (!bot.everPlayed) bot.gaveUp = lastingRefusal(*bot.session, run.count);
    if (!bot.gaveUp.empty()) {
        std::fprintf(stderr, "bots: %s: refused; it gives up: %s\n", bot.name.c_str(),
                     bot.gaveUp.c_str());
        bot.session.reset();
        return;
    }
    const double jitter = std::uniform_real_distribution<double>(0.5, 1.5)(bot.random);
    const double wait = bot.backoff * jitter;
    std::fprintf(stderr, "bots: %s: %s; again in %.2f s\n", bot.name.c_str(),
                 bot.session->endText().c_str(), wait);
    bot.bytes += bot.session->bytesReceived();
    if (bot.wasPlaying) bot.present.back().second = now;
    bot.session.reset();
    bot.retryAt =
        now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
    bot.backoff = std::min(kLongestBackoff, bot.backoff * 2);
}

void holdDirection(PlayerIntent& intent, Facing facing) {
    intent.walkUp = facing == Facing::Up;
    intent.walkDown = facing == Facing::Down;
    intent.walkLeft = facing == Facing::Left;
    intent.walkRight = facing == Facing::Right;
}

// Steps the bot can take toward `facing` without leaving the pieces it holds
// (and so the world), up to `most`.
int roomToward(const Bot& bot, Facing facing, int most) {
    PlayerState walker = bot.self;
    walker.facing = facing;
    int steps = 0;
    while (steps < most) {
        const Column ahead = columnAhead(walker);
        if (!bot.holds(ahead.x, ahead.y, 0)) break;
        walker.x = ahead.x;
        walker.y = ahead.y;
        steps += 1;
    }
    return steps;
}

// What a player aims at: a block to mine (not a liquid, nor the rock that
// never breaks), or air to fill, in a piece the bot holds.
bool fitsAction(const Bot& bot, int x, int y, int level, bool placing) {
    if (!bot.holds(x, y, level)) return false;
    const BlockId block = cellOf(*bot.grid, x, y, level);
    if (placing) return block == Empty;
    return block != Empty && block != Water && block != Lava && block != HardRock;
}

// Turns and the height switch that aim the bot at a cell fit for the
// action, chosen at random among the eight around it; false when none is.
bool aim(Bot& bot, bool placing) {
    const PlayerState& p = bot.self;
    std::vector<std::pair<Facing, int>> fits;
    for (int f = 0; f < 4; ++f)
        for (int raised = 0; raised < 2; ++raised) {
            PlayerState turned = p;
            turned.facing = static_cast<Facing>(f);
            const Column ahead = columnAhead(turned);
            if (fitsAction(bot, ahead.x, ahead.y, p.level - raised, placing))
                fits.emplace_back(turned.facing, raised);
        }
    if (fits.empty()) return false;
    const auto [facing, raised] =
        fits[static_cast<std::size_t>(bot.below(static_cast<int>(fits.size())))];
    if (facing != p.facing) {
        PlayerIntent turn;
        holdDirection(turn, facing);
        bot.plan.push_back(turn);  // one tick: a turn, not a step
        bot.plan.push_back(PlayerIntent{});
    }
    if (raised != p.targetRaised) {
        PlayerIntent height;
        height.height = true;
        bot.plan.push_back(height);
    }
    return true;
}

// A held key steps once held past the threshold, then every step.
void walk(Bot& bot, Facing facing, int steps) {
    PlayerIntent intent;
    holdDirection(intent, facing);
    intent.run = bot.runs;
    const int ticks = kHoldThreshold + 1 + (steps - 1) * (bot.runs ? kRunTicks : kAnimTicks) + 1;
    bot.plan.assign(static_cast<std::size_t>(ticks), intent);
}

// A spread bot far from its place walks toward it, along the longer way
// first; false when it is near enough to play.
bool walkToPlace(Bot& bot) {
    if (bot.placeX < 0) return false;
    const int dx = bot.placeX - bot.self.x, dy = bot.placeY - bot.self.y;
    // On the way too a player stops now and then to build or dig.
    if (std::max(std::abs(dx), std::abs(dy)) <= kLeash || bot.below(10) < 3) return false;
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const Facing facing =
        alongX ? (dx > 0 ? Facing::Right : Facing::Left) : (dy > 0 ? Facing::Down : Facing::Up);
    const int steps = roomToward(bot, facing, std::min(8, std::abs(alongX ? dx : dy)));
    if (steps == 0) return false;
    walk(bot, facing, steps);
    bot.idleTicks = bot.below(8);
    return true;
}

// The next thing a player might do, and a pause after it.
void choosePlan(Bot& bot) {
    PlayerState& p = bot.self;
    if (walkToPlace(bot)) {
        std::reverse(bot.plan.begin(), bot.plan.end());
        return;
    }
    bot.idleTicks = 8 + bot.below(32);  // 0.2 to 1 s of looking around
    const int roll = bot.below(100);
    PlayerIntent intent;
    if (roll < 32) {
        const auto facing = static_cast<Facing>(bot.below(4));
        const int steps = roomToward(bot, facing, 1 + bot.below(4));
        if (steps == 0) return;
        walk(bot, facing, steps);
    } else if (roll < 42) {
        holdDirection(intent, static_cast<Facing>(bot.below(4)));
        bot.plan.push_back(intent);  // one tick: a turn, not a step
    } else if (roll < 66) {
        if (!aim(bot, false)) return;
        // Held for the three strikes that break a block.
        intent.mine = true;
        bot.plan.insert(bot.plan.end(), 3 * kAnimTicks + 3, intent);
    } else if (roll < 94) {
        std::vector<int> slots;
        for (int s = 0; s < kHotbarSlots; ++s) {
            const BlockId block = p.hotbar[s];
            if (block != Empty && isKnownBlock(block) && p.blockCounts[block] > 0)
                slots.push_back(s);
        }
        if (slots.empty() || !aim(bot, true)) return;
        intent.slot = slots[static_cast<std::size_t>(bot.below(static_cast<int>(slots.size())))];
        bot.plan.push_back(intent);  // the slot first: it cannot change once busy
        PlayerIntent place;
        place.place = true;
        bot.plan.push_back(place);
    } else {
        intent.height = true;
        bot.plan.push_back(intent);
    }
    std::reverse(bot.plan.begin(), bot.plan.end());  // taken from the back
}

PlayerIntent nextIntent(Run& run, Bot& bot, int tick) {
    if (tick >= bot.chatTick) {
        bot.chatTick = tick + (15 + bot.below(30)) * Session::kTicksPerSecond;
        bot.session->say(kChatLines[bot.below(static_cast<int>(std::size(kChatLines)))]);
        run.chats += 1;
    }
    if (bot.plan.empty()) {
        if (bot.self.busy || bot.idleTicks-- > 0) return PlayerIntent{};
        choosePlan(bot);
        if (bot.plan.empty()) return PlayerIntent{};
    }
    const PlayerIntent intent = bot.plan.back();
    bot.plan.pop_back();
    return intent;
}

// The bot's own part of a tick, and the edit its action made here, if any.
void act(Run& run, Bot& bot, int index, int tick, bool acting) {
    PlayerState& p = bot.self;
    const PlayerIntent intent = acting ? nextIntent(run, bot, tick) : PlayerIntent{};
    const bool wasActing = p.busy && p.acting;
    const Column ahead = columnAhead(p);
    const int level = p.level - p.targetRaised;
    const BlockId before = cellOf(*bot.grid, ahead.x, ahead.y, level);
    bot.session->play(intent, bot.world(), p, bot.view);
    const bool nowActing = p.busy && p.acting;
    if (!wasActing && nowActing) {
        bot.actionSent = Clock::now();
        run.asked += 1;
    }
    if (!wasActing || nowActing) return;
    const BlockId after = cellOf(*bot.grid, ahead.x, ahead.y, level);
    if (after != before && bot.holds(ahead.x, ahead.y, level))
        run.edits.push_back(Edit{index, cellKey(ahead.x, ahead.y, level), after, bot.actionSent});
}

// The first receipt of block at cell from `from` on, within the window.
// The editing bot's receipt of its edit's block at the cell, from the Use on:
// the server's word at the end of its action.
const Receipt* confirmation(const Bot& bot, const Edit& edit) {
    const auto found = bot.receipts.find(edit.cell);
    if (found == bot.receipts.end()) return nullptr;
    for (const Receipt& r : found->second) {
        if (r.at < edit.sent) continue;
        if (r.at > edit.sent + kReceiptWindow) break;
        if (r.block == edit.block) return &r;
    }
    return nullptr;
}

// Another bot's receipt of the edit: the first word on the cell from the Use
// on, when it carries the edit's block. A server that changed nothing there
// (the cell already held it) sends nothing, and a later edit's receipt must
// not count as this one's.
const Receipt* receiptOf(const Bot& bot, const Edit& edit) {
    const auto found = bot.receipts.find(edit.cell);
    if (found == bot.receipts.end()) return nullptr;
    for (const Receipt& r : found->second) {
        if (r.at < edit.sent) continue;
        return r.block == edit.block ? &r : nullptr;
    }
    return nullptr;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

// The pieces a bot holds now: those it is compared on.
std::vector<int> heldPieces(const Bot& bot) {
    std::vector<int> pieces;
    if (!bot.session) return pieces;
    const int across = (bot.session->columns() + kPieceEdge - 1) / kPieceEdge;
    const int down = (bot.session->rows() + kPieceEdge - 1) / kPieceEdge;
    for (int py = 0; py < down; ++py)
        for (int px = 0; px < across; ++px)
            if (bot.session->pieceHeld(px * kPieceEdge, py * kPieceEdge) == PieceHeld::Held)
                pieces.push_back(pieceKey(px, py));
    return pieces;
}

// The cells where a bot's pieces and the observer's copies of them differ:
// how many, and the first few for the log.
int cellsApart(const Bot& bot, const WorldGrid& server, std::string* text) {
    int n = 0;
    const int columns = bot.session->columns(), rows = bot.session->rows();
    for (const int piece : heldPieces(bot)) {
        const int x0 = (piece % kMostPieces) * kPieceEdge, y0 = (piece / kMostPieces) * kPieceEdge;
        for (int x = x0; x < std::min(columns, x0 + kPieceEdge); ++x)
            for (int y = y0; y < std::min(rows, y0 + kPieceEdge); ++y)
                for (int level = 0; level < kLevels; ++level) {
                    const int mine = cellOf(*bot.grid, x, y, level);
                    const int theirs = cellOf(server, x, y, level);
                    if (mine == theirs || ++n > 4 || text == nullptr) continue;
                    *text += " (" + std::to_string(x) + "," + std::to_string(y) + "," +
                             std::to_string(level) + ") " + std::to_string(mine) + " not " +
                             std::to_string(theirs);
                }
    }
    if (text != nullptr) *text = std::to_string(n) + " cells:" + *text + (n > 4 ? " ..." : "");
    return n;
}

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

void usage(FILE* out) {
    std::fprintf(
        out,
        "usage: tessaria-bots --connect HOST:PORT --count N --seconds S [--seed N]\n"
        "                     [--prefix NAME] [--password-file FILE] [--spread] [--run]\n"
        "  --connect HOST:PORT  the server\n"
        "  --count N            bots, 1..249, named PREFIX001 and on\n"
        "  --seconds S          how long they play before they stop and compare\n"
        "  --seed N             their random choices (default 1)\n"
        "  --prefix NAME        the start of their names (default bot; 1..12 characters)\n"
        "  --password-file FILE the server's password, on the file's first line\n"
        "  --spread             each bot walks to a place of its own, far from the others\n"
        "  --run                the bots run wherever they walk\n");
}

// The first line of the file, without its line end: on the command line a
// password would show in every user's process list.
bool readPassword(const char* path, std::string& password) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tessaria-bots: cannot read the password file %s\n", path);
        return false;
    }
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.size() > 32 || !std::all_of(password.begin(), password.end(),
                                             [](char c) { return c >= ' ' && c <= '~'; })) {
        std::fprintf(stderr,
                     "tessaria-bots: the password in %s is not 0..32 printable characters\n", path);
        return false;
    }
    return true;
}

bool parseArguments(int argc, char** argv, Run& run) {
    const option longOptions[] = {{"connect", required_argument, nullptr, 'c'},
                                  {"count", required_argument, nullptr, 'n'},
                                  {"seconds", required_argument, nullptr, 's'},
                                  {"seed", required_argument, nullptr, 'r'},
                                  {"prefix", required_argument, nullptr, 'p'},
                                  {"password-file", required_argument, nullptr, 'w'},
                                  {"spread", no_argument, nullptr, 'a'},
                                  {"run", no_argument, nullptr, 'u'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {nullptr, 0, nullptr, 0}};
    long number = 0;
    bool haveAddress = false;
    for (int c; (c = getopt_long(argc, argv, "c:n:s:r:p:w:auh", longOptions, nullptr)) != -1;) {
        switch (c) {
            case 'c':
                haveAddress = parseServerAddress(optarg, run.host, run.port);
                if (!haveAddress) {
                    std::fprintf(stderr, "tessaria-bots: --connect wants HOST:PORT, not %s\n",
                                 optarg);
                    return false;
                }
                break;
            case 'n':
                if (!util::parse_whole(optarg, 1, 249, number)) {
                    std::fprintf(stderr, "tessaria-bots: --count wants 1..249, not %s\n", optarg);
                    return false;
                }
                run.count = static_cast<int>(number);
                break;
            case 's':
                if (!util::parse_whole(optarg, 1, 86400, number)) {
                    std::fprintf(stderr, "tessaria-bots: --seconds wants 1..86400, not %s\n",
                                 optarg);
                    return false;
                }
                run.seconds = static_cast<int>(number);
                break;
            case 'r':
                if (!util::parse_whole(optarg, 0, 4294967295L, number)) {
                    std::fprintf(stderr, "tessaria-bots: --seed wants a number, not %s\n", optarg);
                    return false;
                }
                run.seed = static_cast<unsigned>(number);
                break;
            case 'p':
                run.prefix = optarg;
                if (run.prefix.size() > 12 || !isValidPlayerName(run.prefix)) {
                    std::fprintf(stderr,
                                 "tessaria-bots: --prefix wants 1..12 letters, digits, _ or -\n");
                    return false;
                }
                break;
            case 'w':
                if (!readPassword(optarg, run.password)) return false;
                break;
            case 'a':
                run.spread = true;
                break;
            case 'u':
                run.runs = true;
                break;
            case 'h':
                usage(stdout);
                std::exit(0);
            default:
                usage(stderr);
                return false;
        }
    }
    if (!haveAddress || run.count == 0 || run.seconds == 0 || optind < argc) {
        usage(stderr);
        return false;
    }
    return true;
}

}  // namespace

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

    // The server's world, as a player who joins now gets it.
    Bot observer;
    observer.name = run.prefix + "-obs";
    observer.session = sessionFor(run, observer);
    observer.session->onCell([&run, &observer](int, int, int, int) {
        if (observer.playing()) run.lastCell = Clock::now();
    });
    // The observer's join wakes the water at its level; the bots compare once
    // that has come to rest too, or, in a world that never rests, after a
    // while. A change on its way in the last tick is given a second look.
    auto settled = Clock::time_point::max();
    const auto observe = [&](Clock::time_point end, milliseconds quiet) {
        tickUntil(
            run, end,
            [&](Clock::time_point now) {
                if (observer.session->phase() == SessionPhase::Ended) return true;
                observer.session->pump(observer.world(), observer.self, observer.view);
                if (observer.playing() && settled == Clock::time_point::max()) settled = now;
                return now - settled > milliseconds(500) && now - run.lastCell > quiet;
            },
            [&](Bot& bot, int index, int tick) { act(run, bot, index, tick, false); });
    };
    observe(Clock::now() + std::chrono::seconds(10), milliseconds(300));
    // Every piece a bot holds or edited, which the observer was not sent by
    // itself, asked for and waited for (each comes once per ask).
    const auto askFor = [&](const std::set<int>& pieces) {
        if (!observer.playing() || pieces.empty()) return;
        const std::uint64_t until = observer.session->piecesReceived() + pieces.size();
        auto next = pieces.begin();
        int tick = 0;
        tickUntil(
            run, Clock::now() + std::chrono::seconds(10) + pieces.size() * kTick * kAskEvery,
            [&](Clock::time_point) {
                if (observer.session->phase() == SessionPhase::Ended) return true;
                if (next != pieces.end() && ++tick % kAskEvery != 0) {
                    observer.session->askForPiece(*next % kMostPieces, *next / kMostPieces);
                    ++next;
                }
                observer.session->pump(observer.world(), observer.self, observer.view);
                return next == pieces.end() && observer.session->piecesReceived() >= until;
            },
            [&](Bot& bot, int index, int tick) { act(run, bot, index, tick, false); });
    };
    const auto unsent = [&](const std::set<int>& wanted) {
        std::set<int> ask;
        for (const int piece : wanted)
            if (observer.session->pieceHeld((piece % kMostPieces) * kPieceEdge,
                                            (piece / kMostPieces) * kPieceEdge) != PieceHeld::Held)
                ask.insert(piece);
        return ask;
    };
    std::set<int> touched;
    for (const Edit& edit : run.edits) {
        const int x = edit.cell / kLevels / kGridSizeY, y = edit.cell / kLevels % kGridSizeY;
        touched.insert(pieceKey(x / kPieceEdge, y / kPieceEdge));
    }
    for (const auto& bot : run.bots)
        if (bot->playing())
            for (const int piece : heldPieces(*bot)) touched.insert(piece);
    if (observer.playing()) askFor(unsent(touched));
    bool apart = false;
    for (const auto& bot : run.bots)
        apart = apart || (bot->playing() && cellsApart(*bot, *observer.grid, nullptr) > 0);
    if (apart) {
        // A change on its way in the last tick gets a second look.
        observe(Clock::now() + milliseconds(500), milliseconds(500));
        if (observer.playing()) askFor(unsent(touched));
    }
    const bool observed = observer.playing();
    std::string unobserved;
    if (!observed) {
        unobserved = lastingRefusal(*observer.session, run.count);
        if (unobserved.empty()) unobserved = observer.session->endText();
    }
    const auto ended = Clock::now();

    int joined = 0, compared = 0, desyncs = 0, reconnects = 0;
    double bytesPerSecond = 0.0;
    int everPlayed = 0;
    for (const auto& bot : run.bots) {
        reconnects += bot->reconnects;
        if (bot->everPlayed) {
            everPlayed += 1;
            const double seconds = std::chrono::duration<double>(ended - bot->firstPlayed).count();
            if (seconds > 0) bytesPerSecond += static_cast<double>(bot->bytesReceived()) / seconds;
        }
        if (!bot->playing()) continue;
        joined += 1;
        if (!observed) continue;
        compared += 1;
        std::string cells;
        if (cellsApart(*bot, *observer.grid, &cells) == 0) continue;
        desyncs += 1;
        std::fprintf(stderr, "bots: %s: its world differs from the server's in %s\n",
                     bot->name.c_str(), cells.c_str());
    }
    std::map<std::string, int> refusals;
    for (const auto& bot : run.bots)
        if (!bot->gaveUp.empty()) refusals[bot->gaveUp] += 1;
    if (everPlayed > 0) bytesPerSecond /= everPlayed;

    int confirmed = 0;
    std::vector<double> latencies;
    for (const Edit& edit : run.edits) {
        if (!confirmation(*run.bots[static_cast<std::size_t>(edit.bot)], edit)) continue;
        confirmed += 1;
        // A liquid placed spreads: its cell may fill from the flood as well
        // as from the edit, and that would time the flood, not the edit.
        if (edit.block == Water || edit.block == Lava) continue;
        const auto moment = edit.sent + kActionTime;
        for (std::size_t i = 0; i < run.bots.size(); ++i) {
            if (static_cast<int>(i) == edit.bot ||
                !run.bots[i]->wasPresent(edit.sent, moment + kQuietTime))
                continue;
            if (const Receipt* r = receiptOf(*run.bots[i], edit))
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(r->at - moment).count());
        }
    }
    for (const auto& bot : run.bots) bot->session.reset();  // each says goodbye
    observer.session.reset();

    std::printf("bots: %d actions asked, %zu edits made here, %d chat lines, %d reconnects\n",
                run.asked, run.edits.size(), run.chats, reconnects);
    std::printf("bots: edit latency p50 %.1f ms over %zu receipts\n", percentile(latencies, 0.5),
                latencies.size());
    for (const auto& [why, bots] : refusals)
        std::printf("bots: %d of %d bots were refused: %s\n", bots, run.count, why.c_str());
    if (observed) std::printf("bots: %d bots compared with the server's world\n", compared);
    else
        std::printf(
            "bots: no bot was compared with the server's world: the observer (%s) could "
            "not join: %s\n",
            observer.name.c_str(), unobserved.c_str());
    std::printf(
        "bots: %d joined, %d edits, %.1f ms p99 edit latency, %.0f B/s per bot, %d desyncs\n",
        joined, confirmed, percentile(latencies, 0.99), bytesPerSecond, desyncs);
    return observed && refusals.empty() ? 0 : 1;
}

// One bot: its session kept up through the server's ends, and what it does
// a tick at a human pace, seeded.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "bots/run.h"

namespace bots {

namespace {

const char* const kChatLines[] = {
    "hi all",      "anyone seen sand?",  "building a tower here", "nice house",
    "brb",         "where is the water", "look at this",          "gg",
    "hello there", "mining down",        "need cobblestone",      "night soon",
};

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

void holdDirection(PlayerIntent& intent, Facing facing) {
    intent.walkUp = facing == Facing::Up;
    intent.walkDown = facing == Facing::Down;
    intent.walkLeft = facing == Facing::Left;
    intent.walkRight = facing == Facing::Right;
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

}  // namespace

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

// A held key steps once held past the threshold, then every step.
void walk(Bot& bot, Facing facing, int steps) {
    PlayerIntent intent;
    holdDirection(intent, facing);
    intent.run = bot.runs;
    const int ticks = kHoldThreshold + 1 + (steps - 1) * (bot.runs ? kRunTicks : kAnimTicks) + 1;
    bot.plan.assign(static_cast<std::size_t>(ticks), intent);
}

namespace {

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

}  // namespace

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

}  // namespace bots

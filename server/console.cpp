#include "server/console.h"

#include <cstdio>
#include <sstream>

#include "protocol/codec.h"

namespace server {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

ConsoleLine splitConsoleLine(const std::string& line) {
    std::istringstream words(line);
    ConsoleLine split;
    words >> split.verb;
    std::getline(words >> std::ws, split.rest);
    // A name typed with a blank after it is still that name.
    split.rest = trimmed(split.rest);
    return split;
}

bool parseForget(const std::string& words, std::string& name, bool& drop) {
    std::istringstream in(words);
    std::string how;
    name.clear();
    in >> name >> how;
    drop = how == "drop";
    return !name.empty() && (how.empty() || drop);
}

Console::Console(Log log, ServerConfig& config, Peers& peers, Logins& logins, SharedWorld& world,
                 Store& store, std::atomic<bool>& stopFlag)
    : log_(std::move(log)),
      config_(config),
      peers_(peers),
      logins_(logins),
      world_(world),
      store_(store),
      stopFlag_(stopFlag) {}

void Console::queue(const std::string& line) {
    std::lock_guard<std::mutex> lock(commandsLock_);
    commands_.push_back(line);
}

void Console::countTick(Clock::duration work) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(work).count();
    tickMicros_[ticks_ % kTickTimesKept] =
        static_cast<std::uint32_t>(std::min<long long>(micros, UINT32_MAX));
    ++ticks_;
}

// One line, parsed by the capacity script: keep its form.
std::string Console::statsLine() const {
    const std::size_t kept =
        static_cast<std::size_t>(std::min<std::uint64_t>(ticks_, kTickTimesKept));
    std::vector<std::uint32_t> times(tickMicros_.begin(), tickMicros_.begin() + kept);
    const auto percentile = [&](int p) {
        if (times.empty()) return 0.0;
        const std::size_t at = std::min(times.size() - 1, times.size() * p / 100);
        std::nth_element(times.begin(), times.begin() + at, times.end());
        return times[at] / 1000.0;
    };
    const double p50 = percentile(50), p99 = percentile(99);
    char line[160];
    std::snprintf(line, sizeof line, "stats: ticks %llu, tick p50 %.2f ms, p99 %.2f ms, players %d",
                  static_cast<unsigned long long>(ticks_), p50, p99, logins_.joinedCount.load());
    return line;
}

void Console::runCommands() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(commandsLock_);
        lines.swap(commands_);
    }
    for (const std::string& line : lines) runCommand(line);
}

void Console::runCommand(const std::string& line) {
    const auto [verb, rest] = splitConsoleLine(line);
    if (verb.empty()) return;
    if (verb == "list") {
        std::string text = std::to_string(logins_.joinedCount.load()) + " of " +
                           std::to_string(config_.maxPlayers) + " players";
        for (const auto& peer : peers_)
            if (peer->joined && !peer->closing)
                text += "; " + peer->name + " " + peer->address + " " +
                        std::to_string(peer->pingMs) + " ms";
        log_(text);
    } else if (verb == "say") {
        Announcement line{rest.substr(0, kChatRule.longest)};
        if (problemWith(line).empty()) {
            world_.broadcast(line);
            log_("[server] " + line.text);
        } else {
            log_("say: " + problemWith(line));
        }
    } else if (verb == "kick") {
        if (Peer* peer = world_.findPlayer(rest)) {
            logins_.close(*peer, Reason::Kicked, "", "kicked");
        } else {
            log_("kick: nobody called " + rest);
        }
    } else if (verb == "ban" || verb == "unban") {
        if (rest.empty()) return log_(verb + ": a name or an address, please");
        const bool ban = verb == "ban";
        log_(config_.setBanned(rest, ban));
        if (ban) {
            for (const auto& peer : peers_)
                if (!peer->closing &&
                    (lowered(peer->name) == lowered(rest) || peer->address == rest)) {
                    if (peer->joined) {
                        logins_.close(*peer, Reason::Banned, "", "banned");
                    } else {
                        logins_.close(*peer, Reason::Banned);
                    }
                }
        }
    } else if (verb == "whitelist") {
        log_(config_.whitelistCommand(rest));
    } else if (verb == "stats") {
        log_(statsLine());
    } else if (verb == "save") {
        if (store_.saveNow(true)) log_("saved " + store_.worldPath());
    } else if (verb == "forget") {
        forget(rest);
    } else if (verb == "stop") {
        stopFlag_ = true;
    } else {
        log_("unknown command " + verb +
             " (list, say TEXT, kick NAME, ban NAME|ADDRESS, unban NAME|ADDRESS, whitelist "
             "on|off|add NAME|remove NAME, forget NAME [drop], stats, save, stop)");
    }
}

// The name is free for the next who joins with it; its record stays for
// that player, or goes with `drop`.
void Console::forget(const std::string& words) {
    std::string name;
    bool drop = false;
    if (!parseForget(words, name, drop))
        return log_("forget: a name, then drop to drop its record too (forget NAME [drop])");
    if (Peer* peer = world_.findPlayer(name))
        logins_.close(*peer, Reason::Kicked, "", "name forgotten");
    const std::string path = store_.recordPath(name);
    if (!isRecordName(lowered(name))) return log_("forget: no record of " + name);
    const std::optional<std::string> stored = store_.storedRecord(path);
    if (!stored) return log_("forget: no record of " + name);
    const auto now = Clock::now();
    if (drop) {
        store_.keep(store_.issue(path, "", true));
        logins_.nameDropped();
        log_("forgot " + name + " and dropped the record");
    } else {
        store_.keep(store_.issue(path, withoutKey(*stored)));
        log_("forgot " + name + "; the record goes to whoever joins with the name next");
    }
    store_.noteRecordChange(now);
}

}  // namespace server

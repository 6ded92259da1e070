#include "server/console.h"

#include <cstdio>
#include <ctime>
#include <sstream>

#include "protocol/codec.h"
#include "util/numbers.h"

namespace server {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// A time of the log or of a restore point, as the owner reads the clock.
std::string localTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char text[32] = "?";
    if (localtime_r(&t, &local) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The most lines `history` lists: the newest are the ones looked for.
constexpr int kHistoryLines = 10;
// A week: a rollback reaches no further back than the log's default keeping.
constexpr long kLongestRollback = 7 * 24 * 60;

}  // namespace

const char kConsoleVerbs[] =
    "list, say TEXT, kick NAME, ban NAME|ADDRESS, unban NAME|ADDRESS, whitelist "
    "on|off|add NAME|remove NAME, forget NAME [drop], history X Y, rollback NAME MINUTES, "
    "restore [N], stats, save, stop";

bool parseHistory(const std::string& words, int& x, int& y) {
    const std::vector<std::string> w = wordsOf(words);
    long a = 0, b = 0;
    if (w.size() != 2 || !util::parse_whole(w[0].c_str(), 0, kMostColumns - 1, a) ||
        !util::parse_whole(w[1].c_str(), 0, kMostColumns - 1, b))
        return false;
    x = static_cast<int>(a);
    y = static_cast<int>(b);
    return true;
}

bool parseRollback(const std::string& words, std::string& name, int& minutes) {
    const std::vector<std::string> w = wordsOf(words);
    long m = 0;
    if (w.size() != 2 || !textFits(w[0], kNameRule) ||
        !util::parse_whole(w[1].c_str(), 1, kLongestRollback, m))
        return false;
    name = w[0];
    minutes = static_cast<int>(m);
    return true;
}

bool parseRestore(const std::string& words, int& which) {
    const std::vector<std::string> w = wordsOf(words);
    long n = 0;
    if (w.empty()) return which = 0, true;
    if (w.size() != 1 || !util::parse_whole(w[0].c_str(), 1, 1000, n)) return false;
    which = static_cast<int>(n);
    return true;
}

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
        const auto start = Clock::now();
        if (store_.saveNow())
            log_("saved " + store_.worldPath() + " in " +
                 std::to_string(
                     std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                         .count()) +
                 " ms");
    } else if (verb == "forget") {
        forget(rest);
    } else if (verb == "history") {
        history(rest);
    } else if (verb == "rollback") {
        std::string name;
        int minutes = 0;
        if (!parseRollback(rest, name, minutes))
            return log_(
                "rollback: a name, then the minutes to go back (rollback NAME MINUTES, at "
                "most " +
                std::to_string(kLongestRollback) + ")");
        log_(world_.rollback(name, minutes));
    } else if (verb == "restore") {
        restore(rest);
    } else if (verb == "stop") {
        stopFlag_ = true;
    } else {
        log_("unknown command " + verb + " (" + kConsoleVerbs + ")");
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

void Console::history(const std::string& words) {
    int x = 0, y = 0;
    if (!parseHistory(words, x, y) || x >= world_.columns() || y >= world_.rows())
        return log_("history: a column and a row within the world's " +
                    std::to_string(world_.columns()) + " x " + std::to_string(world_.rows()) +
                    " (history X Y)");
    std::vector<CellEdit> edits;
    if (!store_.history(x, y, kHistoryLines, edits)) return;
    const std::string column = "history " + std::to_string(x) + " " + std::to_string(y);
    if (edits.empty()) return log_(column + ": nobody changed it in the log's time");
    log_(column + ", newest first:");
    for (const CellEdit& edit : edits)
        log_("  " + localTime(edit.time) + " " + edit.name + " level " +
             std::to_string(edit.level) + ": block " + std::to_string(edit.before) + " -> " +
             std::to_string(edit.after));
}

void Console::restore(const std::string& words) {
    int which = 0;
    const std::vector<RestorePoint> points = store_.restorePoints();
    if (!parseRestore(words, which) || which > static_cast<int>(points.size()))
        return log_("restore: N, one of the " + std::to_string(points.size()) +
                    " restore points `restore` lists");
    if (which == 0) {
        if (points.empty()) return log_("restore points: none yet");
        log_("restore points, newest first (restore N goes back to one):");
        for (std::size_t i = 0; i < points.size(); ++i)
            log_("  " + std::to_string(i + 1) + "  " + localTime(points[i].time) + ", " +
                 (points[i].why == "start"     ? "start of a run"
                  : points[i].why == "restore" ? "before a restore"
                                               : "during play"));
        return;
    }
    log_(world_.restoreTo(points[static_cast<std::size_t>(which - 1)]));
}

}  // namespace server

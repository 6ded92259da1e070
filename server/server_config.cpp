// The server's own files in the world folder.
#include "server/server_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "game/atomic_file.h"
#include "protocol/fields.h"
#include "protocol/messages.h"

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parseNumber(const std::string& text, long least, long most, long& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || parsed < least || parsed > most) return false;
    value = parsed;
    return true;
}

// Calls take(name, value) for each "name = value" line, until one is refused:
// that line's number and take's reason go into `problem`. A '#' starts a
// comment, except in a password, which may hold any printable character:
// cutting one short would quietly leave a server more open than its owner
// wrote.
template <class Take>
void readPairs(const std::string& path, Take take, std::string& problem) {
    std::ifstream in(path);
    std::string line;
    std::set<std::string> seen;
    const std::string file = path.substr(path.find_last_of('/') + 1);
    for (int number = 1; problem.empty() && std::getline(in, line); ++number) {
        const std::string whole = trimmed(line);
        if (whole.empty() || whole[0] == '#') continue;
        const auto equals = whole.find('=');
        std::string why;
        std::string name;
        if (equals == std::string::npos) {
            why = "is not \"name = value\"";
        } else {
            name = lowered(trimmed(whole.substr(0, equals)));
            std::string value = whole.substr(equals + 1);
            if (name != "password") value = value.substr(0, value.find('#'));
            value = trimmed(value);
            // A second line of one limit leaves the owner guessing which holds.
            if (name != "ban" && name != "allow" && name != "admin" && !seen.insert(name).second)
                why = "sets " + name + " a second time";
            else why = take(name, value);
        }
        if (!why.empty()) problem = file + " line " + std::to_string(number) + " " + why;
    }
}

// "" when the line is taken, else why not.
std::string takeLimit(ServerConfig& c, const std::string& name, const std::string& value) {
    struct Field {
        const char* name;
        int* target;
        long least, most;
    };
    const Field fields[] = {
        {"max_players", &c.maxPlayers, 0, 250},
        {"login_seconds", &c.loginSeconds, 1, 600},
        {"silence_seconds", &c.silenceSeconds, 2, 3600},
        {"packets_per_second", &c.packetsPerSecond, 1, 100000},
        {"edits_per_second", &c.editsPerSecond, 1, 100000},
        {"chat_per_second", &c.chatsPerSecond, 1, 100000},
        {"connections_per_address", &c.connectionsPerAddress, 1, 100000},
        {"connects_per_minute", &c.connectsPerMinute, 1, 100000},
        {"new_names_per_minute", &c.newNamesPerMinute, 0, 100000},
        {"new_names_per_address", &c.newNamesPerAddress, 0, 100000},
        {"max_names", &c.maxNames, 0, 10000000},
        {"protect_spawn", &c.protectSpawn, 0, kMostColumns},
        // A server that kept none could never be turned back.
        {"restore_points", &c.restorePoints, 1, 1000},
        {"restore_every_minutes", &c.restoreEveryMinutes, 1, 7 * 24 * 60},
        {"edit_log_days", &c.editLogDays, 1, 3650},
    };
    const auto outOfRange = [&](long least, long most) {
        return "(" + name + ") wants a whole number " + std::to_string(least) + ".." +
               std::to_string(most);
    };
    long number = 0;
    for (const Field& field : fields) {
        if (name != field.name) continue;
        if (!parseNumber(value, field.least, field.most, number))
            return outOfRange(field.least, field.most);
        *field.target = static_cast<int>(number);
        return "";
    }
    if (name == "send_queue_bytes") {
        if (!parseNumber(value, kLeastSendQueueBytes, 64L * 1024 * 1024, number))
            return outOfRange(kLeastSendQueueBytes, 64L * 1024 * 1024);
        c.sendQueueBytes = number;
        return "";
    }
    if (name == "password") {
        // The password is never echoed: the log may be read by others.
        if (!textFits(value, kPasswordRule))
            return "(password) wants at most " + std::to_string(kPasswordRule.longest) +
                   " printable characters";
        c.password = value;
        return "";
    }
    return "names no setting (" + name + ")";
}

std::string takeAdmin(ServerConfig& c, const std::string& name, const std::string& value) {
    if (name == "whitelist" && (value == "on" || value == "off")) {
        c.whitelistOn = value == "on";
        return "";
    }
    if (name == "ban" && !value.empty()) return c.banned.insert(lowered(value)), "";
    if (name == "allow" && !value.empty()) return c.allowed.insert(lowered(value)), "";
    if (name == "admin" && !value.empty()) return c.admins.insert(lowered(value)), "";
    return "is not whitelist = on|off, ban = NAME|ADDRESS, allow = NAME or admin = NAME";
}

std::string saveAdmin(const ServerConfig& c) {
    std::string text = "# Kept by the server's console: ban, unban, whitelist.\n";
    text += std::string("whitelist = ") + (c.whitelistOn ? "on" : "off") + "\n";
    for (const auto& b : c.banned) text += "ban = " + b + "\n";
    for (const auto& a : c.allowed) text += "allow = " + a + "\n";
    for (const auto& a : c.admins) text += "admin = " + a + "\n";
    const int error = replaceFile(c.adminPath, text, true);
    return error == 0 ? "" : " (but admin.ini could not be written: " + std::to_string(error) + ")";
}

}  // namespace

bool ServerConfig::isBanned(const std::string& name, const std::string& address) const {
    return (!name.empty() && banned.count(lowered(name)) > 0) || banned.count(address) > 0;
}

bool ServerConfig::isAdmin(const std::string& name) const {
    return admins.count(lowered(name)) > 0;
}

bool ServerConfig::whitelistAllows(const std::string& name) const {
    return !whitelistOn || allowed.count(lowered(name)) > 0;
}

std::string ServerConfig::setBanned(const std::string& who, bool ban) {
    if (ban) {
        banned.insert(lowered(who));
    } else if (banned.erase(lowered(who)) == 0) {
        return who + " was not banned";
    }
    return (ban ? "banned " : "unbanned ") + who + saveAdmin(*this);
}

std::string ServerConfig::whitelistCommand(const std::string& words) {
    const auto space = words.find(' ');
    const std::string verb = words.substr(0, space);
    const std::string name = space == std::string::npos ? "" : trimmed(words.substr(space + 1));
    if (verb == "on" || verb == "off") {
        whitelistOn = verb == "on";
    } else if (verb == "add" && !name.empty()) {
        allowed.insert(lowered(name));
    } else if (verb == "remove" && !name.empty()) {
        allowed.erase(lowered(name));
    } else {
        std::string names;
        for (const auto& a : allowed) names += " " + a;
        return std::string("whitelist ") + (whitelistOn ? "on" : "off") + ":" + names +
               " (whitelist on|off|add NAME|remove NAME)";
    }
    return "whitelist " + words + saveAdmin(*this);
}

bool ServerConfig::allowConnect(const std::string& address,
                                std::chrono::steady_clock::time_point now) {
    // Each address that ever knocked would otherwise stay for good.
    if (now - lastPruned >= std::chrono::seconds(1)) {
        lastPruned = now;
        for (auto it = recentConnects.begin(); it != recentConnects.end();) {
            const bool stale =
                it->second.empty() || now - it->second.back() >= std::chrono::minutes(1);
            it = stale ? recentConnects.erase(it) : std::next(it);
        }
    }
    auto& times = recentConnects[address];
    times.erase(std::remove_if(times.begin(), times.end(),
                               [&](auto t) { return now - t >= std::chrono::minutes(1); }),
                times.end());
    if (static_cast<int>(times.size()) >= connectsPerMinute) return false;
    times.push_back(now);
    return true;
}

ServerConfig readServerConfig(const std::string& folder, std::string& problem) {
    ServerConfig c;
    c.adminPath = folder + "/admin.ini";
    problem.clear();
    readPairs(
        folder + "/server.ini",
        [&](const std::string& n, const std::string& v) { return takeLimit(c, n, v); }, problem);
    if (problem.empty())
        readPairs(
            c.adminPath,
            [&](const std::string& n, const std::string& v) { return takeAdmin(c, n, v); },
            problem);
    return c;
}

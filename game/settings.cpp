// The settings file.
//
// Grammar, one setting a line, in any order; blanks around names and values,
// empty lines and lines starting with '#' are ignored (as is a byte-order
// mark); a later line wins:
//   window.width = <640..16384>      window.height = <480..16384>
//   window.fullscreen = <0 | 1>
//   classic = <0 | 1>
//   sound.volume = <0..10>           multiplayer.names = <0 | 1>
//   multiplayer.chat = <0 | 1>       status.position = <0 | 1>
//   join.server = <host:port>        join.name = <1..16 of letters, digits, _, ->
//   key.<action> = <key name>        actions as kActionKeys names them, key
//                                    names as the keyboard library gives them
//                                    (matched without regard to case); no
//                                    key twice, none the game keeps for itself;
//                                    a key named here wins over any default
// Saving rewrites only the lines of these values, and of the keys only those
// changed in the game; every other line (comments, lines not understood, keys
// as the player wrote them) stays as the player left it.
#include "game/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

#include "game/atomic_file.h"
#include "game/key_bindings.h"
#include "game/paths.h"
#include "util/text.h"

Settings settings;

namespace {

// The file is a few hundred bytes; a damaged one must not be read whole, and
// one the game did not read whole is never rewritten, which would cut it.
constexpr std::size_t kMaxFileBytes = 1024 * 1024;
const std::string kKeyPrefix = "key.";
const std::string kByteOrderMark = "\xEF\xBB\xBF";

// The keys the game keeps for itself whatever the bindings: Escape leaves for
// the menu, the digits choose hotbar slots, F12 takes a screenshot.
bool keptByTheGame(int key) {
    return key == KeyEscape || (key >= Key0 && key <= Key9) || key == KeyF11 + 1;
}

// The file's lines as last read or written, so a save keeps what it does not own.
std::vector<std::string> fileLines;
// The keys as the file last read or written left them. A key line of an
// action whose key has not changed since is kept as the player wrote it, even
// one that was refused: only a change the player made here rewrites it.
KeyBindings keysAsFiled;
// Why the file as read must not be rewritten; empty when it may.
std::string keptAsItIs;

// A binding a line asked for; the clashes are settled once every line is read.
struct Request {
    int action;
    int key;
    int line;
    std::string source;
};
std::vector<Request> requests;

void complain(const std::string& source, int line, const std::string& what) {
    std::fprintf(stderr, "Tessaria: %s line %d: %s\n", source.c_str(), line, what.c_str());
}

// Decimal digits only, within [low, high]; false otherwise.
bool parseSide(const std::string& text, int low, int high, int& side) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return false;
    side = value;
    return true;
}

bool parseSwitch(const std::string& text, bool& on) {
    if (text != "0" && text != "1") return false;
    on = text == "1";
    return true;
}

// What the join panel lets be typed: an address of letters, digits, dots,
// dashes and one colon's port, a name of letters, digits, '_' and '-'.
bool parseJoinText(const std::string& text, std::size_t longest, const char* allowed,
                   std::string& into) {
    if (text.empty() || text.size() > longest) return false;
    for (char c : text) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && std::strchr(allowed, c) == nullptr) return false;
    }
    into = text;
    return true;
}

int actionNamed(const std::string& name) {
    for (int action = 0; action < kActionCount; ++action)
        if (name == kActionKeys[action].name) return action;
    return -1;
}

// One "key.<action> = <name>" line; false when the action is unknown.
bool readBinding(const std::string& name, const std::string& value, const std::string& source,
                 int line) {
    const int action = actionNamed(name.substr(kKeyPrefix.size()));
    if (action < 0) return false;
    const int key = keyNamed(value);
    if (key < 0) {
        complain(source, line,
                 "no key is named \"" + value + "\"; " + name + " stays " +
                     keyName(keyBindings.key[action]));
    } else if (keptByTheGame(key)) {
        complain(source, line,
                 "the game keeps " + value + " for itself; " + name + " stays " +
                     keyName(keyBindings.key[action]));
    } else {
        requests.push_back({action, key, line, source});
    }
    return true;
}

// The keys a default moves to when a player's line took it: the letters,
// then the function keys the game leaves free, tried from the one after the
// default round to it. More of them than actions, so one is always free.
constexpr int kSpareKeyCount = (KeyZ - KeyA + 1) + (KeyF10 - KeyF3 + 1);
static_assert(kSpareKeyCount > kActionCount);

int spareKey(int index) {
    constexpr int kLetters = KeyZ - KeyA + 1;
    return index < kLetters ? KeyA + index : KeyF3 + index - kLetters;
}

int actionWithKey(const KeyBindings& bound, const bool* decided, int key) {
    for (int action = 0; action < kActionCount; ++action)
        if (decided[action] && bound.key[action] == key) return action;
    return -1;
}

// Applies the bindings asked for. The last line of an action is the one that
// counts; of two lines asking for one key, the earlier keeps it. A player's
// key always wins over a default (a new action's default may be a key an old
// file gave to something else): the action whose default was taken moves to
// the next spare key, and says so once, since a save writes that key down.
void settleBindings() {
    const KeyBindings defaults;
    KeyBindings bound = defaults;
    bool chosen[kActionCount] = {};
    int lastRequest[kActionCount];
    std::fill(std::begin(lastRequest), std::end(lastRequest), -1);
    for (std::size_t r = 0; r < requests.size(); ++r)
        lastRequest[requests[r].action] = static_cast<int>(r);
    for (std::size_t r = 0; r < requests.size(); ++r) {
        const Request& request = requests[r];
        if (lastRequest[request.action] != static_cast<int>(r)) continue;
        const std::string name = kKeyPrefix + kActionKeys[request.action].name;
        const int other = actionWithKey(bound, chosen, request.key);
        if (other >= 0) {
            complain(request.source, request.line,
                     keyName(request.key) + " is already the key of " + kKeyPrefix +
                         kActionKeys[other].name + "; " + name + " stays " +
                         keyName(defaults.key[request.action]));
            continue;
        }
        bound.key[request.action] = request.key;
        chosen[request.action] = true;
    }
    bool decided[kActionCount];
    std::copy(std::begin(chosen), std::end(chosen), std::begin(decided));
    // The defaults no line took stay where they are before any default moves.
    for (int action = 0; action < kActionCount; ++action)
        if (!chosen[action] && actionWithKey(bound, chosen, defaults.key[action]) < 0)
            decided[action] = true;
    for (int action = 0; action < kActionCount; ++action) {
        if (decided[action]) continue;
        const int taker = actionWithKey(bound, chosen, defaults.key[action]);
        int start = 0;
        while (start < kSpareKeyCount && spareKey(start) != defaults.key[action]) ++start;
        if (start == kSpareKeyCount) start = -1;
        for (int step = 1; step <= kSpareKeyCount; ++step) {
            const int key = spareKey((start + step) % kSpareKeyCount);
            if (actionWithKey(bound, decided, key) >= 0) continue;
            bound.key[action] = key;
            break;
        }
        decided[action] = true;
        const Request& request = requests[static_cast<std::size_t>(lastRequest[taker])];
        complain(request.source, request.line,
                 keyName(defaults.key[action]) + ", the default of " + kKeyPrefix +
                     kActionKeys[action].name + ", is the key of " + kKeyPrefix +
                     kActionKeys[taker].name + " here; " + kKeyPrefix + kActionKeys[action].name +
                     " gets " + keyName(bound.key[action]));
    }
    keyBindings = bound;
    keysAsFiled = bound;
    requests.clear();
}

// One "name = value" line; false when it is not understood.
bool readSetting(const std::string& name, const std::string& value, const std::string& source,
                 int line) {
    if (name == "window.width")
        return parseSide(value, kMinWindowWidth, kMaxWindowSide, settings.windowWidth);
    if (name == "window.height")
        return parseSide(value, kMinWindowHeight, kMaxWindowSide, settings.windowHeight);
    if (name == "window.fullscreen") return parseSwitch(value, settings.fullscreen);
    if (name == "classic") return parseSwitch(value, settings.classic);
    if (name == "join.server") return parseJoinText(value, 261, ".-_:", settings.joinServer);
    if (name == "join.name") return parseJoinText(value, 16, "_-", settings.joinName);
    if (name == "host.port") return parseSide(value, 1, 65535, settings.hostPort);
    if (name == "sound.volume") return parseSide(value, 0, kFullSoundVolume, settings.soundVolume);
    if (name == "multiplayer.names") return parseSwitch(value, settings.showNames);
    if (name == "multiplayer.chat") return parseSwitch(value, settings.showChat);
    if (name == "status.position") return parseSwitch(value, settings.showPosition);
    if (name.compare(0, kKeyPrefix.size(), kKeyPrefix) == 0)
        return readBinding(name, value, source, line);
    return false;
}

}  // namespace

void readSettings(std::istream& in, const std::string& source) {
    settings = Settings{};
    keyBindings = KeyBindings{};
    requests.clear();
    keptAsItIs.clear();
    std::string text;
    text.resize(kMaxFileBytes);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        keptAsItIs = "it could not be read whole";
    } else if (text.size() == kMaxFileBytes && in.peek() != std::char_traits<char>::eof()) {
        keptAsItIs = "it is larger than " + std::to_string(kMaxFileBytes / 1024) +
                     " KiB and only its start was read";
    }
    if (text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0)
        text.erase(0, kByteOrderMark.size());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::vector<std::string> lines =
        text.empty() ? std::vector<std::string>() : util::explode('\n', text);
    fileLines = lines;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string line = util::trim(lines[index]);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        const int number = static_cast<int>(index) + 1;
        if (equals == std::string::npos ||
            !readSetting(util::trim(line.substr(0, equals)), util::trim(line.substr(equals + 1)),
                         source, number))
            complain(source, number, "\"" + line + "\" is not understood; it is ignored");
    }
    settleBindings();
}

void loadSettings() {
    std::ifstream in(settingsFile(), std::ios::binary);
    readSettings(in, settingsFile());
    if (!in.is_open() && nameExists(settingsFile())) keptAsItIs = "it could not be read";
}

std::string formatSettings() {
    // The values the game owns, in the order a new file lists them.
    std::vector<std::pair<std::string, std::string>> owned;
    if (settings.windowWidth > 0 && settings.windowHeight > 0) {
        owned.emplace_back("window.width", std::to_string(settings.windowWidth));
        owned.emplace_back("window.height", std::to_string(settings.windowHeight));
    }
    owned.emplace_back("window.fullscreen", settings.fullscreen ? "1" : "0");
    if (settings.classic) owned.emplace_back("classic", "1");
    if (!settings.joinServer.empty()) owned.emplace_back("join.server", settings.joinServer);
    if (!settings.joinName.empty()) owned.emplace_back("join.name", settings.joinName);
    if (settings.hostPort != kDefaultHostPort)
        owned.emplace_back("host.port", std::to_string(settings.hostPort));
    // Only what differs from the default, so a new file stays short.
    if (settings.soundVolume != kFullSoundVolume)
        owned.emplace_back("sound.volume", std::to_string(settings.soundVolume));
    if (!settings.showNames) owned.emplace_back("multiplayer.names", "0");
    if (!settings.showChat) owned.emplace_back("multiplayer.chat", "0");
    if (settings.showPosition) owned.emplace_back("status.position", "1");
    for (int action = 0; action < kActionCount; ++action) {
        const std::string name = keyName(keyBindings.key[action]);
        if (!name.empty()) owned.emplace_back(kKeyPrefix + kActionKeys[action].name, name);
    }
    const auto ownedName = [](const std::string& name) {
        return name == "window.width" || name == "window.height" || name == "window.fullscreen" ||
               name == "classic" || name == "join.server" || name == "join.name" ||
               name == "host.port" || name == "sound.volume" || name == "multiplayer.names" ||
               name == "multiplayer.chat" || name == "status.position" ||
               (name.compare(0, kKeyPrefix.size(), kKeyPrefix) == 0 &&
                actionNamed(name.substr(kKeyPrefix.size())) >= 0);
    };
    const auto keptAsFiled = [](const std::string& name) {
        if (name.compare(0, kKeyPrefix.size(), kKeyPrefix) != 0) return false;
        const int action = actionNamed(name.substr(kKeyPrefix.size()));
        return action >= 0 && keyBindings.key[action] == keysAsFiled.key[action];
    };
    std::string text;
    if (fileLines.empty()) text = "# Tessaria settings: one \"name = value\" a line.\n";
    std::vector<bool> written(owned.size(), false);
    // An owned value replaces its first line and drops the repeats; every other
    // line stays as it was.
    for (const std::string& raw : fileLines) {
        const std::string line = util::trim(raw);
        const std::size_t equals = line.find('=');
        const std::string name =
            equals == std::string::npos ? std::string() : util::trim(line.substr(0, equals));
        if (line.empty() || line[0] == '#' || !ownedName(name) || keptAsFiled(name)) {
            text += raw + "\n";
            for (std::size_t i = 0; i < owned.size(); ++i)
                if (owned[i].first == name) written[i] = true;
            continue;
        }
        for (std::size_t i = 0; i < owned.size(); ++i) {
            if (owned[i].first != name || written[i]) continue;
            text += name + " = " + owned[i].second + "\n";
            written[i] = true;
        }
    }
    for (std::size_t i = 0; i < owned.size(); ++i)
        if (!written[i]) text += owned[i].first + " = " + owned[i].second + "\n";
    return text;
}

bool saveSettings() {
    if (!keptAsItIs.empty()) {
        std::fprintf(stderr,
                     "Tessaria: %s is left as it is, so this run's settings are not kept: %s\n",
                     settingsFile().c_str(), keptAsItIs.c_str());
        return false;
    }
    const std::string text = formatSettings();
    const int error = replaceFile(settingsFile(), text, true);
    if (error == 0) {
        std::istringstream written(text);
        fileLines.clear();
        for (std::string line; std::getline(written, line);) fileLines.push_back(line);
        keysAsFiled = keyBindings;
    }
    if (error != 0)
        std::fprintf(stderr, "Tessaria: cannot save %s: %s\n", settingsFile().c_str(),
                     std::strerror(error));
    return error == 0;
}

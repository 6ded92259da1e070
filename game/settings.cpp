// The settings file.
//
// Grammar, one setting a line, in any order; blanks around names and values,
// empty lines and lines starting with '#' are ignored; a later line wins:
//   window.width = <640..16384>      window.height = <480..16384>
//   window.fullscreen = <0 | 1>
//   classic = <0 | 1>
//   key.<action> = <key name>        actions as kActionKeys names them, key
//                                    names as the keyboard library gives them
//                                    (matched without regard to case)
#include "game/settings.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "game/key_bindings.h"
#include "game/paths.h"
#include "game/world_file.h"
#include "util/text.h"

Settings settings;

namespace {

// The file is a few hundred bytes; a damaged one must not be read whole.
constexpr std::size_t kMaxFileBytes = 64 * 1024;
const std::string kKeyPrefix = "key.";

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
    } else {
        keyBindings.key[action] = key;
    }
    return true;
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
    if (name.compare(0, kKeyPrefix.size(), kKeyPrefix) == 0)
        return readBinding(name, value, source, line);
    return false;
}

}  // namespace

void readSettings(std::istream& in, const std::string& source) {
    settings = Settings{};
    keyBindings = KeyBindings{};
    std::string text;
    text.resize(kMaxFileBytes);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    const std::vector<std::string> lines = util::explode('\n', text);
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
}

void loadSettings() {
    std::ifstream in(settingsFile(), std::ios::binary);
    readSettings(in, settingsFile());
}

std::string formatSettings() {
    std::string text = "# Tessaria settings: one \"name = value\" a line.\n";
    if (settings.windowWidth > 0 && settings.windowHeight > 0) {
        text += "window.width = " + std::to_string(settings.windowWidth) + "\n";
        text += "window.height = " + std::to_string(settings.windowHeight) + "\n";
    }
    text += std::string("window.fullscreen = ") + (settings.fullscreen ? "1" : "0") + "\n";
    if (settings.classic) text += "classic = 1\n";
    for (int action = 0; action < kActionCount; ++action) {
        const std::string name = keyName(keyBindings.key[action]);
        if (!name.empty()) text += kKeyPrefix + kActionKeys[action].name + " = " + name + "\n";
    }
    return text;
}

bool saveSettings() {
    const int error = replaceFile(settingsFile(), formatSettings(), true);
    if (error != 0)
        std::fprintf(stderr, "Tessaria: cannot save %s: %s\n", settingsFile().c_str(),
                     std::strerror(error));
    return error == 0;
}

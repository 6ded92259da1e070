// The join secrets file, one secret a line, '#' starts a comment:
//   password ADDRESS TEXT
//   key ADDRESS NAME KEY
// ADDRESS and NAME hold no blanks; TEXT is the rest of the line as typed
// (a password may hold blanks), KEY the server's hex digits.
#include "game/join_secrets.h"

#include <cctype>
#include <sstream>

#include "game/atomic_file.h"
#include "game/paths.h"

namespace {

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A word of the file: something, and no blank or line break in it.
bool isWord(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= ' ') return false;
    return true;
}

bool isLineText(const std::string& text) {
    for (char c : text)
        if (c == '\n' || c == '\r') return false;
    return true;
}

// The next word of `line` from `at`, which moves past it and one blank.
std::string nextWord(const std::string& line, std::size_t& at) {
    const std::size_t blank = line.find(' ', at);
    const std::string word =
        line.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
    at = blank == std::string::npos ? line.size() : blank + 1;
    return word;
}

void readLine(const std::string& line, JoinSecrets& secrets) {
    std::size_t at = 0;
    const std::string kind = nextWord(line, at);
    const std::string address = nextWord(line, at);
    if (kind == "password") {
        keepPassword(secrets, address, line.substr(at));
    } else if (kind == "key") {
        const std::string name = nextWord(line, at);
        keepKey(secrets, address, name, nextWord(line, at));
    }
}

}  // namespace

std::string joinSecretsFile() {
    // The worlds' folder sits in the player's data folder in either mode.
    const std::string worlds = worldsFolder();
    const std::size_t slash = worlds.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : worlds.substr(0, slash);
    return folder + "/join_secrets";
}

JoinSecrets readJoinSecrets(const std::string& path) {
    JoinSecrets secrets;
    std::string text;
    if (readWholeFile(path, text) != 0) return secrets;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') readLine(line, secrets);
    }
    return secrets;
}

int writeJoinSecrets(const std::string& path, const JoinSecrets& secrets) {
    std::string text = "# Passwords and name keys for the servers joined: yours alone.\n";
    for (const auto& [address, password] : secrets.passwords)
        text += "password " + address + " " + password + "\n";
    for (const auto& [where, key] : secrets.keys)
        text += "key " + where.first + " " + where.second + " " + key + "\n";
    // Synced: a key lost to a power cut is a name lost on that server.
    return replacePrivateFile(path, text, true);
}

std::string keptPassword(const JoinSecrets& secrets, const std::string& address) {
    const auto found = secrets.passwords.find(lowered(address));
    return found == secrets.passwords.end() ? "" : found->second;
}

void keepPassword(JoinSecrets& secrets, const std::string& address, const std::string& password) {
    if (!isWord(address)) return;
    if (password.empty()) secrets.passwords.erase(lowered(address));
    else if (isLineText(password)) secrets.passwords[lowered(address)] = password;
}

std::string keptKey(const JoinSecrets& secrets, const std::string& address,
                    const std::string& name) {
    const auto found = secrets.keys.find({lowered(address), lowered(name)});
    return found == secrets.keys.end() ? "" : found->second;
}

void keepKey(JoinSecrets& secrets, const std::string& address, const std::string& name,
             const std::string& key) {
    if (!isWord(address) || !isWord(name)) return;
    if (key.empty()) secrets.keys.erase({lowered(address), lowered(name)});
    else if (isWord(key)) secrets.keys[{lowered(address), lowered(name)}] = key;
}

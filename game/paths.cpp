// The game's file locations, portable or installed.
#include "game/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "game/atomic_file.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataPrefix = "data/";
constexpr const char* kInstalledData = "../share/tessaria";
constexpr const char* kStarterWorld = "starter-world.ini";

GamePaths paths;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool isAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// XDG asks that relative values be ignored, as if unset; empty when neither
// the variable nor the home folder gives an absolute folder.
std::string baseFolder(const std::string& variable, const std::string& home, const char* fallback) {
    if (isAbsolute(variable)) return variable;
    return isAbsolute(home) ? home + "/" + fallback : std::string();
}

bool isFolder(const std::string& folder) {
    std::error_code ignored;
    return fs::is_directory(folder, ignored);
}

bool isFile(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::string programFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

}  // namespace

GamePaths pathsFor(const PathClues& clues, bool (*installedDataExists)(const std::string& folder)) {
    GamePaths chosen;
    if (clues.portableData || clues.programFolder.empty()) return chosen;
    const std::string installed = clues.programFolder + "/" + kInstalledData;
    if (!installedDataExists(installed)) return chosen;
    const std::string dataBase = baseFolder(clues.dataHome, clues.home, ".local/share");
    const std::string configBase = baseFolder(clues.configHome, clues.home, ".config");
    chosen.mode = PathMode::Installed;
    if (dataBase.empty() || configBase.empty()) {
        chosen.homeless = true;
        return chosen;
    }
    const std::string data = dataBase + "/tessaria";
    chosen.dataFolder = installed;
    chosen.worldFolder = data + "/world";
    chosen.worldsFolder = data + "/worlds";
    chosen.settingsFolder = configBase + "/tessaria";
    chosen.screenshotFolder = data + "/screenshots";
    chosen.starterWorld = installed + "/" + kStarterWorld;
    return chosen;
}

std::string homeFolder(const std::string& variable) {
    if (isAbsolute(variable)) return variable;
    std::vector<char> buffer(16384);
    passwd entry = {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || !isAbsolute(found->pw_dir))
        return std::string();
    return found->pw_dir;
}

bool choosePaths() {
    PathClues clues;
    clues.portableData = isFolder(std::string(kDataPrefix) + "gfx");
    clues.programFolder = programFolder();
    clues.home = homeFolder(environment("HOME"));
    clues.dataHome = environment("XDG_DATA_HOME");
    clues.configHome = environment("XDG_CONFIG_HOME");
    usePaths(pathsFor(clues, [](const std::string& folder) { return isFolder(folder + "/gfx"); }));
    if (paths.homeless)
        std::fprintf(stderr,
                     "Tessaria: no home folder to keep the world and settings in (HOME is not an "
                     "absolute folder and the user has none); the game does not start\n");
    return !paths.homeless;
}

void usePaths(const GamePaths& chosen) { paths = chosen; }

const GamePaths& gamePaths() { return paths; }

std::string dataFile(const std::string& name) {
    const std::string prefix = kDataPrefix;
    if (paths.mode == PathMode::Portable || name.compare(0, prefix.size(), prefix) != 0)
        return name;
    return paths.dataFolder + "/" + name.substr(prefix.size());
}

std::string worldFile() { return paths.worldFolder + "/world.ini"; }

void playWorldFolder(const std::string& folder) { paths.worldFolder = folder; }

std::string worldsFolder() { return paths.worldsFolder; }

std::string settingsFile() { return paths.settingsFolder + "/settings.ini"; }

std::string screenshotFolder() { return paths.screenshotFolder; }

bool provideStarterWorld() {
    if (paths.mode != PathMode::Installed) return true;
    const std::string world = worldFile();
    if (isFile(world) || isFile(world + ".bak") || !isFile(paths.starterWorld)) return true;
    std::string text;
    // A starter that cannot be read whole is no world to start with.
    if (readWholeFile(paths.starterWorld, text) != 0) return false;
    // Written like a save, so a run stopped halfway never finds half a world.
    return replaceFile(world, text, true) == 0;
}

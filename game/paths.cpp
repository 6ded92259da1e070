// The game's file locations, portable or installed.
#include "game/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "game/world_file.h"

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

// XDG asks that relative values be ignored, as if unset.
std::string baseFolder(const std::string& variable, const std::string& home, const char* fallback) {
    if (!variable.empty() && variable.front() == '/') return variable;
    return home + "/" + fallback;
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
    const std::string data = baseFolder(clues.dataHome, clues.home, ".local/share") + "/tessaria";
    chosen.mode = PathMode::Installed;
    chosen.dataFolder = installed;
    chosen.worldFolder = data + "/world";
    chosen.worldsFolder = data + "/worlds";
    chosen.settingsFolder = baseFolder(clues.configHome, clues.home, ".config") + "/tessaria";
    chosen.screenshotFolder = data + "/screenshots";
    chosen.starterWorld = installed + "/" + kStarterWorld;
    return chosen;
}

void choosePaths() {
    PathClues clues;
    clues.portableData = isFolder(std::string(kDataPrefix) + "gfx");
    clues.programFolder = programFolder();
    clues.home = environment("HOME");
    clues.dataHome = environment("XDG_DATA_HOME");
    clues.configHome = environment("XDG_CONFIG_HOME");
    usePaths(pathsFor(clues, [](const std::string& folder) { return isFolder(folder + "/gfx"); }));
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
    std::ifstream in(paths.starterWorld, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    // Written like a save, so a run stopped halfway never finds half a world.
    return in && replaceFile(world, text.str(), true) == 0;
}

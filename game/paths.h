// Where the game reads its pictures and keeps the player's files; the one
// place that knows them. Two modes, one rule:
// - portable, when a data/ folder with the game's pictures sits in the folder
//   the game runs in: everything is read from and written below it, world in
//   data/world/, settings in data/, screenshots in screenshots/ beside it;
// - installed otherwise: pictures, sounds and the font from ../share/tessaria
//   beside the program (so the install can be moved), the world under
//   $XDG_DATA_HOME/tessaria/world/, settings under $XDG_CONFIG_HOME/tessaria/,
//   screenshots under $XDG_DATA_HOME/tessaria/screenshots/. Nothing is ever
//   written into the installed folders or the working folder.
// Until start-up chooses, the paths are the portable ones, so code and tests
// that never start the game keep to the folder they run in.
#pragma once

#include <cstdint>
#include <string>

enum class PathMode : std::int32_t { Portable = 0, Installed = 1 };

struct GamePaths {
    PathMode mode = PathMode::Portable;
    std::string dataFolder = "data";  // pictures, sounds, font
    std::string worldFolder =
        "data/world";  // the world played; at first the one from before the list
    std::string worldsFolder = "data/worlds";  // one folder per world
    std::string settingsFolder = "data";
    std::string screenshotFolder = "screenshots";
    std::string starterWorld;  // copied for a new player; installed mode only
    bool homeless = false;     // installed, with no absolute folder for the player's files
};

// What the choice depends on, read from the process by choosePaths().
struct PathClues {
    bool portableData = false;         // a data/ folder with the pictures in the working folder
    std::string programFolder;         // the folder of the running program; empty when unknown
    std::string home;                  // the home folder (homeFolder())
    std::string dataHome, configHome;  // $XDG_DATA_HOME, $XDG_CONFIG_HOME
};

// The paths for these clues; installed mode needs the installed data folder
// to exist (`installedDataExists` is asked with its path), else portable.
GamePaths pathsFor(const PathClues& clues, bool (*installedDataExists)(const std::string& folder));
// $HOME when it is absolute, else the user's home from the password database;
// empty when there is none.
std::string homeFolder(const std::string& variable);
// Reads the clues from the working folder, /proc and the environment, and
// makes their paths the process's paths. False (said in one line on standard
// error) when the game is installed and has no home folder to write to.
bool choosePaths();
void usePaths(const GamePaths& paths);
const GamePaths& gamePaths();

// A file the game reads, named as under data/ ("data/gfx/001.bmp").
std::string dataFile(const std::string& name);
// The saved world; its backup is the same name with ".bak".
std::string worldFile();
// Makes `folder` the world played: the saves and worldFile() follow it.
void playWorldFolder(const std::string& folder);
// The folder that holds one folder per world, beside the single world's:
// data/worlds/ portable, $XDG_DATA_HOME/tessaria/worlds/ installed.
std::string worldsFolder();
// Window size, fullscreen and key bindings, kept between runs.
std::string settingsFile();
// Where F12 puts its pictures.
std::string screenshotFolder();

// In installed mode, gives a new player (no world, no backup) the starter
// world; false only when that copy failed. Portable mode starts as it finds.
bool provideStarterWorld();

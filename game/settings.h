// What the player chose, kept between runs in the settings file (where it
// lives: game/paths.h): the window's size, fullscreen, the classic picture,
// the key bindings of game/key_bindings.h, the last server joined and the
// name used there, the port a hosted world listens on, the effects' volume,
// whether other players' names and the chat are shown, and the position line.
#pragma once

#include <istream>
#include <string>

// The window is never smaller than the picture it shows.
constexpr int kMinWindowWidth = 640;
constexpr int kMinWindowHeight = 480;
constexpr int kMaxWindowSide = 16384;
constexpr int kDefaultHostPort = 7777;
constexpr int kFullSoundVolume = 10;

struct Settings {
    int windowWidth = 0;   // the window's size when the game last quit; 0 when
    int windowHeight = 0;  // none was kept: the window then opens as large as fits
    bool fullscreen = false;
    // The picture and behaviour of the first releases, exactly: no target
    // outline, status line, inventory or kept player record, the ground cut
    // away below a tower, the figure dark at night, the counts where they were.
    bool classic = false;
    // The multiplayer join panel's last address ("host:port") and name.
    std::string joinServer;
    std::string joinName;
    // The port "Host this world" listens on first (any free one when it is taken).
    int hostPort = kDefaultHostPort;
    // The effects' loudness in tenths of full; 0 silences them.
    int soundVolume = kFullSoundVolume;
    // Other players' names over their figures, and the chat's lines.
    bool showNames = true;
    bool showChat = true;
    // The player's column, row and level on the status line (the position key).
    bool showPosition = false;
};
extern Settings settings;

// Reads the settings file into `settings` and `keyBindings`, starting from
// the defaults. A missing or unreadable file leaves the defaults; a line that
// is not understood keeps the default of what it names and is reported in one
// line on standard error. Never fails.
void loadSettings();
// Writes `settings` and every key binding, atomically. False when the file
// could not be written, or is left as it is because it was not read whole (too
// large, or unreadable); one line on standard error then says why.
bool saveSettings();

// The reader on any text (`source` names it in messages) and the writer's text.
void readSettings(std::istream& in, const std::string& source);
std::string formatSettings();

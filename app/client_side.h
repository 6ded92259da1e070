// What the multiplayer files share: the one record of the client's side,
// and the steps each file offers the others. The app's other files use
// app/multiplayer.h.
#pragma once

#include <allegro5/allegro.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/game_screen.h"
#include "client/session.h"
#include "game/join_secrets.h"
#include "game/marks.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "server/server.h"
#include "world/world_grid.h"

constexpr std::size_t kPasswordLongest = 32;  // the most the wire carries
constexpr const char* kNameRule = "A name is 1 to 16 letters, digits, _ or -.";

// The single player's records, kept while a server's world is shown.
struct KeptGame {
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    PlayerState player;
    Camera camera;
    WeatherState weather;
    WorldClock clock;
    Screen screen = Screen::Menu;
};

enum class Field { Address, Name, Password };

// A world hosted from the panel: the same server as tessaria-server's, on a
// thread of its own, with the world's folder its own until it stops.
struct Hosting {
    std::unique_ptr<Server> server;
    std::thread thread;
    bool saved = true;    // the server's last save, once its thread has ended
    std::string folder;   // under worldsFolder()
    std::string address;  // what others on the network join
    ~Hosting() {
        if (!thread.joinable()) return;
        server->requestStop();
        thread.join();
    }
};

// A long chat line in the picture's lines, wrapped once.
struct WrappedNote {
    std::string text;
    std::vector<std::string> lines;
};

struct ClientSide {
    std::unique_ptr<Session> session;
    std::unique_ptr<KeptGame> kept;
    std::string address, status;
    double statusUntil = 0;  // al_get_time() when a passing notice goes; 0: it stays
    std::string password;    // the panel's, for `address`
    JoinSecrets secrets;     // as in the file when the panel opened or a join began
    // Under which the session's password and key are kept: the address
    // joined, or the hosted world's own place; and whether the password
    // typed is kept once the server takes it (not one from a file).
    std::string place;
    bool keepPassword = false;
    bool keyKept = false;
    Field focus = Field::Address;
    bool focusNamed = false;  // a refusal chose the field to mend for the panel's next opening
    bool panelWasShown = false;
    bool chatOpen = false;
    std::string chatText;
    bool escapeTaken = false;  // an Escape that closed a field, until it is let go
    bool wasPointerDown = false;
    bool everPlayed = false;
    std::optional<MarksInPlay> marksBefore;  // the single player's, back when the session ends
    Hosting host;
    // The world "Host this world" hosts, found when the panel opens.
    std::string chosenFolder, chosenName;
    // The game's own line over the joined game for the chat's time: the
    // host's address, or a name's key that could not be kept.
    ChatNote gameNote;
    std::vector<WrappedNote> wrapped;
};
extern ClientSide client;

// A message that stays until the next, or a notice that goes by itself.
void say(const std::string& text, bool passing = false);

// `hosted`: the game's own server, whose address is not one to remember and
// whose world is read back from its folder afterwards rather than kept here;
// its secrets are kept under `place`, the world's own.
void startSession(const std::string& address, const std::string& name, const std::string& password,
                  bool keepTyped, bool hosted = false, const std::string& place = "");

// A session is in the world, past joining.
bool playing();

// The world chosen: the one open now, else the one played last.
void findChosenWorld();

// Stops the hosted server, whose stop saves the world and the players'
// records, and lets its world folder go; with `reopen`, the world opens again
// for single player as the server left it on disk. False when the server
// could not save.
bool stopHosting(bool reopen);

// The panel's "Host this world": the chosen world saved, closed here and
// served, and joined; the panel says why when it cannot be.
void hostWorld();

// The join panel is up and takes the keys.
bool panelShown();

enum class Typing { Address, Name, Password, Chat };

// Printable ASCII only: what the wire's texts allow.
void typeInto(std::string& text, int unichar, std::size_t longest, Typing kind);

// A key typed while the panel is up: into the field, Tab, Enter joins, Escape closes.
void panelKey(const ALLEGRO_KEYBOARD_EVENT& key);

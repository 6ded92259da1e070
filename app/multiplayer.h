// The game as a client of a server: the join panel of the title menu, the
// command line's --connect, the joined game's tick, the chat line, and the
// one line the menu shows when a session ends. While joined, the process-wide
// world records hold the server's world; the single player's are kept aside
// and come back when the session ends. "Host this world" runs the server on
// a thread of the game's own on the world chosen, closed here meanwhile, and
// joins it; when that session ends the world is read back as the server
// saved it.
#pragma once

#include <allegro5/allegro.h>

#include <string>

#include "game/frame_step.h"
#include "rules/intent.h"

struct JoinRequest {
    std::string address;  // host:port
    std::string name;
    // From --password-file: a password on the command line would show in
    // every user's list of processes.
    std::string password;
    bool passwordGiven = false;
};
// --world NAME, or --connect HOST:PORT --name NAME [--password-file FILE];
// false with a one-line error for anything else (a password file that cannot
// be read included). No arguments at all: true, `wanted` false and `world`
// empty.
bool parseArguments(int argc, char** argv, JoinRequest& request, bool& wanted, std::string& world,
                    std::string& error);
// Joins at once, without the intro and the menu (after start-up).
void joinFromCommandLine(const JoinRequest& request);

// A session is running (joining or joined).
bool isJoined();
// The keyboard belongs to a text field (the join panel or the chat line),
// or to the Escape that just closed one: the game does not read it.
bool keysTakenByText();
// A key event while the window has the focus: typing, Enter, Escape, Tab.
void handleKeyEvent(const ALLEGRO_EVENT& event);
// The joined game's timer tick in place of the single player's.
void tickJoined(const PlayerIntent& intent, PauseFn pause);
// Whether the world records may be saved: not while they hold a server's,
// nor while the game hosts its world (the server alone writes it then).
bool worldIsOwn();
// At quit: leaves the server and puts the single player's world back; a
// hosted world's server stops and saves it, and it stays closed here. False
// when that server could not save.
bool leaveServer();
// "Leave", or "single player" while joined: the session ends and the single
// player's world is back (a hosted one read again as its server saved it).
void leaveForSinglePlayer();

// The panel in place of the notice: its clicks, and its drawing.
void updateJoinPanel();
void drawJoinPanel();
// The server's world has come: the game screen shows it.
bool joinedWorldReady();
// The game screen before it has: one line on black.
void drawJoiningScreen();
// Over the joined game's picture: the chat's lines and the line being typed.
void drawChat();
// What the map shows of a joined world: the columns sent and the others'
// places; null when no session is playing.
struct MapKnown;
const MapKnown* joinedMapKnown();

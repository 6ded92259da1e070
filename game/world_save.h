// When the world is written: within seconds of a change while the game is
// played, by one saving thread so that no frame waits for the disk, and once
// more at quit, last of all. Nothing is written while the world equals what
// the file holds. A 20 x 20 world's first save of a run that writes keeps the
// world the run found as the backup, later saves leave the backup alone; a
// larger world's save is one transaction of the pieces changed since the
// last save and the player's record.
//
// Restore points (game/world_db.h): one when a session begins and one for
// every kRestorePointInterval of play, made on the saving thread, the newest
// kRestorePoints kept; a 20 x 20 world's are copies of its file.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "worldgen/world_kinds.h"

struct WorldDb;

using SaveClock = std::chrono::steady_clock;

// A change reaches the disk within about this time; writes are at least this
// far apart.
constexpr SaveClock::duration kAutosaveInterval = std::chrono::seconds(5);
constexpr SaveClock::duration kRestorePointInterval = std::chrono::minutes(10);
constexpr int kRestorePoints = 8;

// Once per drawn game frame. Hands a copy of the world to the saving thread
// when it differs from the copy handed over last (or that save failed) and
// the last hand-over is kAutosaveInterval old. Never waits for the disk.
void autosaveWorld(SaveClock::time_point now);
// The last autosave written failed (a later one may still succeed).
bool autosaveFailing();
// How many saves have written the world since the program started: the game
// shows the player each one that reaches the disk.
std::uint32_t worldSavesWritten();
// Blocks until the saving thread has nothing left to write.
void waitForAutosave();
// The save at quit: waits for a running autosave, drops a waiting copy, then
// writes the world as it is now. False when the world could not be saved; the
// reason has then been printed on standard error, and the old file is intact
// with a backup beside it.
bool saveWorld();
// A run's saves start afresh: the saving of an earlier run ends first, nothing
// counts as written, and the next save keeps the world it replaces as the
// backup.
void beginSavingRun();
// Right after the world file was read: the grid as it is now is what the file
// holds (with no file yet, the first save writes one). An unreadable file (`readable` false) is
// never saved over in this run; the save at quit then says so and fails. Only
// a whole world read from the file itself (game/world_file.h) becomes the
// backup.
void worldLoaded(bool readable);
// The same for a world larger than the band, read from its database in the
// played folder (game/world_store.h): the run's saves go there. No database
// (nullptr) when it could not be read.
void storedWorldLoaded(std::unique_ptr<WorldDb> db);
// The world is closed: nothing more of it is saved until a run begins again.
void endSavingRun();
// A world is set up and not closed: there is one to play and to save.
bool worldInPlay();
// The world's file could not be read, so nothing of this run can be saved.
bool worldFileUnreadable();

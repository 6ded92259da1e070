// The player's worlds: one folder each under the worlds folder (game/paths.h),
// holding the world and a note, world.meta. A 20 x 20 world is world.ini and
// its backup world.ini.bak; a larger one its database, world.sqlite
// (game/world_store.h). Either keeps restore points in restore/
// (game/world_db.h). The note:
//
//   name = <the name as the player typed it>
//   kind = island | flat | empty | starter | imported
//   seed = <whole number>
//   size = <columns along each side: 20, 64, 128 or 300>
//   created = <seconds since 1970>
//   last_played = <seconds since 1970, 0 while never played>
//
// one "key = value" a line; unknown keys and lines are ignored, a missing
// value reads as empty or 0, and a missing or unreadable size as 20: the
// notes of the worlds from before sizes are all 20 x 20. A deleted world's
// folder moves into .trash/ in the worlds folder; nothing here ever erases a
// world.
//
// The functions touch no game state; those that write return 0 or the error
// of the step that failed, and print nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/world_db.h"
#include "worldgen/world_kinds.h"

struct WorldMeta {
    std::string name;
    std::string kind;  // a kind's name, or "imported" for the world from before the list
    std::uint32_t seed = 0;
    int size = kBandEdge;                      // columns along each side
    std::int64_t created = 0, lastPlayed = 0;  // seconds since 1970
};

struct WorldEntry {
    std::string folder;  // the folder's own name under the worlds folder
    WorldMeta meta;
};

// The files of the world in `folder`.
std::string worldFileOf(const std::string& root, const std::string& folder);
std::string worldMetaOf(const std::string& root, const std::string& folder);

std::string formatWorldMeta(const WorldMeta& meta);
WorldMeta parseWorldMeta(const std::string& text);

// Every world under `root`, the one played (or made) last first. A folder
// without a note still counts when it holds a world (world.ini, world.bin or
// either one's backup): it is named after itself, dated by its world file and
// sized by world.bin's header.
std::vector<WorldEntry> listWorlds(const std::string& root);

// Characters that show nothing or turn the text around them (controls,
// spaces, joiners, direction marks, byte-order marks, variation selectors,
// tags, fillers), and the private and unassigned ends of the code space: a
// name keeps none of them.
bool isInvisible(std::uint32_t code);

// A folder name made from any text: letters and digits of any script, '_'
// and '-' kept, every run of anything else (spaces, slashes, dots, symbols,
// control bytes, invisible and direction-changing characters, broken UTF-8)
// one "-", at most 40 bytes, never empty, never a name a file system
// reserves. Not yet unique: createWorld makes it so.
std::string safeFolderName(const std::string& name);

// Generates a world of `kind` and `size` (isWorldSize; the starter world is
// 20 x 20 only, EINVAL otherwise) from `seed` into a new folder named after
// `name` (a number appended while the name is taken) and writes its files and
// note, never played yet; `folder` receives the folder's name. The note keeps
// the name without what would hide in it, " (2)" and so on appended while a
// listed world has it. A failure leaves nothing behind, not even the worlds
// folder when this call made it. The game's grid is left alone: the world is
// made in a grid of its own, so a world may be open meanwhile.
int createWorld(const std::string& root, const std::string& name, WorldKind kind,
                std::uint32_t seed, int size, std::int64_t now, std::string& folder);
// A 20 x 20 world.
int createWorld(const std::string& root, const std::string& name, WorldKind kind,
                std::uint32_t seed, std::int64_t now, std::string& folder);

// Writes a new world's files and note into `path`, a folder that is there:
// world.ini for 20 x 20 (its player lines name the start), the database for
// larger. The larger world's record holds the generator's
// start alone, its column and the level of the ground there, and nothing of
// a run: no kit, no looks. `name` is the note's as it stands. Stops at the
// first failure, leaving what it wrote for the caller to clear.
int writeNewWorld(const std::string& path, const std::string& name, WorldKind kind,
                  std::uint32_t seed, int size, std::int64_t now);

// Notes that the world in `folder` was played at `now`.
int markPlayed(const std::string& root, const std::string& folder, std::int64_t now);

// Moves the world's folder into root/.trash/, under its own name or, when
// that is taken there, with a number appended; `trashedAs` receives the name.
int trashWorld(const std::string& root, const std::string& folder, std::string& trashedAs);

// Until it has been taken in, the single world the game kept before,
// `oldWorldFile` and its backup, joins the list as "My world", both files
// copied byte for byte; the old files stay where they are. Taken in means a
// note in the list or in its trash says "imported", so a failed start or a
// world made in the meantime never keeps it out. Its folder appears whole or
// not at all, so a run stopped halfway adopts again next time. Every file read
// or written reports its failure; a failed adoption leaves nothing behind.
int adoptOldWorld(const std::string& root, const std::string& oldWorldFile, std::int64_t now);

// Why the world in `path` (a folder) cannot be played, in one line naming the
// file; empty when it can. A larger world's old files are converted first;
// its database is checked whole, SQLite's integrity check included, so that
// a damaged world is refused rather than opened empty.
std::string worldProblem(const std::string& path);

// "today 09:12, start of a session", "yesterday 17:40, 10 minutes of play",
// "3 Dec 08:05, before a restore": a restore point as the list shows it, by
// the local clock, `now` being the time it is.
std::string describeRestorePoint(const RestorePoint& point, std::int64_t now);

// The newest restore point of the world in `path` that reads whole; none
// (an empty file) when no restore point does.
RestorePoint latestSoundRestorePoint(const std::string& path);

// Turns the world in `folder` back to `point`. First makes a restore point of
// the world as it is (for a damaged database that cannot be copied, the
// damaged file itself moves into restore/), so that restoring never loses
// anything. The world must not be open. 0, or the error of the step that
// failed with the reason in `problem`.
int restoreWorld(const std::string& path, const RestorePoint& point, std::int64_t now,
                 std::string& problem);

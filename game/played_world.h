// Which of the player's worlds is being played. A world opens from the list or
// the command line and stays open (saved as it is played, its world lock held,
// game/world_lock.h) until another one opens, it is deleted, or the game quits.
#pragma once

#include <string>

#include "game/world_db.h"

// Unlockable: the world's lock file cannot be opened or locked, so two copies
// could write it; NotSaved: the open world could not be saved, so it stays
// open; Damaged: the world cannot be read (worldFailure() says why), so it
// stays closed rather than open empty.
enum class PlayOutcome { Opened, Missing, Locked, Unlockable, NotSaved, Damaged };

// The first start with the list: the single world of the game before it joins
// the list as "My world" (game/world_catalog.h). Says in one line on standard
// error when that failed; the old files are untouched either way.
void adoptWorldFromBefore();
// The folder under worldsFolder() of the world named `name`: its folder's own
// name, or else the name the player gave it. False when there is none.
bool findWorld(const std::string& name, std::string& folder);
// Takes the lock of the world in `folder` for the next playWorld, without
// opening it: Locked when another copy of the game has it, Unlockable (the
// reason in lockFailure() and on standard error) when its lock cannot be
// taken, Damaged (the reason in worldFailure() and on standard error) when
// its world cannot be read.
// A claim only to delete or restore it (`toPlay` false) checks nothing.
PlayOutcome claimWorldFolder(const std::string& folder, bool toPlay = true);
// Saves and closes the open world, then opens the one in `folder`: its lock
// taken, its file read, the run set up, its note dated. The open world again
// is left as it is; a world that another copy has stays closed (Locked), and
// the world open before stays open. So does an open world that cannot be
// saved (NotSaved): its changes stay in play until a save succeeds. A world
// whose file could not be read was never going to be saved, and lets go.
PlayOutcome playWorld(const std::string& folder);
// Saves the open world and lets it go; true when it saved or none was open.
bool closeWorld();
// Why the last world's lock could not be taken.
const std::string& lockFailure();
// Why the last world could not be read, naming its file.
const std::string& worldFailure();
// The folder of the open world; empty when none is.
const std::string& playedWorld();
// Closes the world in `folder` when it is open here, then moves it to the
// trash. Locked, and nothing moved, when another copy of the game has it
// open; Missing (said in one line on standard error) when it could not be
// moved.
PlayOutcome deleteWorld(const std::string& folder);
// Turns the world in `folder` back to `point` (game/world_catalog.h),
// closing it first when it is open here (NotSaved, and nothing restored, when
// it could not be saved). Damaged, the reason in worldFailure(), when the
// restore failed.
PlayOutcome restoreWorldFolder(const std::string& folder, const RestorePoint& point);

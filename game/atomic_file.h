// Files replaced whole: whenever the process stops, a file written here holds
// its old text or its new, never a part. The world file and the settings file
// are kept this way. The writers touch no game state, so any thread may call
// them; they print nothing and return 0 or the error of the step that failed.
// Without sync nothing is forced to the disk: only for measuring what syncing
// costs.
#pragma once

#include <string>

// Replaces the file at `path` with `text`, creating missing folders on the way
// (0700, as base folders for a player's files should be). A link at `path` is
// followed: its target is replaced and the link stays. A new file gets the
// mode the umask allows; a replaced one keeps its own. Without `sweep` the
// folder is not searched for stale temporaries: for a caller that writes
// many files into one large folder and sweeps it itself.
int replaceFile(const std::string& path, const std::string& text, bool sync, bool sweep = true);
// As replaceFile, for what the player alone may read (passwords, keys): the
// file is 0600 whatever it was before, and never readable by others on the way.
int replacePrivateFile(const std::string& path, const std::string& text, bool sync);
// Keeps the file at `path` (through a link, like replaceFile) as path + ".bak",
// replacing the old backup in one step; 0 at once when there is no file yet.
int backUpFile(const std::string& path, bool sync);

// The whole file; 0, or the error of the step that failed (ENOENT when there
// is no file, and also when `path` is a link whose target is missing).
int readWholeFile(const std::string& path, std::string& text);
// Whether anything stands at `path` itself, a dangling link included.
bool nameExists(const std::string& path);
// Creates every missing folder on the way to the file at `path` (0700).
bool makeFolders(const std::string& path);
// `path` with its last component's links followed: the file a write replaces.
std::string linkTarget(const std::string& path);

// Removes `name` from the open folder when it is a plain file whose lock no
// live writer holds: how leftovers of a killed save go without touching a
// save in flight, a link, or anything not made as a temporary.
void removeUnheldFile(int folder, const std::string& name);

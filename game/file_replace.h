// Writing a whole file so that no crash, full disk or failed write ever
// leaves it half written.
#pragma once

#include <string>

// Writes `text` to a temporary file beside `path` and renames it over `path`,
// creating missing folders on the way. With `keepBackup` the previous file
// stays reachable as path + ".bak"; without `sync` nothing is forced to the
// disk (only for measuring what syncing costs). False when the file could not
// be written: one line on standard error then names it and the reason, and
// the previous file is intact.
bool replaceFile(const std::string& path, const std::string& text, bool keepBackup, bool sync);

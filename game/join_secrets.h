// What the game keeps to join servers again and that nobody else may read:
// the password given to each server, and the key each server handed out for
// a name claimed there (without it, the name is refused the next time). One
// file in the player's data folder, mode 0600, replaced whole.
#pragma once

#include <map>
#include <string>
#include <utility>

struct JoinSecrets {
    // Both by server address ("host:port", lower case); keys also by name,
    // in lower case, as servers tell names apart.
    std::map<std::string, std::string> passwords;
    std::map<std::pair<std::string, std::string>, std::string> keys;
};

// data/join_secrets portable, $XDG_DATA_HOME/tessaria/join_secrets installed.
std::string joinSecretsFile();

// The file's secrets; a missing file, or a line that does not parse, gives
// none.
JoinSecrets readJoinSecrets(const std::string& path);
// 0, or the error of the step that failed.
int writeJoinSecrets(const std::string& path, const JoinSecrets& secrets);

// "" when none is kept. Keeping an empty one forgets it.
std::string keptPassword(const JoinSecrets& secrets, const std::string& address);
void keepPassword(JoinSecrets& secrets, const std::string& address, const std::string& password);
std::string keptKey(const JoinSecrets& secrets, const std::string& address,
                    const std::string& name);
void keepKey(JoinSecrets& secrets, const std::string& address, const std::string& name,
             const std::string& key);

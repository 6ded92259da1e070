// What the owner of a server sets: the limits in server.ini, which the
// server only reads, and the bans and the whitelist in admin.ini, which the
// console changes and the server writes back. Both live in the world folder.
//
// server.ini, one "name = value" a line, '#' starts a comment (but a password
// is the whole rest of its line). A line the server cannot take as written
// keeps it from starting: a limit it passed over could leave it more open
// than its owner asked.
//   max_players          16      players at once; the next is told "server full"
//   password             (none)  asked of every player when set
//   login_seconds        5       to finish the login, or the connection is dropped
//   silence_seconds      30      without a word from a player, then dropped (2 at
//                                least; pings go every 5 s or a third of this)
//   packets_per_second   100     from one player; over it a packet is passed
//   edits_per_second     8       over, twice over it the player is kicked
//   chat_per_second      4       ("too fast")
//   connections_per_address 8    open at once from one address
//   connects_per_minute  30      new connections from one address
//   send_queue_bytes     262144  unsent bytes a player may hold; over it, dropped
//                                (65536 at least: what a join may queue at once)
//   new_names_per_minute 20      names joining for the first time; the next waits
//   new_names_per_address 8      of them from one address in a minute
//   max_names            10000   names that own a record, all told
//   protect_spawn        8       columns around the world's start that only
//                                admins change; 0 protects nothing (a world
//                                a game hosts protects nothing unless set)
//   restore_points       8       restore points kept in restore/
//   restore_every_minutes 10     between two restore points while the server runs
//   edit_log_days        7       how long the log of who changed which cell is kept
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

// A join queues its Welcome, the band, the player list and, in the same tick,
// an update, before the socket has taken any of them: the band and the update
// up to 16 KiB each, the list and the Welcome well under that. A smaller send
// queue could refuse every join.
constexpr long kLeastSendQueueBytes = 64 * 1024;

struct ServerConfig {
    int maxPlayers = 16;
    std::string password;
    int loginSeconds = 5;
    int silenceSeconds = 30;
    int packetsPerSecond = 100;
    int editsPerSecond = 8;
    int chatsPerSecond = 4;
    int connectionsPerAddress = 8;
    int connectsPerMinute = 30;
    long sendQueueBytes = 256 * 1024;
    // Each new name is a file in players/: both bound how many there are.
    int newNamesPerMinute = 20;
    // One address alone must not take the whole server's minute of them.
    int newNamesPerAddress = 8;
    int maxNames = 10000;
    int protectSpawn = -1;  // -1: server.ini does not say
    int restorePoints = 8;
    int restoreEveryMinutes = 10;
    int editLogDays = 7;

    // admin.ini: "whitelist = on|off", "ban = NAME|ADDRESS", "allow = NAME",
    // "admin = NAME".
    std::string adminPath;
    bool whitelistOn = false;
    std::set<std::string> banned;   // names in lower case, and addresses
    std::set<std::string> allowed;  // names in lower case
    std::set<std::string> admins;   // names in lower case: they may build where others may not

    bool isAdmin(const std::string& name) const;

    bool isBanned(const std::string& name, const std::string& address) const;
    bool whitelistAllows(const std::string& name) const;
    // Console changes; each answers in one line for the log and keeps the
    // change in admin.ini.
    std::string setBanned(const std::string& nameOrAddress, bool ban);
    std::string whitelistCommand(const std::string& words);
    // Counts a new connection from the address; false once it has made
    // connects_per_minute in the last minute.
    bool allowConnect(const std::string& address, std::chrono::steady_clock::time_point now);

    // Addresses with a connection in the last minute; older ones are pruned.
    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> recentConnects;
    std::chrono::steady_clock::time_point lastPruned;
};

// The folder's server.ini and admin.ini; missing files give the defaults.
// `problem` gets one line naming the first line that cannot be taken, and
// then the server must not start.
ServerConfig readServerConfig(const std::string& folder, std::string& problem);

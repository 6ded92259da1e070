// What the owner of a server sets: the limits in server.ini, which the
// server only reads, and the bans and the whitelist in admin.ini, which the
// console changes and the server writes back. Both live in the world folder.
//
// server.ini, one "name = value" a line, '#' starts a comment, a line that
// does not parse is reported and passed over:
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
//   new_names_per_minute 20      names joining for the first time; the next waits
//   max_names            10000   names that own a record, all told
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

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
    int maxNames = 10000;

    // admin.ini: "whitelist = on|off", "ban = NAME|ADDRESS", "allow = NAME".
    std::string adminPath;
    bool whitelistOn = false;
    std::set<std::string> banned;   // names in lower case, and addresses
    std::set<std::string> allowed;  // names in lower case

    bool isBanned(const std::string& name, const std::string& address) const;
    bool whitelistAllows(const std::string& name) const;
    // Console changes; each answers in one line for the log and keeps the
    // change in admin.ini.
    std::string setBanned(const std::string& nameOrAddress, bool ban);
    std::string whitelistCommand(const std::string& words);
    // Counts a new connection from the address; false once it has made
    // connects_per_minute in the last minute.
    bool allowConnect(const std::string& address, std::chrono::steady_clock::time_point now);

    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> recentConnects;
};

// The folder's server.ini and admin.ini; missing files give the defaults.
// `problem` gets one line naming every line that was passed over.
ServerConfig readServerConfig(const std::string& folder, std::string& problem);

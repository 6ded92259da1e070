// The player's marks on a world: where it first stood (home) and up to nine
// places it named. They are kept with the player, not the world: a world's
// own in marks.ini in its folder, a server's per server and player name in
// the player's data folder, beside the join secrets. Each change is written
// at once, the file replaced whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "world/world_grid.h"

constexpr int kMostMarks = 9;
constexpr std::size_t kLongestMarkName = 20;

struct Mark {
    std::int32_t x = 0, y = 0;
    std::int32_t level = 0;  // of the ground the player stood on
    std::string name;
    bool operator==(const Mark& o) const {
        return x == o.x && y == o.y && level == o.level && name == o.name;
    }
};

struct PlayerMarks {
    std::optional<Mark> home;  // named "Home"
    std::vector<Mark> marks;   // at most kMostMarks, in the order they were set
};

// The file's text and back; a line that does not parse is passed over, and
// marks beyond the ninth are dropped.
std::string marksText(const PlayerMarks& marks);
PlayerMarks marksFromText(const std::string& text);

// A world folder's marks.ini.
std::string worldMarksFile(const std::string& worldFolder);
// The marks a player of `name` keeps for the server at `address`.
std::string serverMarksFile(const std::string& address, const std::string& name);

// A name a player may give a mark: 1..kLongestMarkName printable characters.
bool isMarkName(const std::string& name);
// "Mark N" with the lowest N no mark goes by.
std::string freeMarkName(const PlayerMarks& marks);

// The marks in play: those of the world or server the player is in.
struct MarksInPlay {
    PlayerMarks kept;
    std::string file;  // "" while none are open: nothing is kept
    int chosen = -1;   // -1 none, 0 home, 1..9 the marks: the way to it is shown
};
extern MarksInPlay marksInPlay;

// Reads the file's marks into play. Without a home yet, the column (x, y)
// becomes home, on its ground; it is kept with the first mark set, so that a
// run that only looks writes nothing.
void openMarks(const std::string& file, const WorldGrid& grid, int x, int y);
void closeMarks();
// Adds a mark and keeps it: false when nine are set or none are open. An
// empty or unfit name becomes freeMarkName's.
bool setMark(int x, int y, int level, const std::string& name);
// The chosen mark; home cannot be removed.
void removeChosenMark();
// Home, then every mark, then none, and round again.
void chooseNextMark();
// The chosen mark, or null.
const Mark* chosenMark();

// What a player keeps from one run to the next: where it stood, what it holds
// and how it had set itself up. The world file carries it after its 8,002
// lines, where a reader of the plain format never looks; a server may keep one
// per player, by name, in a file of its own.
//
// Grammar, one field a line, in any order, each line whole or not at all:
//   player.<name> = <value>
//   name            value                          range
//   x, y            the column                     0..20 each (a larger
//                                                  world's: to its last)
//   level           the ground block's level       0..20
//   facing          0 up, 1 down, 2 left, 3 right  0..3
//   look            the F1 row                     0..6
//   outfit          the F2 group                   0..1
//   working_height  1 body height, 0 ground ahead  0..1
//   auto_jump       1 on, 0 off                    0..1
//   selected_slot   the hotbar slot                0..8
//   hotbar          nine block ids                 0..22 each
//   counts          23 counts, ids 0..22           0..999 each; held there
// Numbers are decimal as "%i" prints them, lists separated by spaces; blanks
// around the name and the value and a carriage return are allowed. A line
// that breaks the grammar, a value out of its range and an unknown name are
// passed over: that field keeps its default. The column and level count only
// all three together, since half a position is no place to start.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>

#include "rules/player_state.h"
#include "world/world_grid.h"

// Each field is empty until a valid line gave it.
struct PlayerRecord {
    std::optional<std::int32_t> x, y, level;
    std::optional<Facing> facing;
    std::optional<std::int32_t> look, outfit, workingHeight;
    std::optional<bool> autoJump;
    std::optional<std::int32_t> selectedSlot;
    std::optional<std::array<BlockId, kHotbarSlots>> hotbar;
    std::optional<std::array<std::int32_t, kBlockTypes>> counts;

    bool operator==(const PlayerRecord& o) const;
    bool operator!=(const PlayerRecord& o) const { return !(*this == o); }
};

// Every field of the player as it is.
PlayerRecord recordOf(const PlayerState& p);
// Gives the player the fields the record holds; a whole position puts the
// player there and aims the camera at it.
void applyRecord(const PlayerRecord& record);
// The same for any player and its view (a server's players).
void applyRecordTo(const PlayerRecord& record, PlayerState& player, Camera& camera);

// Appends one line per field held, in the order of the grammar.
void formatPlayerRecord(const PlayerRecord& record, std::string& text);
// Takes one line into the record if it is a valid record line; false and the
// record unchanged otherwise. A world larger than the band lets the column
// run to its own last one, `lastColumn`.
bool readRecordLine(const std::string& line, PlayerRecord& record, int lastColumn = kBandEdge);
// A record file of its own: every line of the stream.
PlayerRecord parsePlayerRecord(std::istream& in, int lastColumn = kBandEdge);

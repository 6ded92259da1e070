// One connection and the player it brings, as every part of the hosted world
// sees it, with the few small helpers they all use.
#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/player_record.h"
#include "protocol/connection.h"
#include "protocol/messages.h"
#include "rules/player_state.h"
#include "world/blocks.h"

namespace server {

using Clock = std::chrono::steady_clock;
// Where each line of the log goes.
using Log = std::function<void(const std::string&)>;

// The largest column and row the wire carries; the world's own bounds keep
// players inside it.
constexpr int kLastColumn = kMostColumns - 1;

inline int clampTo(int value, int least, int most) {
    return std::max(least, std::min(most, value));
}

inline std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

inline std::uint8_t sheetNumber(SpriteSheet sheet) {
    return sheet == SpriteSheet::Unset ? 1 : static_cast<std::uint8_t>(sheet);
}

struct Position {
    int x = -1, y = -1, level = -1, facing = -1;
    bool operator==(const Position& o) const {
        return x == o.x && y == o.y && level == o.level && facing == o.facing;
    }
};

inline Position positionOf(const PlayerState& p) {
    return {clampTo(p.x, 0, kLastColumn), clampTo(p.y, 0, kLastColumn),
            clampTo(p.level, 0, kBandLevels - 1), static_cast<int>(p.facing) & 3};
}

// One connection, and once logged in, the player it brings.
struct Peer {
    std::unique_ptr<Connection> link;
    std::string address;
    Clock::time_point opened, lastHeard, lastPing;
    std::uint32_t pingMs = 0;

    bool joined = false;
    std::string name;
    std::uint8_t id = 0;
    PlayerState state;
    Camera view;
    std::deque<Message> waiting;

    // Rates: counted per second.
    Clock::time_point rateStart;
    int packets = 0, edits = 0, chats = 0, pieces = 0;

    // The pieces of the world this player was sent and is kept up with, by
    // piece number (py * across + px), and the players it is told of.
    std::vector<bool> held;
    std::bitset<kLastPlayerId + 1> sees;

    // What the others were last told of this player.
    Position told;
    std::uint8_t toldSheet = 1, toldLook = 0, toldGroup = 0;
    std::array<std::int32_t, kBlockTypes> toldCounts{};
    // Counts the client guessed itself: told again even when the server's
    // did not change, since the guess may be wrong.
    std::bitset<kBlockTypes> tellCounts;
    BlockId actionBlocks[2] = {0, 0};  // what the running action places and mines
    std::string keyHash;               // of the key that owns this name
    PlayerRecord saved;                // as the last save was handed it
    bool savedOnce = false;
    bool stepped = false;             // a step began this tick
    bool correct = false;             // the player's own picture of itself needs setting right
    std::vector<CellChange> restore;  // cells the player may have drawn wrongly
    Clock::time_point toldProtected;  // when it was last told a place is protected

    bool closing = false;
    Clock::time_point closingSince;
};

using Peers = std::vector<std::unique_ptr<Peer>>;

}  // namespace server

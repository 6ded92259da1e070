// The game's own wire format: every message that travels between a server
// and its players, one struct each, with its family and action, who sends it,
// and its fields with their widths and ranges. This header is the table;
// docs/protocol.md follows it. Bytes from a peer only ever become one of these
// structs through decodeMessage (protocol/codec.h), which checks every field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "protocol/fields.h"
#include "world/blocks.h"
#include "world/world_grid.h"

// Raised whenever a message changes shape; both ends compare it in the first
// exchange, whose own layout never changes.
constexpr std::uint16_t kProtocolVersion = 5;

// The family and action numbers of the packet vocabulary (net/packet_names.h
// names them). Init marks the first exchange, the one packet each way that
// travels before the codec is set up and carries no sequence byte.
enum class Family : std::uint8_t {
    Connection = 1,
    Login = 4,
    Welcome = 5,
    Walk = 6,
    Face = 7,
    Item = 14,
    Talk = 18,
    Players = 22,
    Clothes = 23,
    Refresh = 25,
    AutoRefresh = 27,
    Appear = 29,
    Ping = 35,
    Sit = 41,
};
enum class Action : std::uint8_t {
    Request = 1,
    Reply = 3,
    Remove = 4,
    Add = 7,
    Player = 8,
    Use = 10,
    Setting = 16,  // a switch of the player's own, such as auto-jump
    List = 18,
    Announce = 22,
    Init = 255,
};

struct PacketId {
    Family family;
    Action action;
    constexpr bool operator==(const PacketId& other) const {
        return family == other.family && action == other.action;
    }
};

enum class Sender : std::uint8_t { Client, Server, Either };

// Why a connection ends, told to the peer in Leave and to the log.
enum class Reason : std::uint8_t {
    Leaving = 0,  // the player quit
    ServerStopped = 1,
    Kicked = 2,
    TimedOut = 3,
    NameTaken = 4,
    ServerFull = 5,
    VersionsDiffer = 6,
    WrongPassword = 7,
    Banned = 8,
    NotWhitelisted = 9,
    BrokeProtocol = 10,  // sent bytes that were refused
    TooFast = 11,        // over a rate limit
    NameOwned = 12,      // the name was claimed with a key this login did not present
};
constexpr std::uint32_t kLastReason = 12;
// "server stopped", "timed out", "versions differ", ...
const char* reasonText(Reason reason);

// Limits every decoded message is already within.
constexpr int kBandColumns = kBandEdge;  // a classic world's columns and rows, 0..19
constexpr int kBandLevels = kBandEdge;   // levels 0..19, 0 on top, in every world
// The widest world the wire speaks of: the grid's, columns and rows 0..299.
constexpr int kMostColumns = kGridSizeX - 1;
// The world travels in square pieces of 20 x 20 columns by the 20 levels: a
// classic world is one piece, the widest 15 x 15 of them.
constexpr int kPieceEdge = kBandEdge;
constexpr std::size_t kPieceCells = kPieceEdge * kPieceEdge * kBandLevels;  // 8,000
constexpr int kMostPieces = (kMostColumns + kPieceEdge - 1) / kPieceEdge;   // 15 a side
constexpr std::uint32_t kLastPlayerId = 249;    // ids 0..249: up to 250 players
constexpr std::size_t kMostCellChanges = 2000;  // per update; beyond that, send the pieces
constexpr int kHotbarSize = 9;
constexpr TextRule kNameRule{"name", 1, 16, Characters::Name};
constexpr TextRule kPasswordRule{"password", 0, 32, Characters::Printable};
// A name's key: 32 lower-case hex digits (128 bits from the server's random
// source), or empty where the client holds none for that name.
constexpr TextRule kKeyRule{"key", 0, 32, Characters::Key};
constexpr std::size_t kKeyLength = 32;
constexpr TextRule kChatRule{"chat line", 1, 200, Characters::Printable};
constexpr TextRule kDetailRule{"reason text", 0, 200, Characters::Printable};

// Where a cell sits in Piece::cells, from the piece's own first column and
// row: column by column, within each its rows, within each its levels, as
// world.bin keeps a world.
inline std::size_t pieceIndex(int dx, int dy, int level) {
    return (static_cast<std::size_t>(dx) * kPieceEdge + dy) * kBandLevels + level;
}

// The fields that several messages share, each with its one width and range.
namespace field {

template <class Io, class T>
void column(Io& io, T& v, const char* what = "column") {
    io.number(v, Width::Short, 0, kMostColumns - 1, what);
}
template <class Io, class T>
void piece(Io& io, T& v, const char* what) {
    io.number(v, Width::Char, 0, kMostPieces - 1, what);
}
template <class Io, class T>
void level(Io& io, T& v) {
    io.number(v, Width::Char, 0, kBandLevels - 1, "level");
}
template <class Io, class T>
void block(Io& io, T& v) {
    io.number(v, Width::Char, 0, kLastBlock, "block");
}
template <class Io, class T>
void facing(Io& io, T& v) {
    io.number(v, Width::Char, 0, 3, "facing");  // up, down, left, right: toward y-1, y+1, x-1, x+1
}
template <class Io, class T>
void playerId(Io& io, T& v) {
    io.number(v, Width::Char, 0, kLastPlayerId, "player id");
}
template <class Io, class T>
void flag(Io& io, T& v, const char* what) {
    io.number(v, Width::Char, 0, 1, what);
}
template <class Io, class T>
void looks(Io& io, T& row, T& group) {
    io.number(row, Width::Char, 0, 6, "look");
    io.number(group, Width::Char, 0, 1, "look group");
}

}  // namespace field

// --- the parts that messages are made of ---

// The day, the tile animation and the weather, as the world tick keeps them.
struct Clocks {
    std::uint16_t dayTick = 0;    // 0..16320
    std::uint8_t nightLevel = 0;  // 0 day, 1..5 darker and darker
    std::uint8_t tileTick = 0;    // 0..80, the animated tiles' clock
    std::uint8_t weatherActive = 0;
    std::uint8_t weatherKind = 0;  // 0 unset, 1 rain, 2 snow
    std::uint8_t snowCover = 0;
    std::uint8_t weatherTick = 0;      // 0..15 inside a cycle
    std::uint8_t weatherFrame = 0;     // 0..3
    std::uint8_t weatherCycles = 0;    // 0..201 of the spell
    std::uint16_t weatherTrigger = 0;  // 0..300
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.number(m.dayTick, Width::Short, 0, 16320, "day tick");
        io.number(m.nightLevel, Width::Char, 0, 5, "night level");
        io.number(m.tileTick, Width::Char, 0, 80, "tile tick");
        field::flag(io, m.weatherActive, "weather active");
        io.number(m.weatherKind, Width::Char, 0, 2, "weather kind");
        field::flag(io, m.snowCover, "snow cover");
        io.number(m.weatherTick, Width::Char, 0, 15, "weather tick");
        io.number(m.weatherFrame, Width::Char, 0, 3, "weather frame");
        io.number(m.weatherCycles, Width::Char, 0, 201, "weather cycles");
        io.number(m.weatherTrigger, Width::Short, 0, 300, "weather trigger");
    }
    bool operator==(const Clocks& o) const;
};

// Who is there: what the others need to draw a player.
struct PlayerInfo {
    std::uint8_t id = 0;
    std::string name;
    std::uint16_t x = 0, y = 0;
    std::uint8_t level = 0, facing = 0;
    std::uint8_t look = 0, lookGroup = 0;
    std::uint8_t sheet = 1;  // 1 standing, 2 walking, 3 resting, 4 acting
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::playerId(io, m.id);
        io.text(m.name, kNameRule);
        field::column(io, m.x);
        field::column(io, m.y, "row");
        field::level(io, m.level);
        field::facing(io, m.facing);
        field::looks(io, m.look, m.lookGroup);
        io.number(m.sheet, Width::Char, 1, 4, "sheet");
    }
    bool operator==(const PlayerInfo& o) const;
};

struct CellChange {
    std::uint16_t x = 0, y = 0;
    std::uint8_t level = 0, block = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::column(io, m.x);
        field::column(io, m.y, "row");
        field::level(io, m.level);
        io.cell(m.block, "cell");
    }
    bool operator==(const CellChange& o) const;
};

enum class MoveKind : std::uint8_t {
    Step = 0,        // walked one column: drawn as a step of 17 ticks
    Turn = 1,        // only the facing changed
    Place = 2,       // set down without a step (a correction, a fall, a climb), or come into sight
    OutOfSight = 3,  // gone from the receiver's area: no more of it is told until it comes back
    Run = 4,         // ran one column: a step drawn over 9 ticks
};
struct PlayerMove {
    std::uint8_t id = 0;
    MoveKind kind = MoveKind::Step;
    std::uint16_t x = 0, y = 0;
    std::uint8_t level = 0, facing = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::playerId(io, m.id);
        io.number(m.kind, Width::Char, 0, 4, "move kind");
        field::column(io, m.x);
        field::column(io, m.y, "row");
        field::level(io, m.level);
        field::facing(io, m.facing);
    }
    bool operator==(const PlayerMove& o) const;
};

// A figure starting an animation other than a step.
struct PlayerSheet {
    std::uint8_t id = 0;
    std::uint8_t sheet = 1;  // 1 standing, 3 resting, 4 acting
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::playerId(io, m.id);
        io.number(m.sheet, Width::Char, 1, 4, "sheet");
    }
    bool operator==(const PlayerSheet& o) const;
};

struct PlayerLooks {
    std::uint8_t id = 0, look = 0, lookGroup = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::playerId(io, m.id);
        field::looks(io, m.look, m.lookGroup);
    }
    bool operator==(const PlayerLooks& o) const;
};

struct StockCount {
    std::uint8_t block = 0;
    std::uint32_t count = 0;  // 0..16194276
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::block(io, m.block);
        io.number(m.count, Width::Three, 0, kLargestThree, "stock");
    }
    bool operator==(const StockCount& o) const;
};

// --- the messages ---

// The first packet of a connection, before the codec is set up.
struct Hello {
    static constexpr PacketId kId{Family::Connection, Action::Init};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Hello";
    std::uint16_t version = kProtocolVersion;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.number(m.version, Width::Short, 0, kLargestShort, "version");
    }
    bool operator==(const Hello& o) const { return version == o.version; }
};

// The server's first packet: its version, and the codec keys seen from the
// client's side. A client whose version differs reads the version and stops.
struct HelloReply {
    static constexpr PacketId kId{Family::Connection, Action::Init};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "HelloReply";
    static constexpr std::uint32_t kLeastMultiple = 66, kMostMultiple = 126;
    std::uint16_t version = kProtocolVersion;
    std::uint8_t sendMultiple = kLeastMultiple;  // what the client scrambles with
    std::uint8_t recvMultiple = kLeastMultiple;  // what the server scrambles with
    std::uint8_t sendSequenceStart = 0;          // the client's sequence bytes
    std::uint8_t recvSequenceStart = 0;          // the server's sequence bytes
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.number(m.version, Width::Short, 0, kLargestShort, "version");
        io.number(m.sendMultiple, Width::Char, kLeastMultiple, kMostMultiple, "multiple");
        io.number(m.recvMultiple, Width::Char, kLeastMultiple, kMostMultiple, "multiple");
        io.byte(m.sendSequenceStart, "sequence start");
        io.byte(m.recvSequenceStart, "sequence start");
    }
    bool operator==(const HelloReply& o) const;
};

// Either side, just before it closes: why.
struct Leave {
    static constexpr PacketId kId{Family::Connection, Action::Remove};
    static constexpr Sender kSender = Sender::Either;
    static constexpr const char* kName = "Leave";
    Reason reason = Reason::Leaving;
    std::string detail;  // e.g. the kick's text; may be empty
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.number(m.reason, Width::Char, 0, kLastReason, "reason");
        io.text(m.detail, kDetailRule);
    }
    bool operator==(const Leave& o) const { return reason == o.reason && detail == o.detail; }
};

struct Login {
    static constexpr PacketId kId{Family::Login, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Login";
    std::string name, password;
    std::string key;  // the key the server handed out for this name, or empty
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.text(m.name, kNameRule);
        io.text(m.password, kPasswordRule);
        io.text(m.key, kKeyRule);
    }
    bool operator==(const Login& o) const {
        return name == o.name && password == o.password && key == o.key;
    }
};

// The joining player's own record and the world's clocks; the band and the
// list of who is there follow in their own packets.
struct Welcome {
    static constexpr PacketId kId{Family::Welcome, Action::Reply};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "Welcome";
    PlayerInfo self;
    // The world's columns and rows: the player walks 0..columns-1 and
    // 0..rows-1, and the pieces cover them.
    std::uint16_t columns = kBandColumns, rows = kBandColumns;
    std::uint8_t slot = 0;  // selected hotbar slot, 0..8
    std::vector<std::uint8_t> hotbar = std::vector<std::uint8_t>(kHotbarSize);
    std::vector<std::uint32_t> stock = std::vector<std::uint32_t>(kBlockTypes);  // by block id
    Clocks clocks;
    // The rules the player's own steps and actions run under, as its record
    // kept them: a client that guessed otherwise would be corrected at every
    // step.
    std::uint8_t autoJump = 1, raised = 1;
    // Set only on the join that claimed the name: the client keeps it and
    // presents it at every later login with that name.
    std::string key;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        PlayerInfo::fields(io, m.self);
        io.number(m.columns, Width::Short, 1, kMostColumns, "columns");
        io.number(m.rows, Width::Short, 1, kMostColumns, "rows");
        io.number(m.slot, Width::Char, 0, kHotbarSize - 1, "slot");
        for (auto& b : m.hotbar) field::block(io, b);
        for (auto& n : m.stock) io.number(n, Width::Three, 0, kLargestThree, "stock");
        Clocks::fields(io, m.clocks);
        field::flag(io, m.autoJump, "auto-jump");
        field::flag(io, m.raised, "working height");
        io.text(m.key, kKeyRule);
    }
    bool operator==(const Welcome& o) const;
};

// A piece of the world: columns 20 px .. 20 px + 19, rows 20 py .. 20 py +
// 19, levels 0..19, zlib-compressed (pieceIndex order). Cells past the
// world's edge travel as empty.
struct Piece {
    static constexpr PacketId kId{Family::Refresh, Action::Reply};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "Piece";
    std::uint8_t px = 0, py = 0;
    std::vector<std::uint8_t> cells = std::vector<std::uint8_t>(kPieceCells);
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::piece(io, m.px, "piece column");
        field::piece(io, m.py, "piece row");
        io.packed(m.cells, kPieceCells);
    }
    bool operator==(const Piece& o) const { return px == o.px && py == o.py && cells == o.cells; }
};

struct PiecePlace {
    std::uint8_t px = 0, py = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::piece(io, m.px, "piece column");
        field::piece(io, m.py, "piece row");
    }
    bool operator==(const PiecePlace& o) const { return px == o.px && py == o.py; }
};

// Pieces the player has left far behind: the server tells no more of them
// until it sends them again, so what the client keeps of them may go stale.
struct Forget {
    static constexpr PacketId kId{Family::Refresh, Action::Remove};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "Forget";
    std::vector<PiecePlace> pieces;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.list(m.pieces, Width::Char, 1, kMostPieces * kMostPieces, "pieces",
                [&](auto& p) { PiecePlace::fields(io, p); });
    }
    bool operator==(const Forget& o) const { return pieces == o.pieces; }
};

// A client asks for one piece as it stands now (a check of its own copy):
// the server sends it, followed by Forget when it is not one of the pieces
// the player is kept up with.
struct PieceRequest {
    static constexpr PacketId kId{Family::Refresh, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "PieceRequest";
    PiecePlace place;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        PiecePlace::fields(io, m.place);
    }
    bool operator==(const PieceRequest& o) const { return place == o.place; }
};

struct PlayerList {
    static constexpr PacketId kId{Family::Players, Action::List};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "PlayerList";
    std::vector<PlayerInfo> players;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.list(m.players, Width::Char, 0, kLastPlayerId + 1, "players",
                [&](auto& p) { PlayerInfo::fields(io, p); });
    }
    bool operator==(const PlayerList& o) const { return players == o.players; }
};

struct PlayerJoined {
    static constexpr PacketId kId{Family::Appear, Action::Add};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "PlayerJoined";
    PlayerInfo player;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        PlayerInfo::fields(io, m.player);
    }
    bool operator==(const PlayerJoined& o) const { return player == o.player; }
};

struct PlayerLeft {
    static constexpr PacketId kId{Family::Appear, Action::Remove};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "PlayerLeft";
    std::uint8_t id = 0;
    Reason reason = Reason::Leaving;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::playerId(io, m.id);
        io.number(m.reason, Width::Char, 0, kLastReason, "reason");
    }
    bool operator==(const PlayerLeft& o) const { return id == o.id && reason == o.reason; }
};

// Everything that changed in one tick, for one player: at most one a tick,
// none for a tick where nothing changed. A part is on the wire only when it
// holds something (the presence bits).
struct Update {
    static constexpr PacketId kId{Family::AutoRefresh, Action::Reply};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "Update";
    std::vector<CellChange> cells;
    std::vector<PlayerMove> moves;
    std::vector<PlayerSheet> sheets;
    std::vector<PlayerLooks> looks;
    std::vector<StockCount> stock;  // the receiving player's own
    std::optional<Clocks> clocks;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        const std::uint32_t present =
            io.presence((!m.cells.empty() ? 1u : 0u) | (!m.moves.empty() ? 2u : 0u) |
                            (!m.sheets.empty() ? 4u : 0u) | (!m.looks.empty() ? 8u : 0u) |
                            (!m.stock.empty() ? 16u : 0u) | (m.clocks ? 32u : 0u),
                        6);
        const auto players = kLastPlayerId + 1;
        if (present & 1u)
            io.list(m.cells, Width::Short, 1, kMostCellChanges, "cell changes",
                    [&](auto& c) { CellChange::fields(io, c); });
        if (present & 2u)
            io.list(m.moves, Width::Char, 1, players, "moves",
                    [&](auto& c) { PlayerMove::fields(io, c); });
        if (present & 4u)
            io.list(m.sheets, Width::Char, 1, players, "sheets",
                    [&](auto& c) { PlayerSheet::fields(io, c); });
        if (present & 8u)
            io.list(m.looks, Width::Char, 1, players, "looks",
                    [&](auto& c) { PlayerLooks::fields(io, c); });
        if (present & 16u)
            io.list(m.stock, Width::Char, 1, kBlockTypes, "stock counts",
                    [&](auto& c) { StockCount::fields(io, c); });
        if (present & 32u) {
            if constexpr (!std::is_const_v<Self>) m.clocks.emplace();
            Clocks::fields(io, *m.clocks);
        }
    }
    bool empty() const;
    bool operator==(const Update& o) const;
};

// The player starts a step toward `facing`, running or walking; the server
// runs it under the rules and corrects the player if it disagrees.
struct Step {
    static constexpr PacketId kId{Family::Walk, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Step";
    std::uint8_t facing = 0;
    std::uint8_t run = 0;  // 1: the step takes the run's ticks
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::facing(io, m.facing);
        field::flag(io, m.run, "run");
    }
    bool operator==(const Step& o) const { return facing == o.facing && run == o.run; }
};

// Auto-jump switched (J): steps never blocked, the level follows the column top.
struct JumpMode {
    static constexpr PacketId kId{Family::Walk, Action::Setting};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "JumpMode";
    std::uint8_t on = 1;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::flag(io, m.on, "auto-jump");
    }
    bool operator==(const JumpMode& o) const { return on == o.on; }
};

struct Turn {
    static constexpr PacketId kId{Family::Face, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Turn";
    std::uint8_t facing = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::facing(io, m.facing);
    }
    bool operator==(const Turn& o) const { return facing == o.facing; }
};

// The player starts an action on the cell ahead: the server finds the cell
// from its own record of the player, counts the strikes and the stock.
struct Use {
    static constexpr PacketId kId{Family::Item, Action::Use};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Use";
    std::uint8_t placing = 0;  // 0 mining, 1 placing
    std::uint8_t slot = 0;     // the hotbar slot placing takes from
    std::uint8_t raised = 1;   // 1: one level above the ground ahead; 0: at it
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::flag(io, m.placing, "placing");
        io.number(m.slot, Width::Char, 0, kHotbarSize - 1, "slot");
        field::flag(io, m.raised, "raised");
    }
    bool operator==(const Use& o) const {
        return placing == o.placing && slot == o.slot && raised == o.raised;
    }
};

struct ChangeLooks {
    static constexpr PacketId kId{Family::Clothes, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "ChangeLooks";
    std::uint8_t look = 0, lookGroup = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::looks(io, m.look, m.lookGroup);
    }
    bool operator==(const ChangeLooks& o) const {
        return look == o.look && lookGroup == o.lookGroup;
    }
};

struct Rest {
    static constexpr PacketId kId{Family::Sit, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Rest";
    std::uint8_t resting = 1;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        field::flag(io, m.resting, "resting");
    }
    bool operator==(const Rest& o) const { return resting == o.resting; }
};

struct Say {
    static constexpr PacketId kId{Family::Talk, Action::Request};
    static constexpr Sender kSender = Sender::Client;
    static constexpr const char* kName = "Say";
    std::string text;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.text(m.text, kChatRule);
    }
    bool operator==(const Say& o) const { return text == o.text; }
};

struct ChatLine {
    static constexpr PacketId kId{Family::Talk, Action::Player};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "ChatLine";
    std::string sender, text;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.text(m.sender, kNameRule);
        io.text(m.text, kChatRule);
    }
    bool operator==(const ChatLine& o) const { return sender == o.sender && text == o.text; }
};

// A line from the server itself (its console's say).
struct Announcement {
    static constexpr PacketId kId{Family::Talk, Action::Announce};
    static constexpr Sender kSender = Sender::Server;
    static constexpr const char* kName = "Announcement";
    std::string text;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.text(m.text, kChatRule);
    }
    bool operator==(const Announcement& o) const { return text == o.text; }
};

// Liveness, either way: the other side answers with the same stamp.
struct Ping {
    static constexpr PacketId kId{Family::Ping, Action::Request};
    static constexpr Sender kSender = Sender::Either;
    static constexpr const char* kName = "Ping";
    std::uint32_t stamp = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.number(m.stamp, Width::Int, 0, kLargestInt, "stamp");
    }
    bool operator==(const Ping& o) const { return stamp == o.stamp; }
};

struct Pong {
    static constexpr PacketId kId{Family::Ping, Action::Reply};
    static constexpr Sender kSender = Sender::Either;
    static constexpr const char* kName = "Pong";
    std::uint32_t stamp = 0;
    template <class Io, class Self>
    static void fields(Io& io, Self& m) {
        io.number(m.stamp, Width::Int, 0, kLargestInt, "stamp");
    }
    bool operator==(const Pong& o) const { return stamp == o.stamp; }
};

using Message = std::variant<Hello, HelloReply, Leave, Login, Welcome, Piece, Forget, PieceRequest,
                             PlayerList, PlayerJoined, PlayerLeft, Update, Step, JumpMode, Turn,
                             Use, ChangeLooks, Rest, Say, ChatLine, Announcement, Ping, Pong>;

// One row of the table, for logs, tools and the documentation's check.
struct MessageRow {
    PacketId id;
    Sender sender;
    const char* name;
};
// Every message, in the order of Message.
const std::vector<MessageRow>& messageTable();
MessageRow rowOf(const Message& message);

// One joined world, seen from the game: a connection to a server that is
// made on a thread of its own (the window never waits on a slow host), the
// first exchange and the login, and then every message applied to the local
// records (the band, the clocks, the player's own record) and to a list of
// the other players. The player's own steps and actions run here at once, as
// in single player; what they asked for goes to the server as requests, and
// the server's corrections win.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rules/intent.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"

// The wire's limits as the panel and the chat line need them; the protocol's
// own names stay out of the app, whose key bindings have an Action of their own.
constexpr std::size_t kPlayerNameLongest = 16;
constexpr std::size_t kChatLineLongest = 200;
int protocolVersion();

// "host:port" split; false when either part is missing or the port is not
// 1..65535.
bool parseServerAddress(const std::string& text, std::string& host, std::uint16_t& port);
// 1 to 16 letters, digits, '_' or '-'.
bool isValidPlayerName(const std::string& name);

struct RemotePlayer {
    std::uint8_t id = 0;
    std::string name;
    // The figure as the renderer reads a player: column, level, facing,
    // looks, sheet and frame. Only the drawing fields are kept up.
    PlayerState figure;
    // The column a step began from, and how many quarters of it are walked
    // (0..4); the figure is drawn that far from there toward its column.
    int fromX = 0, fromY = 0, fromLevel = 0;
    int quarters = 4;
    // The server tells where it is while it stands in this player's area;
    // out of it, the figure stays where it was last told and is not drawn.
    bool inSight = false;
};

// What the client holds of each piece of a joined world.
enum class PieceHeld : std::uint8_t { Never, Held, Forgotten };

struct ChatNote {
    std::string text;  // "alice: hello", "bo joined"
    int ticksLeft = 0;
};

enum class SessionPhase { Connecting, Joining, Playing, Ended };

class Connection;
struct Clocks;
enum class Reason : std::uint8_t;
struct Dial;

class Session {
public:
    static constexpr int kTicksPerSecond = 40;
    static constexpr int kChatTicks = 10 * kTicksPerSecond;
    // Joining gives up after this; a server this quiet is gone.
    static constexpr std::chrono::seconds kJoinTime{5}, kSilentTime{20};
    static constexpr int kDrawnTicks = kTicksPerSecond;
    // What a server can make the game hold or do in one tick is bounded, so
    // that no flood of lines or players stops the frame: the chat keeps the
    // lines the screen has room for, the log's lines wait up to a bound (the
    // rest are counted in one line), and one pump applies at most a budget of
    // work, a message costing 32 and one more for each cell or player it
    // carries (about 500 chat lines, or sixteen pieces); the rest waits in the
    // socket's queue for the next tick.
    static constexpr std::size_t kChatShown = 12;
    static constexpr std::size_t kFreshKept = 256;
    static constexpr int kWorkPerPump = 16384;
    static constexpr std::size_t kMostDrawn = 16;

    // A protected server wants its password; a name claimed on this server
    // earlier needs the key it was handed then (both may be empty).
    Session(const std::string& host, std::uint16_t port, const std::string& name,
            const std::string& password = "", const std::string& key = "");
    ~Session();  // says goodbye when still joined
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // One timer tick: bytes both ways, every message that arrived applied,
    // the others' animations and the chat's clock moved on. Never waits.
    void pump(World world, PlayerState& self, Camera& view);
    // The player's own part of a tick, predicted: the intent runs under the
    // rules at once and what it started is sent as requests.
    int play(const PlayerIntent& intent, World world, PlayerState& self, Camera& view);
    void say(const std::string& text);
    // Asks the server for one piece as it stands now (a check of the copy here).
    void askForPiece(int px, int py);
    void leave();

    SessionPhase phase() const { return phase_; }
    // Why it ended, one line for the player ("" while it has not).
    const std::string& endText() const { return endText_; }
    const std::vector<RemotePlayer>& others() const { return others_; }
    const std::deque<ChatNote>& chat() const { return chat_; }
    // The chat's lines since the last call, for a log.
    std::vector<std::string> takeFreshNotes();
    int selfId() const { return selfId_; }
    const std::string& name() const { return name_; }
    // The key the server handed out when this join claimed the name ("" on
    // every other join): keep it for the next login with this name there.
    const std::string& grantedKey() const { return grantedKey_; }
    // Why the server turned this session away, when it said so: the reason of
    // its Leave before the join was complete ("versions differ" too).
    const std::optional<Reason>& refusal() const { return refusal_; }
    // The server closed the connection before its first answer: it takes only
    // so many connections (and connects a minute) from one address, and none
    // from a banned one; it does not say which.
    bool shutOut() const { return shutOut_; }
    // Bytes the server has sent this session, as they came off the socket.
    std::uint64_t bytesReceived() const { return bytesReceived_; }
    // The joined world's size (0 before the Welcome) and what this client
    // was sent of it, piece by piece (20 x 20 columns each, row by row).
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    PieceHeld pieceHeld(int x, int y) const;
    // Pieces received so far, asked for or not.
    std::uint64_t piecesReceived() const { return piecesReceived_; }
    // Called with every cell of an Update as it is applied (block is the
    // cell's block); a Piece is the world as it stands, not a change, and
    // calls nothing.
    using CellListener = std::function<void(int x, int y, int level, int block)>;
    void onCell(CellListener listener) { onCell_ = std::move(listener); }

private:
    void dialled();
    template <class M>
    void apply(const M& message, World world, PlayerState& self, Camera& view);
    template <class M>
    void applyUpdate(const M& update, World world, PlayerState& self, Camera& view);
    void sendChanges(const PlayerState& before, const PlayerState& after);
    void end(const std::string& why);
    void note(const std::string& text);
    RemotePlayer* other(std::uint8_t id);
    void forget(std::uint8_t id);

    std::string host_, name_, password_, key_, grantedKey_;
    std::uint16_t port_;
    std::shared_ptr<Dial> dial_;
    std::unique_ptr<Connection> connection_;
    SessionPhase phase_ = SessionPhase::Connecting;
    std::string endText_;
    int ticks_ = 0;  // since the session began
    std::chrono::steady_clock::time_point started_, lastHeard_;
    int selfId_ = -1;
    int columns_ = 0, rows_ = 0, across_ = 0;
    std::vector<PieceHeld> pieces_;
    std::uint64_t piecesReceived_ = 0;
    std::vector<RemotePlayer> others_;
    // Where each player id stands in others_ (-1: not there); ids are
    // 0..249, so the list never holds more than 250 and a lookup is one step.
    std::array<std::int16_t, 256> slotOf_;
    std::deque<ChatNote> chat_;
    std::deque<std::string> fresh_;
    std::size_t freshDropped_ = 0;
    std::optional<Reason> refusal_;
    bool shutOut_ = false;
    // The action cell as the server last told it while the player's own
    // action ran here (-1: not told): the server's word, which the action's
    // predicted end must not draw over.
    struct Told {
        int x = 0, y = 0, level = 0, block = -1;
    } toldAction_;
    // Stock counts the server told while the player's own action ran here
    // (-1: not told): its word, which the action's predicted end must not
    // change. A refused Use comes back as the count unchanged, and no later
    // word would put a wrong prediction right.
    std::array<std::int32_t, kBlockTypes> toldStock_;
    // The server set the player down elsewhere while the action ran here (a
    // fall, a climb as water rises): the action's end lands on another cell
    // there, whose word comes to everyone, so nothing is drawn ahead of it.
    bool movedWhileActing_ = false;
    // Cells the actions' ends drew, until the server speaks of them. No word
    // means the server's action fell on another cell (it had set the player
    // down elsewhere), so each goes back when the server moves the player,
    // or after kDrawnTicks; a word that comes later still wins.
    struct Drawn {
        int x = 0, y = 0, level = 0, block = 0, untilTick = 0;
    };
    std::vector<Drawn> drawn_;
    void undrawn(World world, bool all);
    std::uint64_t bytesReceived_ = 0;
    CellListener onCell_;
};

// The world's clocks as they travel, and back.
Clocks clocksOf(const WeatherState& weather, const WorldClock& clock);
void applyClocks(const Clocks& clocks, WeatherState& weather, WorldClock& clock);

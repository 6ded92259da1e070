#include "client/session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <thread>

#include "protocol/codec.h"
#include "protocol/connection.h"
#include "protocol/messages.h"
#include "rules/input.h"

// What the connecting thread hands over. Shared, so that a session that gave
// up waiting can go while the thread still waits on the system's connect.
struct Dial {
    std::mutex lock;
    bool done = false;
    std::unique_ptr<Connection> connection;
    std::string failure;
};

namespace {

constexpr int kPingTicks = 5 * Session::kTicksPerSecond;

// The pump's budget: a message costs its decoding and a line of the chat;
// each cell or player it carries, one more.
constexpr int kWorkOfMessage = 32;
int workOf(const Message& message) {
    int items = 0;
    // A piece is copied in whole, far cheaper a cell than an update's cells:
    // a walk's row of pieces must not hold up the next tick's moves.
    if (std::holds_alternative<Piece>(message)) items = static_cast<int>(kPieceCells / 8);
    if (const auto* update = std::get_if<Update>(&message))
        items = static_cast<int>(update->cells.size() + update->moves.size());
    if (const auto* list = std::get_if<PlayerList>(&message))
        items = static_cast<int>(list->players.size());
    return kWorkOfMessage + items;
}

std::string endReason(Reason reason, const std::string& detail) {
    std::string text = reasonText(reason);
    if (!detail.empty()) text += ": " + detail;
    return text;
}

// A remote figure's animation: the same sheet and frames at the same marks
// as one's own, without any effect on the world.
void animate(RemotePlayer& r) {
    PlayerState& f = r.figure;
    if (!f.busy) {
        f.spriteSheet = f.resting ? SpriteSheet::Resting : SpriteSheet::Standing;
        return;
    }
    const bool stepping = !f.acting && !f.resting;
    constexpr int kActionFrames[4] = {0, 0, 1, 1};
    const int mark = animationMarkAt(f);
    if (mark == 0) f.spriteSheet = stepping ? SpriteSheet::Walking : SpriteSheet::Acting;
    if (mark >= 0) {
        f.animFrame = stepping ? mark : kActionFrames[mark];
        if (stepping) r.quarters = std::min(4, r.quarters + 1);
    }
    f.animTick += 1;
    if (f.animTick >= animationTicks(f)) {
        f.busy = false;
        f.acting = false;
        f.running = false;
        f.animTick = 0;
        f.animFrame = 0;
        r.quarters = 4;
        f.spriteSheet = f.resting ? SpriteSheet::Resting : SpriteSheet::Standing;
    }
}

RemotePlayer remoteFrom(const PlayerInfo& info) {
    RemotePlayer r;
    r.id = info.id;
    r.name = info.name;
    PlayerState& f = r.figure;
    f.x = r.fromX = info.x;
    f.y = r.fromY = info.y;
    f.level = r.fromLevel = info.level;
    f.facing = static_cast<Facing>(info.facing);
    f.spriteRow = info.look;
    f.spriteGroup = info.lookGroup;
    f.resting = info.sheet == 3;
    f.spriteSheet = static_cast<SpriteSheet>(info.sheet);
    return r;
}

void startAnimation(PlayerState& f, bool acting, bool running = false) {
    f.busy = true;
    f.acting = acting;
    f.running = running;
    f.animTick = 0;
    f.animFrame = 0;
}

}  // namespace

int protocolVersion() { return kProtocolVersion; }

bool parseServerAddress(const std::string& text, std::string& host, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
    const std::string digits = text.substr(colon + 1);
    if (digits.size() > 5) return false;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const long number = std::strtol(digits.c_str(), nullptr, 10);
    if (number < 1 || number > 65535) return false;
    host = text.substr(0, colon);
    port = static_cast<std::uint16_t>(number);
    return true;
}

bool isValidPlayerName(const std::string& name) {
    if (name.empty() || name.size() > kNameRule.longest) return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
    }
    return true;
}

Clocks clocksOf(const WeatherState& weather, const WorldClock& clock) {
    Clocks c;
    c.dayTick = static_cast<std::uint16_t>(clock.dayTick);
    c.nightLevel = static_cast<std::uint8_t>(clock.nightLevel);
    c.tileTick = static_cast<std::uint8_t>(clock.blockAnimTick);
    c.weatherActive = weather.weatherActive;
    c.weatherKind = static_cast<std::uint8_t>(weather.weatherKind);
    c.snowCover = weather.snowCover;
    c.weatherTick = static_cast<std::uint8_t>(weather.weatherTick);
    c.weatherFrame = static_cast<std::uint8_t>(weather.weatherAnimFrame);
    c.weatherCycles = static_cast<std::uint8_t>(weather.weatherCycles);
    c.weatherTrigger = static_cast<std::uint16_t>(weather.weatherTrigger);
    return c;
}

void applyClocks(const Clocks& c, WeatherState& weather, WorldClock& clock) {
    clock.dayTick = c.dayTick;
    clock.nightLevel = c.nightLevel;
    clock.blockAnimTick = c.tileTick;
    clock.blockAnimFrame = c.tileTick / 20;
    weather.weatherActive = c.weatherActive != 0;
    weather.weatherKind = static_cast<WeatherKind>(c.weatherKind);
    weather.snowCover = c.snowCover != 0;
    weather.weatherTick = c.weatherTick;
    weather.weatherAnimFrame = c.weatherFrame;
    weather.weatherCycles = c.weatherCycles;
    weather.weatherTrigger = c.weatherTrigger;
}

Session::Session(const std::string& host, std::uint16_t port, const std::string& name,
                 const std::string& password, const std::string& key)
    : host_(host),
      name_(name),
      password_(password),
      key_(key),
      port_(port),
      dial_(std::make_shared<Dial>()),
      started_(std::chrono::steady_clock::now()),
      lastHeard_(started_) {
    slotOf_.fill(-1);
    toldStock_.fill(-1);
    std::thread([dial = dial_, host, port] {
        std::unique_ptr<Connection> connection;
        std::string failure;
        const Ipv4Address address = Ipv4Address::resolve(host);
        if (address == Ipv4Address()) {
            failure = "no such host: " + host;
        } else {
            connection = std::make_unique<Connection>(address, port);
            if (!connection->isOpen()) {
                failure = "no server at " + host + ":" + std::to_string(port);
                connection.reset();
            }
        }
        std::lock_guard<std::mutex> hold(dial->lock);
        dial->connection = std::move(connection);
        dial->failure = failure;
        dial->done = true;
    }).detach();
}

Session::~Session() { leave(); }

void Session::leave() {
    if (connection_ && phase_ != SessionPhase::Ended) {
        connection_->leave(Reason::Leaving);
        // One try at the goodbye; the socket closes with the session.
        connection_->client().poll(0);
    }
    if (phase_ != SessionPhase::Ended) end("left");
}

void Session::end(const std::string& why) {
    if (phase_ == SessionPhase::Ended) return;
    phase_ = SessionPhase::Ended;
    endText_ = why;
}

void Session::note(const std::string& text) {
    if (chat_.size() >= kChatShown) chat_.pop_front();
    chat_.push_back(ChatNote{text, kChatTicks});
    if (fresh_.size() >= kFreshKept) {
        fresh_.pop_front();
        freshDropped_ += 1;
    }
    fresh_.push_back(text);
}

std::vector<std::string> Session::takeFreshNotes() {
    std::vector<std::string> notes;
    notes.reserve(fresh_.size() + 1);
    if (freshDropped_ > 0)
        notes.push_back("(" + std::to_string(freshDropped_) + " more lines came too fast to keep)");
    notes.insert(notes.end(), fresh_.begin(), fresh_.end());
    fresh_.clear();
    freshDropped_ = 0;
    return notes;
}

RemotePlayer* Session::other(std::uint8_t id) {
    const int slot = slotOf_[id];
    return slot < 0 ? nullptr : &others_[static_cast<std::size_t>(slot)];
}

void Session::forget(std::uint8_t id) {
    const int slot = slotOf_[id];
    if (slot < 0) return;
    others_.erase(others_.begin() + slot);
    slotOf_[id] = -1;
    for (std::size_t i = static_cast<std::size_t>(slot); i < others_.size(); ++i)
        slotOf_[others_[i].id] = static_cast<std::int16_t>(i);
}

void Session::dialled() {
    std::lock_guard<std::mutex> hold(dial_->lock);
    if (!dial_->done) return;
    if (!dial_->connection) {
        end(dial_->failure);
        return;
    }
    connection_ = std::move(dial_->connection);
    connection_->send(Login{name_, password_, key_});  // leaves once the first exchange is done
    phase_ = SessionPhase::Joining;
}

void Session::undrawn(World world, bool all) {
    auto stays = std::remove_if(drawn_.begin(), drawn_.end(), [&](const Drawn& d) {
        if (!all && ticks_ <= d.untilTick) return false;
        setCellOf(world.grid, d.x, d.y, d.level, d.block);
        return true;
    });
    drawn_.erase(stays, drawn_.end());
}

void Session::pump(World world, PlayerState& self, Camera& view) {
    ticks_ += 1;
    undrawn(world, false);
    for (auto& line : chat_) line.ticksLeft -= 1;
    while (!chat_.empty() && chat_.front().ticksLeft <= 0) chat_.pop_front();
    for (auto& r : others_) animate(r);
    if (phase_ == SessionPhase::Ended) return;
    if (phase_ == SessionPhase::Connecting) dialled();
    const auto now = std::chrono::steady_clock::now();
    if (phase_ != SessionPhase::Playing && now - started_ > kJoinTime) {
        end("timed out joining " + host_ + ":" + std::to_string(port_));
        return;
    }
    if (!connection_) return;
    const std::size_t unread = connection_->client().bytesToRead();
    // A backlog the budget has not worked through stays in the system's
    // buffers, where the server feels it, instead of growing ours to the
    // limit that would end the session.
    if (unread < kClientReceiveLimit / 2) {
        try {
            connection_->client().poll(0);
        } catch (const std::exception&) {
        }
    }
    bytesReceived_ += connection_->client().bytesToRead() - unread;
    for (int work = 0; work < kWorkPerPump && phase_ != SessionPhase::Ended;) {
        auto message = connection_->receive();
        if (!message) break;
        lastHeard_ = now;
        work += workOf(*message);
        apply(*message, world, self, view);
    }
    if (phase_ == SessionPhase::Ended) return;
    if (const auto& refusal = connection_->refusal()) {
        if (refusal->reason == Reason::VersionsDiffer) {
            refusal_ = Reason::VersionsDiffer;
            end("versions differ");
        } else {
            end("server broke the protocol");
        }
        return;
    }
    if (!connection_->client().isConnected()) {
        // A server that takes no more connections from this address (or
        // none at all from it) closes before its first answer, without a word.
        shutOut_ = !connection_->ready();
        end(shutOut_ ? "the server turned the connection away (too many from this address?)"
                     : "server stopped");
        return;
    }
    if (now - lastHeard_ > kSilentTime) {
        end("timed out");
        return;
    }
    if (phase_ == SessionPhase::Playing && ticks_ % kPingTicks == 0)
        connection_->send(Ping{static_cast<std::uint32_t>(ticks_)});
}

template <class M>
void Session::apply(const M& message, World world, PlayerState& self, Camera& view) {
    if (const auto* m = std::get_if<Leave>(&message)) {
        if (phase_ != SessionPhase::Playing) refusal_ = m->reason;
        end(endReason(m->reason, m->detail));
    } else if (const auto* m = std::get_if<Welcome>(&message)) {
        selfId_ = m->self.id;
        grantedKey_ = m->key;
        self.x = m->self.x;
        self.y = m->self.y;
        self.level = m->self.level;
        self.facing = static_cast<Facing>(m->self.facing);
        self.spriteRow = m->self.look;
        self.spriteGroup = m->self.lookGroup;
        self.busy = self.acting = self.resting = false;
        self.animTick = self.animFrame = 0;
        // A new player's strikes start from none there; the single player's
        // count would break a block one action early here.
        self.strikes = 0;
        self.selectedSlot = m->slot;
        for (int i = 0; i < kHotbarSlots; ++i) self.hotbar[i] = m->hotbar[i];
        for (int b = 0; b < kBlockTypes; ++b)
            self.blockCounts[b] = static_cast<std::int32_t>(m->stock[b]);
        applyClocks(m->clocks, world.weather, world.clock);
        self.autoJump = m->autoJump != 0;
        self.targetRaised = m->raised;
        aimCamera(view, self);
        view.velocityX = view.velocityY = 0;
        if (columns_ == 0) {
            // What the pieces do not hold (the headroom, the edge, what is
            // not sent yet) is nothing in a server's world, not what the
            // single player left.
            std::fill(std::begin(world.grid.cells), std::end(world.grid.cells), Empty);
            ++world.grid.revision;
            columns_ = m->columns;
            rows_ = m->rows;
            across_ = piecesAcross(columns_);
            pieces_.assign(static_cast<std::size_t>(across_ * piecesAcross(rows_)),
                           PieceHeld::Never);
        }
        // The rules keep the player on the world's own columns.
        world.grid.maxX = columns_ - 1;
        world.grid.maxY = rows_ - 1;
    } else if (const auto* m = std::get_if<Piece>(&message)) {
        const std::size_t at = static_cast<std::size_t>(m->py) * across_ + m->px;
        if (columns_ == 0 || m->px >= across_ || at >= pieces_.size()) {
            end("server broke the protocol (a piece outside the world)");
            return;
        }
        applyPiece(*m, world.grid, columns_, rows_);
        pieces_[at] = PieceHeld::Held;
        piecesReceived_ += 1;
    } else if (const auto* m = std::get_if<Forget>(&message)) {
        for (const PiecePlace& place : m->pieces) {
            const std::size_t at = static_cast<std::size_t>(place.py) * across_ + place.px;
            if (place.px < across_ && at < pieces_.size() && pieces_[at] == PieceHeld::Held)
                pieces_[at] = PieceHeld::Forgotten;
        }
    } else if (const auto* m = std::get_if<PlayerList>(&message)) {
        others_.clear();
        slotOf_.fill(-1);
        for (const auto& info : m->players) {
            if (info.id == selfId_) continue;
            if (RemotePlayer* r = other(info.id)) {
                *r = remoteFrom(info);
                continue;
            }
            slotOf_[info.id] = static_cast<std::int16_t>(others_.size());
            others_.push_back(remoteFrom(info));
        }
        if (selfId_ >= 0 && columns_ > 0) phase_ = SessionPhase::Playing;
    } else if (const auto* m = std::get_if<PlayerJoined>(&message)) {
        if (m->player.id == selfId_) return;
        if (RemotePlayer* r = other(m->player.id)) {
            *r = remoteFrom(m->player);
        } else {
            slotOf_[m->player.id] = static_cast<std::int16_t>(others_.size());
            others_.push_back(remoteFrom(m->player));
        }
        note(m->player.name + " joined");
    } else if (const auto* m = std::get_if<PlayerLeft>(&message)) {
        if (const RemotePlayer* r = other(m->id)) {
            note(r->name + (m->reason == Reason::Leaving ? " left" : " left: ") +
                 (m->reason == Reason::Leaving ? "" : reasonText(m->reason)));
            forget(m->id);
        }
    } else if (const auto* m = std::get_if<Update>(&message)) {
        applyUpdate(*m, world, self, view);
    } else if (const auto* m = std::get_if<ChatLine>(&message)) {
        note(m->sender + ": " + m->text);
    } else if (const auto* m = std::get_if<Announcement>(&message)) {
        note("[server] " + m->text);
    } else if (const auto* m = std::get_if<Ping>(&message)) {
        connection_->send(Pong{m->stamp});
    }
}

template <class M>
void Session::applyUpdate(const M& u, World world, PlayerState& self, Camera& view) {
    const Column ahead = columnAhead(self);
    for (const auto& c : u.cells) {
        if (c.x >= columns_ || c.y >= rows_) continue;
        if (self.busy && self.acting && c.x == ahead.x && c.y == ahead.y &&
            c.level == self.level - self.targetRaised)
            toldAction_ = Told{c.x, c.y, c.level, c.block};
        drawn_.erase(std::remove_if(drawn_.begin(), drawn_.end(),
                                    [&](const Drawn& d) {
                                        return d.x == c.x && d.y == c.y && d.level == c.level;
                                    }),
                     drawn_.end());
        setCellOf(world.grid, c.x, c.y, c.level, c.block);
        if (onCell_) onCell_(c.x, c.y, c.level, c.block);
    }
    for (const auto& move : u.moves) {
        if (move.id == selfId_) {
            // Our own steps and turns were made here already; a placing is
            // the server disagreeing, or a fall or climb we did not see.
            // Only the server finds the ground a step lands on: its level
            // travels in the step and is taken from there.
            const bool stepped = move.kind == MoveKind::Step || move.kind == MoveKind::Run;
            if (stepped && move.x == self.x && move.y == self.y) self.level = move.level;
            if (move.kind != MoveKind::Place) continue;
            if (self.busy && self.acting) movedWhileActing_ = true;
            undrawn(world, true);
            self.x = move.x;
            self.y = move.y;
            self.level = move.level;
            self.facing = static_cast<Facing>(move.facing);
            if (self.busy && !self.acting) {
                self.busy = false;
                self.animTick = self.animFrame = 0;
            }
            aimCamera(view, self);
            view.velocityX = view.velocityY = 0;
            continue;
        }
        RemotePlayer* r = other(move.id);
        if (r == nullptr) continue;
        PlayerState& f = r->figure;
        if (move.kind == MoveKind::OutOfSight) {
            r->inSight = false;
            continue;
        }
        f.facing = static_cast<Facing>(move.facing);
        // Come into sight: drawn where it is, not walked there from afar.
        const bool appears = !r->inSight;
        r->inSight = true;
        if (move.kind == MoveKind::Turn && !appears) continue;
        r->fromX = f.x;
        r->fromY = f.y;
        r->fromLevel = f.level;
        f.x = move.x;
        f.y = move.y;
        f.level = move.level;
        const bool stepped = move.kind == MoveKind::Step || move.kind == MoveKind::Run;
        if (stepped && !appears) {
            r->quarters = 0;
            startAnimation(f, false, move.kind == MoveKind::Run);
        } else {
            r->fromX = f.x;
            r->fromY = f.y;
            r->fromLevel = f.level;
            r->quarters = 4;
        }
    }
    for (const auto& sheet : u.sheets) {
        RemotePlayer* r = sheet.id == selfId_ ? nullptr : other(sheet.id);
        if (r == nullptr) continue;
        PlayerState& f = r->figure;
        f.resting = sheet.sheet == 3;
        if (sheet.sheet == 4) startAnimation(f, true);
        if (sheet.sheet == 2 && !f.busy) startAnimation(f, false);
        if (!f.busy) f.spriteSheet = static_cast<SpriteSheet>(sheet.sheet);
    }
    for (const auto& looks : u.looks) {
        PlayerState* f = looks.id == selfId_ ? &self : nullptr;
        if (RemotePlayer* r = other(looks.id)) f = &r->figure;
        if (f == nullptr) continue;
        f->spriteRow = looks.look;
        f->spriteGroup = looks.lookGroup;
    }
    for (const auto& s : u.stock) {
        self.blockCounts[s.block] = static_cast<std::int32_t>(s.count);
        if (self.busy && self.acting) toldStock_[s.block] = self.blockCounts[s.block];
    }
    if (u.clocks) applyClocks(*u.clocks, world.weather, world.clock);
}

PieceHeld Session::pieceHeld(int x, int y) const {
    if (x < 0 || y < 0 || x >= columns_ || y >= rows_) return PieceHeld::Never;
    return pieces_[static_cast<std::size_t>(y / kPieceEdge) * across_ + x / kPieceEdge];
}

int Session::play(const PlayerIntent& intent, World world, PlayerState& self, Camera& view) {
    if (phase_ != SessionPhase::Playing) return 0;
    const PlayerState before = self;
    if (!(self.busy && self.acting)) {
        toldAction_.block = -1;
        toldStock_.fill(-1);
        movedWhileActing_ = false;
    }
    const int switches = handlePlayerInput(self, view, intent, world.grid);
    sendChanges(before, self);
    // The world tick that keeps the target runs on the server alone; without
    // this an action would be drawn on the target the join left, and a place
    // over a block would fill it here until the server's correction came.
    const Column ahead = columnAhead(self);
    const int level = self.level - self.targetRaised;
    self.targetBlock = cellOf(world.grid, ahead.x, ahead.y, level);
    const bool acting = self.busy && self.acting;
    updateAnimations(self, view, world.grid);
    if (!acting || self.acting) return switches;
    for (int b = 0; b < kBlockTypes; ++b)
        if (toldStock_[b] >= 0) self.blockCounts[b] = toldStock_[b];
    // The server ended (or refused) the action before it ended here, on a
    // slow frame: its cell stands. Had it told the cell before its own end,
    // that end's word is still to come and puts the cell right.
    const Told& told = toldAction_;
    if (told.block >= 0 && told.x == ahead.x && told.y == ahead.y && told.level == level) {
        setCellOf(world.grid, ahead.x, ahead.y, level, static_cast<BlockId>(told.block));
    } else if (movedWhileActing_) {
        setCellOf(world.grid, ahead.x, ahead.y, level, self.targetBlock);
    } else if (cellOf(world.grid, ahead.x, ahead.y, level) != self.targetBlock) {
        if (drawn_.size() >= kMostDrawn) drawn_.erase(drawn_.begin());
        drawn_.push_back(Drawn{ahead.x, ahead.y, level, self.targetBlock, ticks_ + kDrawnTicks});
    }
    return switches;
}

void Session::sendChanges(const PlayerState& before, const PlayerState& after) {
    Connection& c = *connection_;
    const auto facing = static_cast<std::uint8_t>(after.facing);
    const bool started = after.busy && !before.busy;
    if (started && !after.acting) {
        c.send(Step{facing, static_cast<std::uint8_t>(after.running)});
    } else if (after.facing != before.facing) {
        c.send(Turn{facing});
    }
    if (started && after.acting) {
        c.send(Use{static_cast<std::uint8_t>(after.actionMode == ActionMode::Placing),
                   static_cast<std::uint8_t>(after.selectedSlot),
                   static_cast<std::uint8_t>(after.targetRaised != 0)});
    }
    if (after.autoJump != before.autoJump) c.send(JumpMode{after.autoJump});
    if (after.resting != before.resting) c.send(Rest{after.resting});
    if (after.spriteRow != before.spriteRow || after.spriteGroup != before.spriteGroup)
        c.send(ChangeLooks{static_cast<std::uint8_t>(after.spriteRow),
                           static_cast<std::uint8_t>(after.spriteGroup)});
}

void Session::say(const std::string& text) {
    if (phase_ != SessionPhase::Playing || text.empty()) return;
    connection_->send(Say{text.substr(0, kChatRule.longest)});
}

void Session::askForPiece(int px, int py) {
    if (phase_ != SessionPhase::Playing || px < 0 || py < 0 || px >= kMostPieces ||
        py >= kMostPieces)
        return;
    connection_->send(
        PieceRequest{PiecePlace{static_cast<std::uint8_t>(px), static_cast<std::uint8_t>(py)}});
}

// The message table's rows, the reasons' words, and the comparisons the round
// trip relies on.
#include "protocol/messages.h"

namespace {

template <std::size_t... I>
std::vector<MessageRow> rows(std::index_sequence<I...>) {
    return {MessageRow{std::variant_alternative_t<I, Message>::kId,
                       std::variant_alternative_t<I, Message>::kSender,
                       std::variant_alternative_t<I, Message>::kName}...};
}

constexpr const char* kReasonTexts[kLastReason + 1] = {
    "left",
    "server stopped",
    "kicked",
    "timed out",
    "name taken",
    "server full",
    "versions differ",
    "wrong password",
    "banned",
    "not on the whitelist",
    "broke the protocol",
    "too fast",
    "that name belongs to another player",
};

}  // namespace

const char* reasonText(Reason reason) {
    const auto index = static_cast<std::uint32_t>(reason);
    return index <= kLastReason ? kReasonTexts[index] : "unknown reason";
}

const std::vector<MessageRow>& messageTable() {
    static const std::vector<MessageRow> table =
        rows(std::make_index_sequence<std::variant_size_v<Message>>());
    return table;
}

MessageRow rowOf(const Message& message) { return messageTable()[message.index()]; }

bool Clocks::operator==(const Clocks& o) const {
    return dayTick == o.dayTick && nightLevel == o.nightLevel && tileTick == o.tileTick &&
           weatherActive == o.weatherActive && weatherKind == o.weatherKind &&
           snowCover == o.snowCover && weatherTick == o.weatherTick &&
           weatherFrame == o.weatherFrame && weatherCycles == o.weatherCycles &&
           weatherTrigger == o.weatherTrigger;
}

bool PlayerInfo::operator==(const PlayerInfo& o) const {
    return id == o.id && name == o.name && x == o.x && y == o.y && level == o.level &&
           facing == o.facing && look == o.look && lookGroup == o.lookGroup && sheet == o.sheet;
}

bool CellChange::operator==(const CellChange& o) const {
    return x == o.x && y == o.y && level == o.level && block == o.block;
}

bool PlayerMove::operator==(const PlayerMove& o) const {
    return id == o.id && kind == o.kind && x == o.x && y == o.y && level == o.level &&
           facing == o.facing;
}

bool PlayerSheet::operator==(const PlayerSheet& o) const { return id == o.id && sheet == o.sheet; }

bool PlayerLooks::operator==(const PlayerLooks& o) const {
    return id == o.id && look == o.look && lookGroup == o.lookGroup;
}

bool StockCount::operator==(const StockCount& o) const {
    return block == o.block && count == o.count;
}

bool HelloReply::operator==(const HelloReply& o) const {
    return version == o.version && sendMultiple == o.sendMultiple &&
           recvMultiple == o.recvMultiple && sendSequenceStart == o.sendSequenceStart &&
           recvSequenceStart == o.recvSequenceStart;
}

bool Welcome::operator==(const Welcome& o) const {
    return self == o.self && columns == o.columns && rows == o.rows && slot == o.slot &&
           hotbar == o.hotbar && stock == o.stock && clocks == o.clocks && autoJump == o.autoJump &&
           raised == o.raised && key == o.key;
}

bool Update::empty() const {
    return cells.empty() && moves.empty() && sheets.empty() && looks.empty() && stock.empty() &&
           !clocks;
}

bool Update::operator==(const Update& o) const {
    return cells == o.cells && moves == o.moves && sheets == o.sheets && looks == o.looks &&
           stock == o.stock && clocks == o.clocks;
}

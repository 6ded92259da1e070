// The dispatch from the message table to each message's field list.
#include "protocol/codec.h"

#include <utility>

#include "net/packet_names.h"
#include "net/packet_parser.h"
#include "net/packet_writer.h"

namespace {

template <std::size_t I = 0>
Decoded decodeAs(PacketId id, Sender from, FieldReader& reader) {
    if constexpr (I < std::variant_size_v<Message>) {
        using M = std::variant_alternative_t<I, Message>;
        if (M::kId == id && (M::kSender == from || M::kSender == Sender::Either)) {
            M message;
            M::fields(reader, message);
            if (reader.failed()) return std::string(M::kName) + ": " + reader.problem();
            if (!reader.finished()) return std::string(M::kName) + ": bytes after the last field";
            return Message(std::move(message));
        }
        return decodeAs<I + 1>(id, from, reader);
    } else {
        const auto family = static_cast<int>(id.family), action = static_cast<int>(id.action);
        return "no such message from a " +
               std::string(from == Sender::Client ? "client" : "server") + ": " +
               packetFamilyName(family) + "/" + packetActionName(action) + " (" +
               std::to_string(family) + "/" + std::to_string(action) + ")";
    }
}

}  // namespace

std::string encodePacket(const Message& message) {
    return std::visit(
        [](const auto& m) {
            using M = std::decay_t<decltype(m)>;
            PacketWriter packet(static_cast<std::uint8_t>(M::kId.action),
                                static_cast<std::uint8_t>(M::kId.family));
            FieldWriter writer(packet);
            M::fields(writer, m);
            return packet.get();
        },
        message);
}

Decoded decodeMessage(PacketId id, const std::string& fields, Sender from) {
    PacketParser parser(fields);
    FieldReader reader(parser);
    return decodeAs(id, from, reader);
}

std::string problemWith(const Message& message) {
    const MessageRow row = rowOf(message);
    const std::string packet = encodePacket(message);
    const Sender from = row.sender == Sender::Either ? Sender::Client : row.sender;
    const Decoded back = decodeMessage(row.id, packet.substr(4), from);
    if (const auto* problem = std::get_if<std::string>(&back)) return *problem;
    return std::get<Message>(back) == message ? "" : std::string(row.name) + ": does not survive";
}

Piece pieceOf(const WorldGrid& grid, int px, int py, int columns, int rows) {
    Piece piece;
    piece.px = static_cast<std::uint8_t>(px);
    piece.py = static_cast<std::uint8_t>(py);
    const int x0 = px * kPieceEdge, y0 = py * kPieceEdge;
    for (int dx = 0; dx < kPieceEdge && x0 + dx < columns; ++dx)
        for (int dy = 0; dy < kPieceEdge && y0 + dy < rows; ++dy)
            for (int level = 0; level < kBandLevels; ++level) {
                const BlockId id = cellOf(grid, x0 + dx, y0 + dy, level);
                piece.cells[pieceIndex(dx, dy, level)] =
                    static_cast<std::uint8_t>(isCellValue(id) ? id : Empty);
            }
    return piece;
}

void applyPiece(const Piece& piece, WorldGrid& grid, int columns, int rows) {
    const int x0 = piece.px * kPieceEdge, y0 = piece.py * kPieceEdge;
    for (int dx = 0; dx < kPieceEdge && x0 + dx < columns; ++dx)
        for (int dy = 0; dy < kPieceEdge && y0 + dy < rows; ++dy)
            for (int level = 0; level < kBandLevels; ++level)
                setCellOf(grid, x0 + dx, y0 + dy, level, piece.cells[pieceIndex(dx, dy, level)]);
}

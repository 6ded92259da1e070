// Messages to packets and back. encodePacket gives what PacketWriter::get()
// gives (length, id, fields), ready for PacketCodec::encode; decodeMessage
// takes a packet's id and fields after the codec and the sequence check, and
// gives a checked message or the reason it was refused.
#pragma once

#include <string>
#include <variant>

#include "protocol/messages.h"

std::string encodePacket(const Message& message);

// A refusal names what was wrong in one line for the log.
using Decoded = std::variant<Message, std::string>;
// from: who sent the bytes; a message only the other side sends is refused.
Decoded decodeMessage(PacketId id, const std::string& fields, Sender from);

// The reason our own message would be refused by its receiver (a name too
// long, a block out of range, a hotbar of the wrong size), or "" when none.
std::string problemWith(const Message& message);

// How many pieces a side of `columns` columns takes.
inline int piecesAcross(int columns) { return (columns + kPieceEdge - 1) / kPieceEdge; }
// A piece of a world `columns` x `rows`, unknown block values and the cells
// past its edge sent as empty; and a piece put back into a world, its cells
// past the edge left alone.
Piece pieceOf(const WorldGrid& grid, int px, int py, int columns, int rows);
void applyPiece(const Piece& piece, WorldGrid& grid, int columns, int rows);

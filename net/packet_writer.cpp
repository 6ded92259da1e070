// Field encoding and the header of outgoing packets.
#include "net/packet_writer.h"

#include <algorithm>

#include "net/packet_number.h"

namespace {

constexpr std::uint16_t kUnsetId = 0xFFFF;
// A packet with this id byte goes out without the sequence byte that
// PacketCodec::encode inserts into every other one.
constexpr std::uint8_t kUnsequencedIdLow = 255;
constexpr char kDelimiterStandIn = 'y';

std::uint16_t nonZeroId(std::uint16_t id) { return id == 0 ? kUnsetId : id; }

}  // namespace

PacketWriter::PacketWriter(std::uint16_t id) : id(nonZeroId(id)) {}

PacketWriter::PacketWriter(std::uint8_t idLow, std::uint8_t idHigh)
    : id(nonZeroId(makeId(idLow, idHigh))) {}

std::uint16_t PacketWriter::setId(std::uint16_t newId) {
    id = nonZeroId(newId);
    return id;
}

std::uint16_t PacketWriter::setId(std::uint8_t idLow, std::uint8_t idHigh) {
    return setId(makeId(idLow, idHigh));
}

void PacketWriter::addEncoded(std::uint32_t value, int width) {
    EncodedNumber bytes = encodeNumber(value);
    data.append(reinterpret_cast<const char*>(bytes.begin()), static_cast<std::size_t>(width));
    payloadLength += static_cast<std::uint32_t>(width);
}

std::uint8_t PacketWriter::addByte(std::uint8_t value) {
    data.push_back(static_cast<char>(value));
    ++payloadLength;
    return value;
}

std::uint8_t PacketWriter::addChar(std::uint8_t value) {
    addEncoded(value, 1);
    return value;
}

std::uint16_t PacketWriter::addShort(std::uint16_t value) {
    addEncoded(value, 2);
    return value;
}

std::uint32_t PacketWriter::addThree(std::uint32_t value) {
    addEncoded(value, 3);
    return value;
}

std::uint32_t PacketWriter::addInt(std::uint32_t value) {
    addEncoded(value, 4);
    return value;
}

std::uint32_t PacketWriter::addVar(int minWidth, int maxWidth, std::uint32_t n) {
    if (minWidth < 2 && (maxWidth < 2 || n < 253)) {
        addChar(static_cast<std::uint8_t>(n & 255));
    } else if (minWidth < 3 && (maxWidth < 3 || n < 64009)) {
        addShort(static_cast<std::uint16_t>(n));
    } else if (minWidth < 4 && (maxWidth < 4 || n < 16194277)) {
        addThree(n);
    } else {
        addInt(n);
    }
    return n;
}

std::string PacketWriter::addString(const std::string& bytes) {
    data += bytes;
    payloadLength += static_cast<std::uint32_t>(bytes.size());
    return bytes;
}

std::string PacketWriter::addBreakString(const std::string& text, std::uint8_t delimiter) {
    std::string copy = text;
    std::replace(copy.begin(), copy.end(), static_cast<char>(delimiter), kDelimiterStandIn);
    addString(copy);
    addByte(delimiter);
    return text;
}

std::string PacketWriter::get() const {
    const std::uint8_t idLow = static_cast<std::uint8_t>(id & 0xFF);
    const std::uint8_t idHigh = static_cast<std::uint8_t>(id >> 8);
    std::uint32_t headerLength = payloadLength + 2;
    if (idLow != kUnsequencedIdLow) ++headerLength;
    EncodedNumber length = encodeNumber(headerLength);
    std::string packet;
    packet.reserve(4 + data.size());
    packet.push_back(static_cast<char>(length[0]));
    packet.push_back(static_cast<char>(length[1]));
    packet.push_back(static_cast<char>(idHigh));
    packet.push_back(static_cast<char>(idLow));
    packet += data;
    return packet;
}

// Field decoding of received packets.
#include "net/packet_parser.h"

#include <algorithm>

#include "net/packet_number.h"

PacketParser::PacketParser(const std::string& packet)
    : data(packet), packetLength(static_cast<std::uint32_t>(packet.size())) {}

// Decodes up to width bytes; the digits that are not there count as absent.
std::uint32_t PacketParser::getNumber(std::size_t width) {
    std::uint8_t bytes[4] = {kAbsentDigit, kAbsentDigit, kAbsentDigit, kAbsentDigit};
    std::size_t count = std::min(width, remaining());
    if (count == 0) return 0;
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(data[position + i]);
    position += count;
    return decodeNumber(bytes[0], bytes[1], bytes[2], bytes[3]);
}

std::uint8_t PacketParser::getByte() {
    if (remaining() == 0) return 0;
    return static_cast<std::uint8_t>(data[position++]);
}

std::uint8_t PacketParser::getChar() { return static_cast<std::uint8_t>(getNumber(1)); }
std::uint16_t PacketParser::getShort() { return static_cast<std::uint16_t>(getNumber(2)); }
std::uint32_t PacketParser::getThree() { return getNumber(3); }

std::string PacketParser::getFixedString(std::size_t n) {
    if (n == 0 || remaining() < n) return std::string();
    std::string field = data.substr(position, n);
    position += n;
    return field;
}

std::string PacketParser::getBreakString(std::uint8_t delimiter) {
    std::size_t at = data.find(static_cast<char>(delimiter), position);
    if (at == std::string::npos) return std::string();
    std::string field = data.substr(position, at - position);
    position = at + 1;
    return field;
}

std::string PacketParser::getEndString() {
    std::string rest = data.substr(position);
    position = data.size();
    return rest;
}

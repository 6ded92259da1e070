// Takes fields off the front of one received (decoded) packet. Reads past
// the end give 0 or an empty string, never an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class PacketParser {
public:
    explicit PacketParser(const std::string& packet);

    std::uint8_t getByte();
    std::uint8_t getChar();
    std::uint16_t getShort();  // up to two bytes, fewer at the end
    std::uint32_t getThree();  // up to three bytes, fewer at the end
    // Empty, with nothing consumed, when fewer than n bytes are left.
    std::string getFixedString(std::size_t n);
    // The bytes before the delimiter, which is consumed too; empty, with
    // nothing consumed, when the delimiter never comes.
    std::string getBreakString(std::uint8_t delimiter);
    std::string getEndString();

    std::size_t remaining() const { return data.size() - position; }
    std::uint32_t length() const { return packetLength; }

private:
    std::uint32_t getNumber(std::size_t width);

    std::string data;
    std::size_t position = 0;  // everything before it has been read
    std::uint32_t packetLength;
};

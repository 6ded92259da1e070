// Assembles one outgoing packet: a two-byte length, the id (high byte first)
// and the payload, field by field.
#pragma once

#include <cstdint>
#include <string>

class PacketWriter {
public:
    PacketWriter() = default;  // id 0, kept as it is
    explicit PacketWriter(std::uint16_t id);
    PacketWriter(std::uint8_t idLow, std::uint8_t idHigh);

    // An id of 0 is stored as 0xFFFF; the stored id is returned.
    std::uint16_t setId(std::uint16_t id);
    std::uint16_t setId(std::uint8_t idLow, std::uint8_t idHigh);

    // Each add returns its argument.
    std::uint8_t addByte(std::uint8_t value);     // raw
    std::uint8_t addChar(std::uint8_t value);     // 1 encoded byte
    std::uint16_t addShort(std::uint16_t value);  // 2 encoded bytes
    std::uint32_t addThree(std::uint32_t value);  // 3 encoded bytes
    std::uint32_t addInt(std::uint32_t value);    // 4 encoded bytes
    // The narrowest field of at least minWidth bytes that holds n, capped at maxWidth.
    std::uint32_t addVar(int minWidth, int maxWidth, std::uint32_t n);
    std::string addString(const std::string& bytes);  // raw
    // The text with every delimiter byte replaced by 'y', then the delimiter.
    std::string addBreakString(const std::string& text, std::uint8_t delimiter);

    std::uint32_t length() const { return payloadLength; }
    std::string get() const;

private:
    void addEncoded(std::uint32_t value, int width);

    std::uint16_t id = 0;
    std::uint32_t payloadLength = 0;
    std::string data;
};

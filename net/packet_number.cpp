// Encoding and decoding of the base-253 wire numbers and the packet id.
#include "net/packet_number.h"

namespace {

constexpr std::uint32_t kBase1 = 253;
constexpr std::uint32_t kBase2 = 64009;     // 253^2
constexpr std::uint32_t kBase3 = 16194277;  // 253^3

// A missing byte (0 from a short read, or the absent-digit marker) is a zero digit.
std::uint32_t digit(std::uint8_t byte) {
    if (byte == 0 || byte == kAbsentDigit) byte = 1;
    return static_cast<std::uint8_t>(byte - 1);
}

}  // namespace

EncodedNumber encodeNumber(std::uint32_t n) {
    EncodedNumber bytes{{kAbsentDigit, kAbsentDigit, kAbsentDigit, kAbsentDigit}};
    // The thresholds test the whole value, so a zero digit below the highest
    // one is still written (as 1) rather than marked absent.
    const std::uint32_t m = n;
    if (m >= kBase3) {
        bytes[3] = static_cast<std::uint8_t>(n / kBase3 + 1);
        n %= kBase3;
    }
    if (m >= kBase2) {
        bytes[2] = static_cast<std::uint8_t>(n / kBase2 + 1);
        n %= kBase2;
    }
    if (m >= kBase1) {
        bytes[1] = static_cast<std::uint8_t>(n / kBase1 + 1);
        n %= kBase1;
    }
    bytes[0] = static_cast<std::uint8_t>(n + 1);
    return bytes;
}

std::uint32_t decodeNumber(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return digit(b3) * kBase3 + digit(b2) * kBase2 + digit(b1) * kBase1 + digit(b0);
}

std::uint16_t makeId(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint16_t>((high * 256 + low) & 0xFFFF);
}

std::uint16_t swapIdBytes(std::uint16_t id) {
    return static_cast<std::uint16_t>(((id & 0xFF) << 8) | (id >> 8));
}

// The wire's base-253 numbers: up to four digits, least significant first,
// each stored as digit + 1 so that no encoded digit is a 0 byte.
#pragma once

#include <cstdint>

#include "util/array.h"

using EncodedNumber = util::array<std::uint8_t, 4>;

constexpr std::uint8_t kAbsentDigit = 254;                // a high digit the number does not have
constexpr std::uint32_t kLargestEncodable = 4097152080u;  // 253^4 - 1

// Values above kLargestEncodable wrap in the top byte and do not come back.
EncodedNumber encodeNumber(std::uint32_t n);
std::uint32_t decodeNumber(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

std::uint16_t makeId(std::uint8_t low, std::uint8_t high);
std::uint16_t swapIdBytes(std::uint16_t id);

// Byte strings for packet tests, written as lists of byte values.
#pragma once

#include <initializer_list>
#include <string>

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out.push_back(static_cast<char>(value));
    return out;
}

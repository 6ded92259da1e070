// An IPv4 address as one host-order number: dotted-quad text in and out, and
// host-name lookup.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

class Ipv4Address {
public:
    Ipv4Address() = default;  // 0.0.0.0
    Ipv4Address(std::uint32_t hostOrder) : value_(hostOrder) {}
    Ipv4Address(in_addr networkOrder);
    Ipv4Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
    // Dotted quad; each component keeps its low 8 bits, missing ones count as 0,
    // and one above 32 bits ends the parse as malformed text does.
    Ipv4Address(const char* text);
    Ipv4Address(const std::string& text);

    Ipv4Address& operator=(const char* text);
    Ipv4Address& operator=(const std::string& text);

    std::uint32_t value() const { return value_; }
    std::uint32_t toNetworkOrder() const;
    std::string toString() const;

    bool operator==(const Ipv4Address& other) const { return value_ == other.value_; }
    bool operator<(const Ipv4Address& other) const { return value_ < other.value_; }

    // The first IPv4 answer of the system resolver; 0.0.0.0 when there is none.
    static Ipv4Address resolve(const std::string& host);

private:
    std::uint32_t value_ = 0;
};

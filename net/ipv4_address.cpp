// Dotted-quad parsing and printing, and name lookup through getaddrinfo.
#include "net/ipv4_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cstdio>

namespace {

constexpr std::uint64_t kLargestComponent = 0xFFFFFFFFu;  // what "%u" reads into

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One component as "%u" reads it: blanks, an optional sign, decimal digits.
// False when there are no digits or the number is above kLargestComponent
// (where sscanf is undefined); either ends the parse.
bool readComponent(const char*& text, std::uint32_t& component) {
    while (std::isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    if (!isDigit(*text)) {
        return false;
    }
    std::uint64_t number = 0;
    for (; isDigit(*text); ++text) {
        number = number * 10 + static_cast<std::uint64_t>(*text - '0');
        if (number > kLargestComponent) {
            return false;
        }
    }
    component = static_cast<std::uint32_t>(number);
    if (negative) {
        component = 0u - component;  // as strtoul negates, in unsigned arithmetic
    }
    return true;
}

// "%u.%u.%u.%u": components that the text does not supply count as 0.
std::uint32_t parseDottedQuad(const char* text) {
    std::uint32_t part[4] = {0, 0, 0, 0};
    for (int i = 0; text && i < 4; ++i) {
        if (i > 0) {
            if (*text != '.') {
                break;
            }
            ++text;
        }
        if (!readComponent(text, part[i])) {
            break;
        }
    }
    return (part[0] & 0xFFu) << 24 | (part[1] & 0xFFu) << 16 | (part[2] & 0xFFu) << 8 |
           (part[3] & 0xFFu);
}

}  // namespace

Ipv4Address::Ipv4Address(in_addr networkOrder) : value_(ntohl(networkOrder.s_addr)) {}

Ipv4Address::Ipv4Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
    : value_(std::uint32_t{a} << 24 | std::uint32_t{b} << 16 | std::uint32_t{c} << 8 | d) {}

Ipv4Address::Ipv4Address(const char* text) : value_(parseDottedQuad(text)) {}

Ipv4Address::Ipv4Address(const std::string& text) : value_(parseDottedQuad(text.c_str())) {}

Ipv4Address& Ipv4Address::operator=(const char* text) {
    value_ = parseDottedQuad(text);
    return *this;
}

Ipv4Address& Ipv4Address::operator=(const std::string& text) {
    value_ = parseDottedQuad(text.c_str());
    return *this;
}

std::uint32_t Ipv4Address::toNetworkOrder() const { return htonl(value_); }

std::string Ipv4Address::toString() const {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", value_ >> 24, value_ >> 16 & 0xFFu,
                  value_ >> 8 & 0xFFu, value_ & 0xFFu);
    return text;
}

Ipv4Address Ipv4Address::resolve(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* answers = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &answers) != 0 || !answers) {
        return Ipv4Address();
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(answers->ai_addr);
    const Ipv4Address result(address->sin_addr);
    freeaddrinfo(answers);
    return result;
}

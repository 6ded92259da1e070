// How a message's fields go onto the wire and come off it. Each message lists
// its fields once, as a template over one of the two field walkers below:
// FieldWriter puts them into a PacketWriter; FieldReader takes them off a
// PacketParser and checks each against its range as it goes, so a message
// that comes out of it is already checked. A field's width and range stand
// beside its name in that one list, which docs/protocol.md follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/packet_parser.h"
#include "net/packet_writer.h"

// Bytes a number takes on the wire (PacketWriter's char, short, three, int),
// and the largest value each keeps.
enum class Width : int { Char = 1, Short = 2, Three = 3, Int = 4 };
constexpr std::uint32_t kLargestChar = 252;
constexpr std::uint32_t kLargestShort = 64008;
constexpr std::uint32_t kLargestThree = 16194276;
constexpr std::uint32_t kLargestInt = 4097152080u;

// Which characters a text may hold, and how many.
// What a text may hold: any printable ASCII; a name's letters, digits, _
// and -; or a key, which is either absent (empty) or all of its digits, in
// lower-case hexadecimal.
enum class Characters { Printable, Name, Key };

struct TextRule {
    const char* what;
    std::size_t shortest, longest;  // longest is at most 252: the length is a char
    Characters characters;
};

bool textFits(const std::string& text, const TextRule& rule);

class FieldWriter {
public:
    explicit FieldWriter(PacketWriter& packet) : packet_(packet) {}

    template <class T>
    void number(const T& value, Width width, std::uint32_t, std::uint32_t, const char*) {
        const auto n = static_cast<std::uint32_t>(value);
        switch (width) {
            case Width::Char:
                packet_.addChar(static_cast<std::uint8_t>(n));
                break;
            case Width::Short:
                packet_.addShort(static_cast<std::uint16_t>(n));
                break;
            case Width::Three:
                packet_.addThree(n);
                break;
            case Width::Int:
                packet_.addInt(n);
                break;
        }
    }
    void byte(const std::uint8_t& value, const char*) { packet_.addByte(value); }
    void text(const std::string& value, const TextRule&) {
        packet_.addChar(static_cast<std::uint8_t>(value.size()));
        packet_.addString(value);
    }
    // A count, then each item's fields.
    template <class T, class Each>
    void list(const std::vector<T>& items, Width width, std::size_t, std::size_t, const char*,
              Each each) {
        number(items.size(), width, 0, 0, nullptr);
        for (const T& item : items) each(item);
    }
    // A char whose bits say which of up to seven optional parts follow.
    std::uint32_t presence(std::uint32_t bits, int) {
        packet_.addChar(static_cast<std::uint8_t>(bits));
        return bits;
    }
    // Cells as runs of equal blocks: a count of runs, then block and length.
    void runs(const std::vector<std::uint8_t>& cells, std::size_t cellCount,
              std::uint8_t lastBlock);
    // Cells zlib-compressed: the compressed length as a short, then the bytes.
    void packed(const std::vector<std::uint8_t>& cells, std::size_t cellCount);
    // One cell's value: a block or a stream.
    void cell(const std::uint8_t& value, const char*) { packet_.addChar(value); }

private:
    PacketWriter& packet_;
};

class FieldReader {
public:
    explicit FieldReader(PacketParser& packet) : packet_(packet) {}

    bool failed() const { return !problem_.empty(); }
    const std::string& problem() const { return problem_; }
    // Bytes left over after the last field.
    bool finished() const { return packet_.remaining() == 0; }

    template <class T>
    void number(T& value, Width width, std::uint32_t least, std::uint32_t most, const char* what) {
        const std::uint32_t n = readNumber(width, what);
        if (failed()) return;
        if (n < least || n > most) {
            fail(std::string(what) + " " + std::to_string(n) + " outside " + std::to_string(least) +
                 ".." + std::to_string(most));
            return;
        }
        value = static_cast<T>(n);
    }
    void byte(std::uint8_t& value, const char* what);
    void text(std::string& value, const TextRule& rule);
    template <class T, class Each>
    void list(std::vector<T>& items, Width width, std::size_t least, std::size_t most,
              const char* what, Each each) {
        std::size_t count = 0;
        number(count, width, static_cast<std::uint32_t>(least), static_cast<std::uint32_t>(most),
               what);
        for (std::size_t i = 0; i < count && !failed(); ++i) {
            items.emplace_back();
            each(items.back());
        }
    }
    std::uint32_t presence(std::uint32_t, int parts);
    void runs(std::vector<std::uint8_t>& cells, std::size_t cellCount, std::uint8_t lastBlock);
    void packed(std::vector<std::uint8_t>& cells, std::size_t cellCount);
    void cell(std::uint8_t& value, const char* what);

private:
    std::uint32_t readNumber(Width width, const char* what);
    void fail(std::string problem) {
        if (problem_.empty()) problem_ = std::move(problem);
    }

    PacketParser& packet_;
    std::string problem_;  // the first field that did not fit; empty while all did
};

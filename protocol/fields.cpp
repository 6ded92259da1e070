// The field walkers' out-of-line parts: texts, raw bytes and runs of cells.
#include "protocol/fields.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "net/packet_number.h"
#include "world/blocks.h"

namespace {

constexpr std::size_t kLongestRun = kLargestChar;  // a run's length is one char

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

bool isPrintable(char c) { return c >= ' ' && c <= '~'; }

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

const char* allowedText(const TextRule& rule) {
    switch (rule.characters) {
        case Characters::Name:
            return " letters, digits, _ or -";
        case Characters::Key:
            return " lower-case hex digits";
        case Characters::Printable:
            break;
    }
    return " printable characters";
}

}  // namespace

bool textFits(const std::string& text, const TextRule& rule) {
    if (text.size() < rule.shortest || text.size() > rule.longest) return false;
    switch (rule.characters) {
        case Characters::Name:
            return std::all_of(text.begin(), text.end(), isNameCharacter);
        case Characters::Key:
            // A key cut short or made by hand would open nothing: refused
            // at the door rather than compared.
            return text.empty() || (text.size() == rule.longest &&
                                    std::all_of(text.begin(), text.end(), isLowerHex));
        case Characters::Printable:
            break;
    }
    return std::all_of(text.begin(), text.end(), isPrintable);
}

void FieldWriter::runs(const std::vector<std::uint8_t>& cells, std::size_t, std::uint8_t) {
    std::vector<std::pair<std::uint8_t, std::size_t>> found;
    for (std::size_t i = 0; i < cells.size();) {
        std::size_t length = 1;
        while (i + length < cells.size() && length < kLongestRun && cells[i + length] == cells[i])
            ++length;
        found.emplace_back(cells[i], length);
        i += length;
    }
    packet_.addShort(static_cast<std::uint16_t>(found.size()));
    for (const auto& [block, length] : found) {
        packet_.addChar(block);
        packet_.addChar(static_cast<std::uint8_t>(length));
    }
}

std::uint32_t FieldReader::readNumber(Width width, const char* what) {
    const auto bytes = static_cast<std::size_t>(width);
    if (failed()) return 0;
    if (packet_.remaining() < bytes) {
        fail(std::string("the packet ends inside ") + what);
        return 0;
    }
    switch (width) {
        case Width::Char:
            return packet_.getChar();
        case Width::Short:
            return packet_.getShort();
        case Width::Three:
            return packet_.getThree();
        case Width::Int: {
            const std::string raw = packet_.getFixedString(4);
            return decodeNumber(raw[0], raw[1], raw[2], raw[3]);
        }
    }
    return 0;
}

void FieldReader::byte(std::uint8_t& value, const char* what) {
    if (failed()) return;
    if (packet_.remaining() < 1) {
        fail(std::string("the packet ends inside ") + what);
        return;
    }
    value = packet_.getByte();
}

void FieldReader::text(std::string& value, const TextRule& rule) {
    std::size_t length = 0;
    number(length, Width::Char, 0, kLargestChar, rule.what);
    if (failed()) return;
    if (packet_.remaining() < length) {
        fail(std::string("the packet ends inside ") + rule.what);
        return;
    }
    value = packet_.getFixedString(length);
    if (!textFits(value, rule)) {
        const std::string sizes =
            rule.characters == Characters::Key
                ? "0 or " + std::to_string(rule.longest)
                : std::to_string(rule.shortest) + ".." + std::to_string(rule.longest);
        fail(std::string(rule.what) + " of " + std::to_string(length) + " characters is not " +
             sizes + allowedText(rule));
    }
}

std::uint32_t FieldReader::presence(std::uint32_t, int parts) {
    std::uint32_t bits = 0;
    number(bits, Width::Char, 0, (1u << parts) - 1, "the parts present");
    return bits;
}

// Exactly cellCount cells, every run at least one cell long and every block
// a known one; a run that would overshoot the band is refused.
void FieldReader::runs(std::vector<std::uint8_t>& cells, std::size_t cellCount,
                       std::uint8_t lastBlock) {
    std::size_t count = 0;
    number(count, Width::Short, 1, static_cast<std::uint32_t>(cellCount), "runs of cells");
    cells.clear();
    cells.reserve(cellCount);
    for (std::size_t i = 0; i < count && !failed(); ++i) {
        std::uint8_t block = 0;
        std::size_t length = 0;
        number(block, Width::Char, 0, lastBlock, "block");
        number(length, Width::Char, 1, kLongestRun, "run length");
        if (failed()) return;
        if (cells.size() + length > cellCount) {
            fail("runs of cells go past the " + std::to_string(cellCount) + " cells of the band");
            return;
        }
        cells.insert(cells.end(), length, block);
    }
    if (!failed() && cells.size() != cellCount) {
        fail("runs of cells cover " + std::to_string(cells.size()) + " of the " +
             std::to_string(cellCount) + " cells of the band");
    }
}

namespace {

// The pieces compressed last, by their cells: a server sends the same piece
// to every player who comes near it, and checks each message it sends by
// writing it once more, so most pieces are compressed once.
struct Packed {
    std::uint64_t hash = 0;
    std::vector<std::uint8_t> cells;
    std::string bytes;
};
constexpr std::size_t kPackedKept = 64;
thread_local std::vector<Packed> packedKept;
thread_local std::size_t packedNext = 0;

std::uint64_t hashOf(const std::vector<std::uint8_t>& cells) {
    std::uint64_t hash = 14695981039346656037ull;
    std::size_t i = 0;
    for (; i + 8 <= cells.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, cells.data() + i, 8);
        hash = (hash ^ word) * 1099511628211ull;
    }
    for (; i < cells.size(); ++i) hash = (hash ^ cells[i]) * 1099511628211ull;
    return hash;
}

const std::string& compressed(const std::vector<std::uint8_t>& cells) {
    const std::uint64_t hash = hashOf(cells);
    for (const Packed& kept : packedKept)
        if (kept.hash == hash && kept.cells == cells) return kept.bytes;
    if (packedKept.size() < kPackedKept) packedKept.emplace_back();
    Packed& slot = packedKept[packedNext];
    packedNext = (packedNext + 1) % kPackedKept;
    uLongf length = compressBound(cells.size());
    slot.bytes.assign(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(slot.bytes.data()), &length, cells.data(), cells.size(),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        length = 0;  // the reader refuses an empty one: never sent
    slot.bytes.resize(length);
    slot.hash = hash;
    slot.cells = cells;
    return slot.bytes;
}

}  // namespace

void FieldWriter::packed(const std::vector<std::uint8_t>& cells, std::size_t) {
    const std::string& bytes = compressed(cells);
    packet_.addShort(
        static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), kLargestShort)));
    packet_.addString(bytes);
}

// Exactly cellCount cells out of exactly the bytes given, every one a block
// or a stream. The output is bounded by the cells wanted, however the stream claims
// to unfold.
void FieldReader::cell(std::uint8_t& value, const char* what) {
    std::uint8_t read = 0;
    number(read, Width::Char, 0, 0xFF, what);
    if (failed()) return;
    if (!isCellValue(read)) {
        fail(std::string(what) + " " + std::to_string(read) + " is no block or stream");
        return;
    }
    value = read;
}

void FieldReader::packed(std::vector<std::uint8_t>& cells, std::size_t cellCount) {
    std::size_t length = 0;
    number(length, Width::Short, 1, kLargestShort, "compressed cells");
    if (failed()) return;
    if (packet_.remaining() < length) {
        fail("the packet ends inside the compressed cells");
        return;
    }
    std::string bytes = packet_.getFixedString(length);
    cells.assign(cellCount + 1, 0);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        fail("no memory to unpack cells");
        return;
    }
    stream.next_in = reinterpret_cast<Bytef*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = cells.data();
    stream.avail_out = static_cast<uInt>(cells.size());
    const int result = inflate(&stream, Z_FINISH);
    const std::size_t made = cells.size() - stream.avail_out;
    const bool allRead = stream.avail_in == 0;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || !allRead || made != cellCount) {
        fail("compressed cells are not a stream of exactly " + std::to_string(cellCount) +
             " cells");
        return;
    }
    cells.resize(cellCount);
    for (const std::uint8_t block : cells)
        if (!isCellValue(block)) {
            fail("cell " + std::to_string(block) + " is no block or stream");
            return;
        }
}

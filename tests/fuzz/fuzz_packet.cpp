// Any received bytes through the codec's decode and every parser getter, any
// packet through encode, and fields chosen by the input through the writer and
// back through the parser: no crash, no undefined behaviour, lengths kept, and
// every field the encoding promises to keep read back as it was written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/packet_codec.h"
#include "net/packet_number.h"
#include "net/packet_parser.h"
#include "net/packet_writer.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// The first byte picks each read; the parser never yields more than it holds.
void readAll(PacketParser& parser, std::uint8_t script) {
    std::size_t before = parser.remaining();
    for (int step = 0; parser.remaining() > 0 && step < 64; ++step) {
        switch ((script + step) % 7) {
            case 0:
                parser.getByte();
                break;
            case 1:
                parser.getChar();
                break;
            case 2:
                require(parser.getShort() <= 64516);
                break;
            case 3:
                require(parser.getThree() <= 16322802u);
                break;
            case 4:
                require(parser.getFixedString(script % 5).size() <= before);
                break;
            case 5:
                parser.getBreakString(script);
                break;
            default:
                parser.getEndString();
                break;
        }
        require(parser.remaining() <= before);
        before = parser.remaining();
    }
}

// The largest value a number field of each width (1 to 4 bytes) keeps.
constexpr std::uint32_t kLargestOfWidth[5] = {0, 252, 64008, 16194276, kLargestEncodable};

// Takes bytes off the front of the input; 0 once it runs out.
struct Input {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t at = 0;

    bool empty() const { return at >= size; }
    std::uint8_t next() { return at < size ? bytes[at++] : 0; }
    std::uint32_t number() {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i) n = n << 8 | next();
        return n;
    }
    std::string text() {
        std::size_t length = std::min<std::size_t>(next() % 16, size - at);
        std::string result(reinterpret_cast<const char*>(bytes + at), length);
        at += length;
        return result;
    }
};

// One field as written, and what reading it back must give.
struct Field {
    enum Kind { Byte, Number, Text, BreakText };
    Kind kind = Number;
    int width = 0;            // bytes of a Number
    std::uint32_t value = 0;  // a Byte, or a Number as it went in
    std::string text;         // a Text, or a BreakText as stored
    std::uint8_t delimiter = 0;

    std::uint32_t bytes() const {
        switch (kind) {
            case Byte:
                return 1;
            case Number:
                return static_cast<std::uint32_t>(width);
            case Text:
                return static_cast<std::uint32_t>(text.size());
            default:
                return static_cast<std::uint32_t>(text.size()) + 1;
        }
    }
};

// The width addVar picks: the first of its four rules that holds.
int varWidth(int minWidth, int maxWidth, std::uint32_t n) {
    if (minWidth < 2 && (maxWidth < 2 || n < 253)) return 1;
    if (minWidth < 3 && (maxWidth < 3 || n < 64009)) return 2;
    if (minWidth < 4 && (maxWidth < 4 || n < 16194277)) return 3;
    return 4;
}

// The value a field of the width holds once addVar has narrowed n to it.
std::uint32_t narrowed(int width, std::uint32_t n) {
    return width == 1 ? n & 0xFF : width == 2 ? n & 0xFFFF : n;
}

Field writeField(PacketWriter& writer, Input& input) {
    Field field;
    switch (input.next() % 8) {
        case 0:
            field.kind = Field::Byte;
            field.value = writer.addByte(input.next());
            break;
        case 1:
            field.width = 1;
            field.value = writer.addChar(input.next());
            break;
        case 2:
            field.width = 2;
            field.value = writer.addShort(static_cast<std::uint16_t>(input.number()));
            break;
        case 3:
            field.width = 3;
            field.value = writer.addThree(input.number());
            break;
        case 4:
            field.width = 4;
            field.value = writer.addInt(input.number());
            break;
        case 5: {
            int minWidth = input.next() % 6, maxWidth = input.next() % 6;
            std::uint32_t n = input.number();
            require(writer.addVar(minWidth, maxWidth, n) == n);
            field.width = varWidth(minWidth, maxWidth, n);
            field.value = narrowed(field.width, n);
            break;
        }
        case 6:
            field.kind = Field::Text;
            field.text = writer.addString(input.text());
            break;
        default: {
            field.kind = Field::BreakText;
            field.text = input.text();
            field.delimiter = input.next();
            require(writer.addBreakString(field.text, field.delimiter) == field.text);
            std::replace(field.text.begin(), field.text.end(), static_cast<char>(field.delimiter),
                         'y');
            break;
        }
    }
    return field;
}

std::uint32_t readNumber(PacketParser& parser, int width) {
    switch (width) {
        case 1:
            return parser.getChar();
        case 2:
            return parser.getShort();
        case 3:
            return parser.getThree();
        default: {
            std::string raw = parser.getFixedString(4);
            require(raw.size() == 4);
            return decodeNumber(raw[0], raw[1], raw[2], raw[3]);
        }
    }
}

void readField(PacketParser& parser, const Field& field) {
    const std::size_t before = parser.remaining();
    switch (field.kind) {
        case Field::Byte:
            require(parser.getByte() == field.value);
            break;
        case Field::Number: {
            std::uint32_t value = readNumber(parser, field.width);
            require(value == field.value || field.value > kLargestOfWidth[field.width]);
            require(parser.remaining() == before - field.width);
            break;
        }
        case Field::Text:
            require(parser.getFixedString(field.text.size()) == field.text);
            break;
        case Field::BreakText:
            // A delimiter of 'y' is also its stand-in: the first 'y' ends the field.
            if (field.text.find(static_cast<char>(field.delimiter)) != std::string::npos) {
                parser.getFixedString(field.text.size() + 1);
            } else {
                require(parser.getBreakString(field.delimiter) == field.text);
            }
            require(parser.remaining() == before - field.text.size() - 1);
            break;
    }
}

// Fields chosen by the input into a writer; the packet's header and every
// field read back.
void writeAndReadBack(const std::uint8_t* bytes, std::size_t size, PacketCodec& codec) {
    Input input{bytes, size};
    const std::uint8_t idLow = input.next(), idHigh = input.next();
    PacketWriter writer(idLow, idHigh);
    std::vector<Field> fields;
    std::uint32_t written = 0;
    while (!input.empty() && fields.size() < 64) {
        fields.push_back(writeField(writer, input));
        written += fields.back().bytes();
        require(writer.length() == written);
    }

    const std::string packet = writer.get();
    require(packet.size() == 4 + written);
    std::uint16_t id = makeId(idLow, idHigh) == 0 ? 0xFFFF : makeId(idLow, idHigh);
    require(static_cast<std::uint8_t>(packet[2]) == id >> 8);
    require(static_cast<std::uint8_t>(packet[3]) == (id & 0xFF));
    std::uint32_t headerLength = written + 2 + ((id & 0xFF) != 255);
    if (headerLength <= kLargestOfWidth[2]) {
        require(decodeNumber(packet[0], packet[1], kAbsentDigit, kAbsentDigit) == headerLength);
    }

    PacketParser parser(packet.substr(4));
    for (const Field& field : fields) readField(parser, field);
    require(parser.remaining() == 0);
    require(codec.encode(packet).size() == packet.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 3) return 0;
    PacketCodec codec;
    codec.setMultiples(bytes[0], bytes[1]);
    codec.setSequenceStart(bytes[2]);
    std::string body(reinterpret_cast<const char*>(bytes + 3), size - 3);

    require(codec.decode(body) == body);
    std::string plain = codec.decode(body);
    require(plain.size() == body.size());
    PacketParser parser(plain);
    require(parser.length() == plain.size());
    readAll(parser, bytes[0]);

    try {
        std::string sent = codec.encode(body);
        require(body.size() >= 4 && sent.size() == body.size() + 1);
    } catch (const std::out_of_range&) {
        require(body.size() < 4);
    }
    std::uint32_t value = static_cast<std::uint32_t>(size) * 65537u % (kLargestEncodable + 1);
    EncodedNumber number = encodeNumber(value);
    require(decodeNumber(number[0], number[1], number[2], number[3]) == value);
    writeAndReadBack(bytes, size, codec);
    return 0;
}

// Any received bytes through the codec's decode and every parser getter, and
// any packet through encode: no crash, no undefined behaviour, lengths kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "net/packet_codec.h"
#include "net/packet_number.h"
#include "net/packet_parser.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// The first byte picks each read; the parser never yields more than it holds.
void readAll(PacketParser& parser, std::uint8_t script) {
    std::size_t before = parser.remaining();
    for (int step = 0; parser.remaining() > 0 && step < 64; ++step) {
        switch ((script + step) % 7) {
            case 0: parser.getByte(); break;
            case 1: parser.getChar(); break;
            case 2: require(parser.getShort() <= 64516); break;
            case 3: require(parser.getThree() <= 16322802u); break;
            case 4: require(parser.getFixedString(script % 5).size() <= before); break;
            case 5: parser.getBreakString(script); break;
            default: parser.getEndString(); break;
        }
        require(parser.remaining() <= before);
        before = parser.remaining();
    }
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
    return 0;
}

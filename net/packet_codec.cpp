// The sequence cycle and the byte scrambling of both directions.
#include "net/packet_codec.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::uint8_t kSequenceSteps = 10;
constexpr std::size_t kPacketHeader = 4;  // length (2) and id (2)
constexpr std::uint8_t kFlipBit = 0x80;

// The positions in scrambled order: the even ones from `first` upward, then
// the odd ones from the top down to first + 1.
std::vector<std::size_t> interleavedPositions(std::size_t first, std::size_t n) {
    std::vector<std::size_t> positions;
    positions.reserve(n);
    for (std::size_t i = first; i < n; i += 2) positions.push_back(i);
    std::size_t oddCount = n > first ? (n - first) / 2 : 0;
    for (std::size_t k = oddCount; k > 0; --k) positions.push_back(first + 2 * k - 1);
    return positions;
}

// A 0x80 becomes 0 and a 0 becomes 0x80, past the first two bytes.
void swapZeroAndFlipBit(std::string& bytes) {
    for (std::size_t i = 2; i < bytes.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte == kFlipBit) bytes[i] = 0;
        else if (byte == 0) bytes[i] = static_cast<char>(kFlipBit);
    }
}

char flipped(char byte) { return static_cast<char>(static_cast<unsigned char>(byte) ^ kFlipBit); }

}  // namespace

std::string swapMultiples(const std::string& bytes, std::uint8_t multiple) {
    if (multiple == 0) return bytes;
    std::string out = bytes;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        bool inRun = i < bytes.size() && static_cast<unsigned char>(bytes[i]) % multiple == 0;
        if (inRun) continue;
        std::reverse(out.begin() + static_cast<std::ptrdiff_t>(runStart),
                     out.begin() + static_cast<std::ptrdiff_t>(i));
        runStart = i + 1;
    }
    return out;
}

void PacketCodec::setMultiples(std::uint8_t send, std::uint8_t recv) {
    sendMultiple = send;
    recvMultiple = recv;
}

void PacketCodec::setSequenceStart(std::uint8_t start) { sequenceStart = start; }

std::uint8_t PacketCodec::nextSequence() {
    std::uint8_t step = sequenceCounter;
    sequenceCounter = static_cast<std::uint8_t>(step + 1 >= kSequenceSteps ? 0 : step + 1);
    return static_cast<std::uint8_t>(sequenceStart + step);
}

std::string PacketCodec::encode(const std::string& packet) {
    if (packet.size() < kPacketHeader) throw std::out_of_range("basic_string::substr");
    std::string plain = packet.substr(0, kPacketHeader);
    plain.push_back(static_cast<char>(nextSequence()));
    plain.append(packet, kPacketHeader, std::string::npos);
    std::string swapped = swapMultiples(plain, sendMultiple);

    // The first two bytes keep their place; the rest are dealt out.
    std::string out = swapped;
    std::size_t next = 2;
    for (std::size_t position : interleavedPositions(2, swapped.size())) {
        out[position] = flipped(swapped[next++]);
    }
    swapZeroAndFlipBit(out);
    return out;
}

std::string PacketCodec::decode(const std::string& body) {
    if (firstPacket) {
        firstPacket = false;
        return body;
    }
    std::string out(body.size(), '\0');
    std::size_t next = 0;
    for (std::size_t position : interleavedPositions(0, body.size())) {
        out[next++] = flipped(body[position]);
    }
    swapZeroAndFlipBit(out);
    return swapMultiples(out, recvMultiple);
}

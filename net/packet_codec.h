// Per-connection packet scrambling: a sequence byte in every outgoing packet,
// reversed runs of multiples of a key, an interleaving of the bytes, and a
// flipped top bit. Outgoing and incoming packets use different layouts.
#pragma once

#include <cstdint>
#include <string>

// Reverses every maximal run of bytes that are multiples of `multiple`
// (0 counts as one); a multiple of 0 leaves the bytes alone.
std::string swapMultiples(const std::string& bytes, std::uint8_t multiple);

class PacketCodec {
public:
    PacketCodec() = default;

    void setMultiples(std::uint8_t send, std::uint8_t recv);
    void setSequenceStart(std::uint8_t start);
    // sequenceStart + 1, + 2, ..., + 9, + 0, + 1, ... (mod 256) from a new codec.
    std::uint8_t nextSequence();

    // packet is what PacketWriter::get() gives: at least 4 bytes, else
    // std::out_of_range. Every call takes the next sequence byte.
    std::string encode(const std::string& packet);
    // body is a received packet without its two length bytes. The very first
    // one comes through untouched.
    std::string decode(const std::string& body);

private:
    std::uint8_t sendMultiple = 0;
    std::uint8_t recvMultiple = 0;
    bool firstPacket = true;
    std::uint8_t sequenceStart = 0;
    std::uint8_t sequenceCounter = 1;  // 0..9
};

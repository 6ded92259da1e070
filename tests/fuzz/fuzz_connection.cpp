// Any bytes as one connection's incoming stream, on the server's end or the
// game's: split into packets, through the first exchange, the codec and the
// sequence check, decoded into messages. No crash, no undefined behaviour,
// and every message that comes out is already within its ranges: sent back,
// it would pass the same checks. The keys are fixed so that a recorded session
// in the corpus gets past the first exchange.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/codec.h"
#include "protocol/packet_stream.h"

namespace {

constexpr std::uint32_t kKeyBits = 0x2B7E1516u;

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    // The first byte: which end listens, and how the bytes arrive in pieces.
    const bool serverEnd = (bytes[0] & 1) == 0;
    const std::size_t piece = 1 + (bytes[0] >> 1);
    PacketStream stream =
        serverEnd ? PacketStream::server(handshakeKeysFrom(kKeyBits)) : PacketStream::client();
    const Sender peer = serverEnd ? Sender::Client : Sender::Server;

    const std::string input(reinterpret_cast<const char*>(bytes + 1), size - 1);
    for (std::size_t at = 0; at < input.size(); at += piece) {
        stream.feed(input.substr(at, piece));
        while (auto message = stream.next()) {
            require(!stream.refusal());
            const MessageRow row = rowOf(*message);
            require(row.sender == peer || row.sender == Sender::Either);
            require(problemWith(*message).empty());
        }
        require(!stream.refusal() || !stream.next());
    }
    // Whatever it answered (the reply to a Hello) is the stream's own making.
    stream.takeOutgoing();
    return 0;
}

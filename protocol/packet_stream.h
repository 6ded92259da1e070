// One connection's bytes, without the socket: the byte stream split into
// packets by their two length bytes, the first exchange that sets up the
// connection's PacketCodec, the peer's sequence bytes checked, and every
// packet decoded into a checked message. The first refusal ends the reading
// for good: a peer that sent something wrong is not listened to again.
//
// The first exchange: the client's first packet is Hello (Connection/Init),
// the server's first is HelloReply (Connection/Init), both sent plain and
// without a sequence byte, the one packet each way that PacketCodec::decode
// lets through untouched. HelloReply tells the client the two multiples and
// the two sequence starts; from then on every packet is scrambled and carries
// the sender's next sequence byte. Each end compares the other's version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/packet_codec.h"
#include "protocol/messages.h"

// The length the two length bytes give: id, sequence byte and fields. The
// client's packets are small; the server's largest is a band of cells that
// never run, and every server message within its limits fits.
constexpr std::size_t kLargestClientPacket = 4096;
constexpr std::size_t kLargestServerPacket = 16384;

// The codec keys the server draws for one connection, seen from the client.
struct HandshakeKeys {
    std::uint8_t clientSendMultiple = HelloReply::kLeastMultiple;
    std::uint8_t clientRecvMultiple = HelloReply::kLeastMultiple;
    std::uint8_t clientSequenceStart = 0;
    std::uint8_t serverSequenceStart = 0;
};
// Keys from 32 random bits; multiples stay in HelloReply's range, where the
// scrambling never moves a length byte.
HandshakeKeys handshakeKeysFrom(std::uint32_t randomBits);

struct Refusal {
    Reason reason;     // what to tell the peer: BrokeProtocol or VersionsDiffer
    std::string text;  // one line for the log
};

class PacketStream {
public:
    static PacketStream server(HandshakeKeys keys);
    static PacketStream client();  // its Hello is queued at once

    // Bytes that arrived from the peer. A packet whose length is over the
    // limit is refused as soon as its two length bytes are here.
    void feed(const std::string& bytes);
    // The next checked message, or nothing until more bytes arrive or once
    // the stream is refused. The first exchange is handled here and never
    // comes out.
    std::optional<Message> next();
    const std::optional<Refusal>& refusal() const { return refusal_; }
    bool ready() const { return ready_; }  // the first exchange is done

    // Queues a message for the peer. False, and nothing queued, for a
    // message the peer would refuse (problemWith), one this side does not
    // send, or one over the packet limit. A client's messages before the
    // first exchange is done wait for it.
    bool send(const Message& message);
    std::string takeOutgoing();  // the bytes for the socket, in order

private:
    explicit PacketStream(Sender side) : side_(side) {}
    bool frameAtFront(std::size_t& length);  // false: not all here yet, or refused
    std::optional<Message> handle(const std::string& body);
    std::optional<Message> firstExchange(const std::string& plain);
    void setUp(std::uint8_t sendMultiple, std::uint8_t recvMultiple, std::uint8_t sendStart,
               std::uint8_t recvStart);
    void sendPlain(const Message& message);
    void refuse(Reason reason, std::string text);

    Sender side_;
    HandshakeKeys keys_;  // the server's, for its reply
    PacketCodec codec_;
    PacketCodec peerSequence_;  // counts the peer's sequence bytes as its codec makes them
    bool ready_ = false;
    std::optional<Refusal> refusal_;
    std::string inbound_;
    std::size_t read_ = 0;  // bytes of inbound_ already taken
    std::string outbound_;
    std::vector<Message> waiting_;  // a client's messages before the first exchange
};

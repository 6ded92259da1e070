// Framing, the first exchange, the sequence check and the scrambling of one
// connection.
#include "protocol/packet_stream.h"

#include <utility>

#include "net/packet_number.h"
#include "protocol/codec.h"

namespace {

constexpr std::size_t kLengthBytes = 2;
constexpr std::size_t kShortestFirst = 2;  // family, action
constexpr std::size_t kShortestLater = 3;  // family, action, sequence byte
constexpr std::uint8_t kMultipleSpan = HelloReply::kMostMultiple - HelloReply::kLeastMultiple + 1;

}  // namespace

HandshakeKeys handshakeKeysFrom(std::uint32_t bits) {
    HandshakeKeys keys;
    keys.clientSendMultiple =
        static_cast<std::uint8_t>(HelloReply::kLeastMultiple + (bits & 0xFF) % kMultipleSpan);
    keys.clientRecvMultiple =
        static_cast<std::uint8_t>(HelloReply::kLeastMultiple + (bits >> 8 & 0xFF) % kMultipleSpan);
    keys.clientSequenceStart = static_cast<std::uint8_t>(bits >> 16);
    keys.serverSequenceStart = static_cast<std::uint8_t>(bits >> 24);
    return keys;
}

PacketStream PacketStream::server(HandshakeKeys keys) {
    PacketStream stream(Sender::Server);
    stream.keys_ = keys;
    return stream;
}

PacketStream PacketStream::client() {
    PacketStream stream(Sender::Client);
    stream.sendPlain(Hello{});
    return stream;
}

void PacketStream::feed(const std::string& bytes) {
    if (refusal_) return;
    inbound_.erase(0, read_);
    read_ = 0;
    inbound_ += bytes;
    std::size_t length = 0;
    frameAtFront(length);  // refuses an oversized packet before its bytes pile up
}

std::optional<Message> PacketStream::next() {
    std::size_t length = 0;
    while (!refusal_ && frameAtFront(length)) {
        const std::string body = inbound_.substr(read_ + kLengthBytes, length);
        read_ += kLengthBytes + length;
        if (auto message = handle(body)) return message;
    }
    return std::nullopt;
}

// Whether a whole packet waits at the front; its length is checked as soon as
// the two length bytes are in.
bool PacketStream::frameAtFront(std::size_t& length) {
    if (refusal_ || inbound_.size() - read_ < kLengthBytes) return false;
    length =
        decodeNumber(static_cast<std::uint8_t>(inbound_[read_]),
                     static_cast<std::uint8_t>(inbound_[read_ + 1]), kAbsentDigit, kAbsentDigit);
    const std::size_t largest =
        side_ == Sender::Server ? kLargestClientPacket : kLargestServerPacket;
    const std::size_t shortest = ready_ ? kShortestLater : kShortestFirst;
    if (length > largest) {
        refuse(Reason::BrokeProtocol, "packet of " + std::to_string(length) +
                                          " bytes is over the limit of " + std::to_string(largest));
        return false;
    }
    if (length < shortest) {
        refuse(Reason::BrokeProtocol,
               "packet of " + std::to_string(length) + " bytes is too short");
        return false;
    }
    return inbound_.size() - read_ >= kLengthBytes + length;
}

std::optional<Message> PacketStream::handle(const std::string& body) {
    const std::string plain = codec_.decode(body);
    if (!ready_) return firstExchange(plain);
    const PacketId id{static_cast<Family>(plain[0]), static_cast<Action>(plain[1])};
    if (id.action == Action::Init) {
        refuse(Reason::BrokeProtocol, "a second first exchange");
        return std::nullopt;
    }
    const auto sequence = static_cast<std::uint8_t>(plain[2]);
    const std::uint8_t due = peerSequence_.nextSequence();
    if (sequence != due) {
        refuse(Reason::BrokeProtocol, "sequence byte " + std::to_string(sequence) + " where " +
                                          std::to_string(due) + " was due");
        return std::nullopt;
    }
    const Sender from = side_ == Sender::Server ? Sender::Client : Sender::Server;
    Decoded decoded = decodeMessage(id, plain.substr(kShortestLater), from);
    if (auto* problem = std::get_if<std::string>(&decoded)) {
        refuse(Reason::BrokeProtocol, std::move(*problem));
        return std::nullopt;
    }
    return std::get<Message>(std::move(decoded));
}

std::optional<Message> PacketStream::firstExchange(const std::string& plain) {
    const PacketId id{static_cast<Family>(plain[0]), static_cast<Action>(plain[1])};
    if (!(id == Hello::kId)) {
        refuse(Reason::BrokeProtocol, "the first packet is not the first exchange");
        return std::nullopt;
    }
    const Sender from = side_ == Sender::Server ? Sender::Client : Sender::Server;
    Decoded decoded = decodeMessage(id, plain.substr(kShortestFirst), from);
    if (auto* problem = std::get_if<std::string>(&decoded)) {
        refuse(Reason::BrokeProtocol, std::move(*problem));
        return std::nullopt;
    }
    const Message& message = std::get<Message>(decoded);
    if (side_ == Sender::Server) {
        const auto& hello = std::get<Hello>(message);
        // The reply goes out either way: a client of another version reads
        // ours from it and can say which.
        HelloReply reply;
        reply.sendMultiple = keys_.clientSendMultiple;
        reply.recvMultiple = keys_.clientRecvMultiple;
        reply.sendSequenceStart = keys_.clientSequenceStart;
        reply.recvSequenceStart = keys_.serverSequenceStart;
        sendPlain(reply);
        if (hello.version != kProtocolVersion) {
            refuse(Reason::VersionsDiffer, "versions differ: client " +
                                               std::to_string(hello.version) + ", server " +
                                               std::to_string(kProtocolVersion));
            return std::nullopt;
        }
        setUp(keys_.clientRecvMultiple, keys_.clientSendMultiple, keys_.serverSequenceStart,
              keys_.clientSequenceStart);
        return std::nullopt;
    }
    const auto& reply = std::get<HelloReply>(message);
    if (reply.version != kProtocolVersion) {
        refuse(Reason::VersionsDiffer, "versions differ: server " + std::to_string(reply.version) +
                                           ", client " + std::to_string(kProtocolVersion));
        return std::nullopt;
    }
    setUp(reply.sendMultiple, reply.recvMultiple, reply.sendSequenceStart, reply.recvSequenceStart);
    std::vector<Message> waiting = std::move(waiting_);
    waiting_.clear();
    for (const Message& m : waiting) send(m);
    return std::nullopt;
}

void PacketStream::setUp(std::uint8_t sendMultiple, std::uint8_t recvMultiple,
                         std::uint8_t sendStart, std::uint8_t recvStart) {
    codec_.setMultiples(sendMultiple, recvMultiple);
    codec_.setSequenceStart(sendStart);
    peerSequence_.setSequenceStart(recvStart);
    ready_ = true;
}

// The first exchange travels as PacketWriter makes it: no sequence byte, no
// scrambling.
void PacketStream::sendPlain(const Message& message) { outbound_ += encodePacket(message); }

bool PacketStream::send(const Message& message) {
    const MessageRow row = rowOf(message);
    if (row.id.action == Action::Init || (row.sender != side_ && row.sender != Sender::Either))
        return false;
    if (!problemWith(message).empty()) return false;
    if (!ready_) {
        if (side_ == Sender::Server || refusal_) return false;
        waiting_.push_back(message);
        return true;
    }
    const std::string packet = encodePacket(message);
    const std::size_t largest =
        side_ == Sender::Server ? kLargestServerPacket : kLargestClientPacket;
    if (packet.size() - kLengthBytes + 1 > largest) return false;
    const std::string wire = codec_.encode(packet);
    outbound_ += wire;
    return true;
}

std::string PacketStream::takeOutgoing() { return std::exchange(outbound_, std::string()); }

void PacketStream::refuse(Reason reason, std::string text) {
    if (!refusal_) refusal_ = Refusal{reason, std::move(text)};
}

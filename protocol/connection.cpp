// The stream's bytes in and out of the socket's queues.
#include "protocol/connection.h"

Connection::Connection(std::unique_ptr<Client> client, HandshakeKeys keys)
    : client_(std::move(client)), stream_(PacketStream::server(keys)) {
    limit(kServerSendLimit, kServerReceiveLimit);
}

Connection::Connection(Ipv4Address address, std::uint16_t port, Ipv4Address from)
    : client_(std::make_unique<Client>()), stream_(PacketStream::client()) {
    limit(kClientSendLimit, kClientReceiveLimit);
    if (from.value() != 0) client_->bind(from, 0);
    if (client_->connect(address, port)) {
        client_->setNoDelay();
        pushOutgoing();
    }
}

void Connection::limit(std::uint32_t send, std::uint32_t receive) {
    client_->setSendLimit(send);
    client_->setRecvLimit(receive);
}

bool Connection::send(const Message& message) {
    if (!client_->isConnected() || leaving_) return false;
    if (!stream_.send(message)) return false;
    pushOutgoing();
    return client_->isConnected();
}

// Also once the socket has closed: what arrived before still counts. Bytes
// move from the socket's queue only when no whole packet is left in the
// stream, so an owner that takes a few messages a tick holds at most the
// socket's receive limit, however fast the peer sends.
std::optional<Message> Connection::receive() {
    if (leaving_) return std::nullopt;
    auto message = stream_.next();
    if (!message && client_->bytesToRead() > 0) {
        stream_.feed(client_->read(client_->bytesToRead()));
        message = stream_.next();
    }
    // The server's reply to the first exchange, or a client's waiting messages.
    pushOutgoing();
    return message;
}

void Connection::leave(Reason reason, const std::string& detail) {
    if (leaving_) return;
    if (stream_.ready()) send(Leave{reason, detail});
    leaving_ = true;
}

bool Connection::isOpen() const { return client_->isConnected() && !stream_.refusal(); }

std::string Connection::endText() const {
    if (const auto& refusal = stream_.refusal()) return refusal->text;
    if (client_->bytesToSend() > client_->sendLimit())
        return "stopped reading (" + std::to_string(client_->bytesToSend()) + " bytes waiting)";
    if (!client_->isConnected()) return "connection closed";
    return "";
}

void Connection::pushOutgoing() {
    const std::string bytes = stream_.takeOutgoing();
    if (!bytes.empty() && client_->isConnected()) client_->send(bytes);
}

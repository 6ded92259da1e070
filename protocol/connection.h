// One connection as the server and the game use it: a Client for the socket
// and a PacketStream for the bytes. send() takes a message, receive() gives
// the next checked one; the socket itself is pumped elsewhere (a PollSet on
// the server, Client::poll in the game).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/client.h"
#include "protocol/packet_stream.h"

// What a connection may hold of the peer's and its own bytes. A peer that
// stops reading fills the send queue, and its connection ends; the server's
// cap stays far below what one player could cost it.
constexpr std::uint32_t kServerSendLimit = 256 * 1024;
constexpr std::uint32_t kServerReceiveLimit = 64 * 1024;
constexpr std::uint32_t kClientSendLimit = 64 * 1024;
constexpr std::uint32_t kClientReceiveLimit = 1024 * 1024;

class Connection {
public:
    // The server's end of an accepted connection; it waits for the Hello.
    Connection(std::unique_ptr<Client> client, HandshakeKeys keys);
    // The game's end: connects to address:port (blocking) and says hello;
    // see isOpen(). A `from` other than 0.0.0.0 is the local address to
    // connect from (a test's many players on one machine's loopback).
    Connection(Ipv4Address address, std::uint16_t port, Ipv4Address from = Ipv4Address());

    // False when nothing was sent: the message fails its own check
    // (PacketStream::send), or the connection has ended.
    bool send(const Message& message);
    // The next checked message from what the socket has brought in.
    std::optional<Message> receive();
    // Sends Leave and stops listening; the owner drops the connection once
    // client().bytesToSend() is 0 or it has waited long enough.
    void leave(Reason reason, const std::string& detail = "");

    bool ready() const { return stream_.ready(); }
    bool isOpen() const;
    // Why the connection ended, in one line for the log ("" while open): the
    // refusal of the peer's bytes, a peer that stopped reading, or one that
    // closed.
    std::string endText() const;
    const std::optional<Refusal>& refusal() const { return stream_.refusal(); }

    Client& client() { return *client_; }
    const Client& client() const { return *client_; }

private:
    void limit(std::uint32_t send, std::uint32_t receive);
    void pushOutgoing();

    std::unique_ptr<Client> client_;
    PacketStream stream_;
    bool leaving_ = false;
};

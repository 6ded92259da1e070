// A TCP client driven by polling: bytes to send and bytes received wait in
// queues, and each poll() moves at most one receive and one send.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "net/ipv4_address.h"
#include "net/socket_errors.h"

class Client {
public:
    static constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;

    Client();
    Client(Ipv4Address address, std::uint16_t port);  // see isConnected()
    explicit Client(int leaveOpen);
    // Adopts a socket that is already connected to remote.
    Client(int socket, sockaddr_in remote, int leaveOpen);
    virtual ~Client();

    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connect(Ipv4Address address, std::uint16_t port);
    void bind(Ipv4Address address, std::uint16_t port);  // throws Socket_BindFailed
    void send(const std::string& data);
    std::string read(std::size_t count);
    void poll(double seconds);  // throws Socket_SelectFailed
    void close(bool forgetTime);
    // Closes at once and drops whatever is still queued: for a peer that
    // stopped reading, whose flush would only wait out its budget. Also ends
    // a client that an overfull send queue has cut off.
    void abort(bool forgetTime);

    // For a wait shared with other sockets (PollSet): the poll(2) events this
    // client waits for now, 0 once it is closed; then what that wait reported.
    // handleEvents moves at most one receive and one send and never waits: a
    // peer that has gone gets what one send takes before the socket closes.
    short pollEvents() const;
    void handleEvents(short revents);
    bool setNoDelay();  // sends small packets at once instead of gathering them

    bool isConnected() const { return connected_; }
    Ipv4Address remoteAddress() const { return Ipv4Address(remote_.sin_addr); }
    std::time_t disconnectTime() const { return disconnectTime_; }
    int handle() const { return sock_; }  // -1 once closed
    std::size_t bytesToSend() const { return sendQueue_.size(); }
    std::size_t bytesToRead() const { return recvQueue_.size(); }

    int leaveOpen() const { return leaveOpen_; }
    void setLeaveOpen(int leaveOpen) { leaveOpen_ = leaveOpen; }
    std::uint32_t recvLimit() const { return recvLimit_; }
    void setRecvLimit(std::uint32_t limit) { recvLimit_ = limit; }
    std::uint32_t sendLimit() const { return sendLimit_; }
    void setSendLimit(std::uint32_t limit) { sendLimit_ = limit; }

private:
    // PeerFinished: the peer will send nothing more, but may still read.
    enum class PumpResult { Fine, PeerFinished, ConnectionFailed, WaitFailed };
    enum class Receipt { Bytes, Nothing, End, Failed };  // what one receive brought

    PumpResult pump(double seconds, bool reading);
    short wantedEvents(bool reading) const;
    PumpResult transfer(short revents);
    Receipt receiveOnce();
    bool sendOnce();
    void flush();

    bool connected_ = false;
    bool wasConnected_ =
        false;  // once set, leaveOpen_ decides whether the socket outlives the client
    std::time_t disconnectTime_ = 0;
    int sock_ = -1;
    sockaddr_in remote_{};
    std::string sendQueue_;
    std::string recvQueue_;
    int leaveOpen_ = 0;  // when set, close() leaves the socket and its output alone
    std::uint32_t recvLimit_ = kNoLimit;
    std::uint32_t sendLimit_ = kNoLimit;
};

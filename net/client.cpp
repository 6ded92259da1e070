// Blocking connect, queued transfer pumped by poll(2), and a bounded flush on close.
#include "net/client.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReceiveBufferSize = 32767;
constexpr double kFlushStep = 0.1;  // seconds per poll while closing
constexpr std::chrono::seconds kFlushBudget{
    5};                               // a peer that takes nothing cannot hold close() longer
constexpr double kLongestWait = 1e9;  // seconds; keeps deadline arithmetic in range

int newTcpSocket() { return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

sockaddr_in socketAddress(Ipv4Address address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = address.toNetworkOrder();
    return result;
}

bool exceeds(std::size_t size, std::uint32_t limit) {
    return limit != Client::kNoLimit && size > limit;
}

bool below(std::size_t size, std::uint32_t limit) {
    return limit == Client::kNoLimit || size < limit;
}

// Whole seconds and microseconds, each truncated toward zero; a negative or
// NaN time only looks.
Clock::duration waitTime(double seconds) {
    if (!(seconds > 0)) {
        return Clock::duration::zero();
    }
    seconds = std::min(seconds, kLongestWait);
    const double whole = std::trunc(seconds);
    return std::chrono::seconds(static_cast<long long>(whole)) +
           std::chrono::microseconds(static_cast<long long>((seconds - whole) * 1e6));
}

timespec toTimespec(Clock::duration time) {
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(time);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(time - whole);
    return timespec{static_cast<time_t>(whole.count()), static_cast<long>(nanos.count())};
}

// poll(2) rather than select: a descriptor above FD_SETSIZE would overflow a
// fixed set. A signal does not cut the wait short.
int waitForEvents(pollfd& entry, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const timespec left =
            toTimespec(std::max(deadline - Clock::now(), Clock::duration::zero()));
        const int result = ::ppoll(&entry, 1, &left, nullptr);
        if (result >= 0 || errno != EINTR) {
            return result;
        }
    }
}

// A connect cut short by a signal goes on in the background; wait for its outcome.
bool finishInterruptedConnect(int sock) {
    pollfd entry{sock, POLLOUT, 0};
    while (::poll(&entry, 1, -1) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool nothingMovedThisTime() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

}  // namespace

Client::Client() : sock_(newTcpSocket()) {}

Client::Client(Ipv4Address address, std::uint16_t port) : Client() { connect(address, port); }

Client::Client(int leaveOpen) : sock_(newTcpSocket()), leaveOpen_(leaveOpen) {}

Client::Client(int socket, sockaddr_in remote, int leaveOpen)
    : connected_(true),
      wasConnected_(true),
      sock_(socket),
      remote_(remote),
      leaveOpen_(leaveOpen) {}

Client::~Client() {
    if (connected_) {
        close(false);
    }
    // close() never releases a socket that was not connected (never connected,
    // refused, or cut off by an overfull send queue). The client owns it
    // unless told to leave open a socket that had a connection: one that never
    // had one is of use to nobody.
    if (sock_ >= 0 && !(leaveOpen_ && wasConnected_)) {
        ::close(sock_);
    }
}

bool Client::connect(Ipv4Address address, std::uint16_t port) {
    remote_ = socketAddress(address, port);
    leaveOpen_ = 0;
    const int result =
        ::connect(sock_, reinterpret_cast<const sockaddr*>(&remote_), sizeof remote_);
    connected_ = result == 0 || (errno == EINTR && finishInterruptedConnect(sock_));
    wasConnected_ = wasConnected_ || connected_;
    return connected_;
}

void Client::bind(Ipv4Address address, std::uint16_t port) {
    const sockaddr_in local = socketAddress(address, port);
    if (::bind(sock_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == -1) {
        throw Socket_BindFailed(lastErrorText());
    }
}

void Client::send(const std::string& data) {
    sendQueue_ += data;
    if (exceeds(sendQueue_.size(), sendLimit_)) {
        connected_ = false;
    }
}

std::string Client::read(std::size_t count) {
    const std::size_t taken = std::min(count, recvQueue_.size());
    std::string result = recvQueue_.substr(0, taken);
    recvQueue_.erase(0, taken);
    return result;
}

void Client::poll(double seconds) {
    if (!connected_) {
        // Nothing to move, never connected or closed alike: the wait alone
        // keeps a caller that polls in a loop at its pace.
        pollfd nothing{-1, 0, 0};
        waitForEvents(nothing, waitTime(seconds));
        return;
    }
    switch (pump(seconds, true)) {
        case PumpResult::WaitFailed:
            throw Socket_SelectFailed(lastErrorText());
        case PumpResult::PeerFinished:
        case PumpResult::ConnectionFailed:
            close(false);
            break;
        case PumpResult::Fine:
            break;
    }
}

void Client::close(bool forgetTime) {
    if (!connected_) {
        return;
    }
    connected_ = false;
    disconnectTime_ = forgetTime ? 0 : std::time(nullptr);
    if (leaveOpen_) {
        return;
    }
    flush();
    ::close(sock_);
    sock_ = -1;
}

// Also releases the socket of a client that an overfull send queue has cut
// off, which close() leaves to the destructor.
void Client::abort(bool forgetTime) {
    sendQueue_.clear();
    if (connected_) {
        connected_ = false;
        disconnectTime_ = forgetTime ? 0 : std::time(nullptr);
    }
    if (leaveOpen_ || !wasConnected_ || sock_ < 0) {
        return;
    }
    ::close(sock_);
    sock_ = -1;
}

short Client::pollEvents() const { return connected_ ? wantedEvents(true) : 0; }

void Client::handleEvents(short revents) {
    if (!connected_ || revents == 0) {
        return;
    }
    const PumpResult result = transfer(revents);
    if (result == PumpResult::PeerFinished || result == PumpResult::ConnectionFailed) {
        if (result == PumpResult::PeerFinished && !sendQueue_.empty()) {
            sendOnce();
        }
        abort(false);
    }
}

bool Client::setNoDelay() {
    const int on = 1;
    return setsockopt(sock_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

short Client::wantedEvents(bool reading) const {
    short events = 0;
    if (reading && below(recvQueue_.size(), recvLimit_)) {
        events |= POLLIN;
    }
    if (!sendQueue_.empty()) {
        events |= POLLOUT;
    }
    return events;
}

// One wait, then at most one receive and one send; the receive only while
// `reading`.
Client::PumpResult Client::pump(double seconds, bool reading) {
    pollfd entry{sock_, wantedEvents(reading), 0};
    const int ready = waitForEvents(entry, waitTime(seconds));
    if (ready < 0) {
        return PumpResult::WaitFailed;
    }
    return transfer(entry.revents);
}

// What one wait reported: at most one receive and one send.
Client::PumpResult Client::transfer(short revents) {
    const Receipt receipt = (revents & POLLIN) ? receiveOnce() : Receipt::Nothing;
    if (receipt == Receipt::Failed) {
        return PumpResult::ConnectionFailed;
    }
    // Bytes that arrived before a reset or hang-up are taken first; the
    // failure shows again on the next round, once nothing is left to read.
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        return receipt == Receipt::Bytes ? PumpResult::Fine : PumpResult::ConnectionFailed;
    }
    if ((revents & POLLOUT) && !sendOnce()) {
        return PumpResult::ConnectionFailed;
    }
    return receipt == Receipt::End ? PumpResult::PeerFinished : PumpResult::Fine;
}

Client::Receipt Client::receiveOnce() {
    char buffer[kReceiveBufferSize];
    const ssize_t received = ::recv(sock_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (received < 0 && nothingMovedThisTime()) {
        return Receipt::Nothing;
    }
    if (received == 0) {
        return Receipt::End;
    }
    if (received < 0) {
        return Receipt::Failed;
    }
    recvQueue_.append(buffer, static_cast<std::size_t>(received));
    return exceeds(recvQueue_.size(), recvLimit_) ? Receipt::Failed : Receipt::Bytes;
}

// MSG_NOSIGNAL: a vanished peer must not kill the process with SIGPIPE.
// MSG_DONTWAIT: hand over what fits now so a poll never outlasts its timeout;
// the rest goes with the next one.
bool Client::sendOnce() {
    const ssize_t sent =
        ::send(sock_, sendQueue_.data(), sendQueue_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        return nothingMovedThisTime();
    }
    sendQueue_.erase(0, std::min(static_cast<std::size_t>(sent), sendQueue_.size()));
    return true;
}

// Bounded, so a peer that accepts nothing cannot hold the caller; whatever is
// still queued at the end, or after a failure, is dropped. A peer that has
// only stopped sending may still be reading, so its end of file stops the
// reading, not the flush.
void Client::flush() {
    const auto deadline = Clock::now() + kFlushBudget;
    bool peerSending = true;
    while (!sendQueue_.empty()) {
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        const PumpResult result = pump(std::min(kFlushStep, left), peerSending);
        if (result == PumpResult::PeerFinished) {
            peerSending = false;
        } else if (result != PumpResult::Fine) {
            break;
        }
    }
    sendQueue_.clear();
}

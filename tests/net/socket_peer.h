// The far side of a Client in the socket tests: a listener on 127.0.0.1 and
// plain reads and writes on the connections it accepts.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "net/client.h"
#include "support/waiting.h"

namespace socket_test {

inline sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

inline std::uint16_t localPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// A socket bound to a free loopback port; listening unless asked not to, in
// which case connections to it are refused.
class Listener {
public:
    explicit Listener(bool listening = true, int receiveBuffer = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0) {
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        const sockaddr_in address = loopback(0);
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (listening) {
            ::listen(fd_, 8);
        }
        port_ = localPort(fd_);
    }
    ~Listener() { ::close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t port() const { return port_; }
    int accept() const { return ::accept(fd_, nullptr, nullptr); }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A plain socket connected to the listener, for the adopting constructor.
inline int connectRaw(const Listener& listener) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(listener.port());
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline void pollUntil(Client& client, const std::function<bool()>& done) {
    pumpUntil(done, [&] { client.poll(0.01); });
}

inline void sendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t part = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (part <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(part);
    }
}

// Whatever the peer can read without waiting.
inline std::string readAvailable(int fd) {
    std::string result;
    char buffer[65536];
    ssize_t part;
    while ((part = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        result.append(buffer, static_cast<std::size_t>(part));
    }
    return result;
}

// Reads until the connection ends or `seconds` pass; `ended` tells which.
inline std::string readUntilEnd(int fd, double seconds, bool& ended) {
    std::string result;
    ended = false;
    const auto start = std::chrono::steady_clock::now();
    char buffer[65536];
    while (!ended && secondsSince(start) < seconds) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) {
            continue;
        }
        const ssize_t part = ::recv(fd, buffer, sizeof buffer, 0);
        if (part > 0) {
            result.append(buffer, static_cast<std::size_t>(part));
        } else {
            ended = true;
        }
    }
    return result;
}

// Bytes that differ from one position to the next, so a lost or repeated
// piece shows up in a comparison.
inline std::string patternedBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    return bytes;
}

}  // namespace socket_test

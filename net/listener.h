// What accepts connections: a listening TCP socket whose accept never waits
// and hands each new connection over as a connected Client.
#pragma once

#include <cstdint>
#include <memory>

#include "net/client.h"
#include "net/ipv4_address.h"

class Listener {
public:
    // Binds address:port and listens; port 0 lets the system pick a free one,
    // which port() then tells. Throws Socket_BindFailed with the system's text.
    Listener(Ipv4Address address, std::uint16_t port, int backlog = 64);
    ~Listener();

    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t port() const { return port_; }
    int handle() const { return sock_; }

    // The next waiting connection as a connected Client (small packets sent
    // at once), or null when none waits. Never blocks; a connection that
    // failed before it was taken, or a process out of descriptors, also gives
    // null.
    std::unique_ptr<Client> accept();

private:
    int sock_ = -1;
    std::uint16_t port_ = 0;
};

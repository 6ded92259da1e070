// A non-blocking listening socket; accept4 adopts each connection into a Client.
#include "net/listener.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/socket_errors.h"

Listener::Listener(Ipv4Address address, std::uint16_t port, int backlog)
    : sock_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP)) {
    // A restarted server takes its port back while old connections linger.
    const int on = 1;
    setsockopt(sock_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address.toNetworkOrder();
    socklen_t size = sizeof local;
    if (::bind(sock_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == -1 ||
        ::listen(sock_, backlog) == -1 ||
        getsockname(sock_, reinterpret_cast<sockaddr*>(&local), &size) == -1) {
        const Socket_BindFailed failure(lastErrorText());
        if (sock_ >= 0) ::close(sock_);
        throw failure;
    }
    port_ = ntohs(local.sin_port);
}

Listener::~Listener() { ::close(sock_); }

std::unique_ptr<Client> Listener::accept() {
    sockaddr_in remote{};
    socklen_t size = sizeof remote;
    const int sock = ::accept4(sock_, reinterpret_cast<sockaddr*>(&remote), &size, SOCK_CLOEXEC);
    if (sock < 0) return nullptr;
    auto client = std::make_unique<Client>(sock, remote, 0);
    client->setNoDelay();
    return client;
}

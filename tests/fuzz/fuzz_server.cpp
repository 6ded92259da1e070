// Any bytes as one connection to a running server: sent from the start, or
// after a real first exchange and login, then the connection ends. The
// server takes it over a socket pair, runs its ticks back to back and must
// never crash, hang or keep the connection's player afterwards.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "net/client.h"
#include "protocol/packet_stream.h"
#include "server/server.h"

namespace {

Server& server() {
    static Server* running = [] {
        char pattern[] = "/tmp/tessaria-fuzz-server-XXXXXX";
        const std::string folder = ::mkdtemp(pattern);
        // Every input is a new connection from the same (no) address.
        std::ofstream(folder + "/server.ini") << "connects_per_minute = 100000\n"
                                                 "connections_per_address = 100000\n"
                                                 "packets_per_second = 100000\n";
        ServerOptions options;
        options.worldFolder = folder;
        options.paced = false;
        // Larger than one piece, so that piece requests and steps near the
        // world's edges meet pieces of every shape.
        options.newWorldSize = 64;
        options.log = [](const std::string&) {};
        auto* s = new Server(options);
        if (!s->start()) std::abort();
        return s;
    }();
    return *running;
}

void sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        // A server that has closed this connection must not end the run by SIGPIPE.
        const ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n <= 0) return;  // the server stopped reading: it closed or is full
        sent += static_cast<std::size_t>(n);
    }
}

std::string receiveAll(int fd) {
    std::string bytes;
    char buffer[16384];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    Server& s = server();
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
    s.adopt(std::make_unique<Client>(ends[0], sockaddr_in{}, 0));
    const std::string data(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    if (bytes[0] & 1) {
        // As a real player first: the first exchange and a login.
        PacketStream stream = PacketStream::client();
        stream.send(Login{"fuzz", "", ""});
        sendAll(ends[1], stream.takeOutgoing());
        for (int tick = 0; tick < 4 && !stream.ready(); ++tick) {
            s.runTick();
            stream.feed(receiveAll(ends[1]));
            while (stream.next()) {
            }
            sendAll(ends[1], stream.takeOutgoing());
        }
        s.runTick();
    }
    sendAll(ends[1], data);
    for (int tick = 0; tick < 3; ++tick) s.runTick();
    ::close(ends[1]);
    for (int tick = 0; tick < 3; ++tick) s.runTick();
    if (s.playerCount() != 0) std::abort();  // the player outlived its connection
    return 0;
}

// One wait over all of a server's sockets per tick: the listener and every
// Client in a single poll(2), then each ready client's bytes moved once.
#pragma once

#include <poll.h>

#include <vector>

#include "net/client.h"
#include "net/listener.h"

class PollSet {
public:
    // The set is rebuilt for each wait: clear, then add what is alive now.
    void clear();
    void add(Listener& listener);
    void add(Client& client);  // a closed client is left out

    // Waits at most `milliseconds` (0 only looks) for the listener to have a
    // connection waiting or any client to be readable, writable or failed;
    // then moves each ready client's bytes once (Client::handleEvents), so
    // no client is waited on alone. Returns how many sockets were ready; a
    // signal does not cut the wait short. Throws Socket_SelectFailed.
    int wait(int milliseconds);

    // Whether the last wait found a connection waiting on the listener.
    bool listenerReady() const { return listenerReady_; }

private:
    std::vector<pollfd> entries_;  // the listener first, when there is one
    std::vector<Client*> clients_;
    bool hasListener_ = false;
    bool listenerReady_ = false;
};

// The shared wait: ppoll over every entry, resumed after a signal with the
// time that is left.
#include "net/poll_set.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "net/socket_errors.h"

namespace {

using Clock = std::chrono::steady_clock;

int waitForAny(std::vector<pollfd>& entries, int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    for (;;) {
        const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
        const auto whole = std::chrono::duration_cast<std::chrono::seconds>(left);
        const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left - whole);
        const timespec wait{static_cast<time_t>(whole.count()), static_cast<long>(nanos.count())};
        const int result = ::ppoll(entries.data(), entries.size(), &wait, nullptr);
        if (result >= 0 || errno != EINTR) return result;
    }
}

}  // namespace

void PollSet::clear() {
    entries_.clear();
    clients_.clear();
    hasListener_ = false;
    listenerReady_ = false;
}

void PollSet::add(Listener& listener) {
    entries_.insert(entries_.begin(), pollfd{listener.handle(), POLLIN, 0});
    hasListener_ = true;
}

void PollSet::add(Client& client) {
    if (!client.isConnected()) return;
    entries_.push_back(pollfd{client.handle(), client.pollEvents(), 0});
    clients_.push_back(&client);
}

int PollSet::wait(int milliseconds) {
    listenerReady_ = false;
    const int ready = waitForAny(entries_, milliseconds);
    if (ready < 0) throw Socket_SelectFailed(lastErrorText());
    const std::size_t first = hasListener_ ? 1 : 0;
    listenerReady_ = hasListener_ && (entries_[0].revents & POLLIN) != 0;
    for (std::size_t i = 0; i < clients_.size(); ++i) {
        clients_[i]->handleEvents(entries_[first + i].revents);
    }
    return ready;
}

// Waiting for what a real process shows: short sleeps and polling with a
// time limit, never a fixed pause where a condition can be watched.
#pragma once

#include <chrono>
#include <thread>

inline void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Waits until the predicate holds or the time is up.
template <typename Predicate>
bool waitUntil(Predicate predicate, double seconds) {
    for (double waited = 0; waited < seconds; waited += 0.05) {
        if (predicate()) return true;
        sleepSeconds(0.05);
    }
    return predicate();
}

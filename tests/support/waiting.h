// Waiting for what another process, thread or window shows: polling with a
// limit on the steady clock, never a fixed pause where a condition can be
// watched. A quick pass stays quick; a machine busy with builds, games and
// sanitizers gets the minute a person would still wait.
#pragma once

#include <chrono>
#include <thread>

constexpr double kPatientSeconds = 60;

inline void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Polls until done() holds or the time is up; true when it held. A look
// that is slow itself (a screen grab under the sanitizers) counts against the
// limit, so a fault ends in time for its diagnostics, not in ctest's timeout.
template <typename Done>
bool waitUntil(Done done, double seconds = kPatientSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        sleepSeconds(0.05);
    }
    return true;
}

// The same for what only moves when driven: runs step() (a pump, a tick)
// between looks, with a short pause that leaves the cores to the processes
// watched.
template <typename Done, typename Step>
bool pumpUntil(Done done, Step step, double seconds = kPatientSeconds,
               double pauseSeconds = 0.002) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        step();
        if (pauseSeconds > 0) sleepSeconds(pauseSeconds);
    }
    return true;
}

// Relative-time wording and a plain millisecond sleep.
#include "util/timing.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "util/numbers.h"

namespace util {

namespace {

struct TimeUnit {
    const char* word;
    double seconds;
};

constexpr TimeUnit kUnits[] = {
    {"week", 604800.0}, {"day", 86400.0}, {"hour", 3600.0}, {"minute", 60.0}, {"second", 1.0},
};

// Whole counts fit an int in any sane use; a span of ages beyond that is
// still written out in full instead of wrapping.
std::string wholeNumberText(double n) {
    if (n < 2147483648.0) return to_string(static_cast<int>(n));
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%.0f", n);
    return buffer;
}

// Longer than any platform sleep call takes in one go (about 49 days).
constexpr double kLongestSleepMs = 4294967294.0;

}  // namespace

std::string time_ago(double time, double now) {
    double d = now - time;
    const char* suffix = d >= 0 ? " ago" : " from now";
    d = std::fabs(d);
    for (const TimeUnit& unit : kUnits) {
        double n = std::trunc(d / unit.seconds);
        d -= n * unit.seconds;
        if (n > 0) {
            return wholeNumberText(n) + " " + unit.word + (n == 1 ? "" : "s") + suffix;
        }
    }
    return "now";
}

void sleep(double seconds) {
    double ms = std::trunc(1000.0 * seconds);
    if (!(ms >= 1.0)) return;
    if (ms > kLongestSleepMs) ms = kLongestSleepMs;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(ms)));
}

}  // namespace util

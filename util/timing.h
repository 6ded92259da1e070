// Relative-time wording and a plain sleep.
#pragma once

#include <string>

namespace util {

// "2 hours ago", "30 seconds from now", "now": the largest unit that fits.
std::string time_ago(double time, double now);

void sleep(double seconds);  // whole milliseconds; nothing for zero, negative or NaN

}  // namespace util

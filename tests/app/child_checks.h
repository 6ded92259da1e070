// Checks for the small child programs that the tests start: each failure is
// one line on standard error, and any failure makes the exit status 1.
#pragma once

#include <cstdio>
#include <string>

namespace child {

inline int failures = 0;

inline bool check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "child check failed: %s\n", what.c_str());
        ++failures;
    }
    return ok;
}

inline int exitStatus() { return failures == 0 ? 0 : 1; }

}  // namespace child

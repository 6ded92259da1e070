// Relative-time wording and the sleep's duration.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "util/util.h"

namespace {

TEST(TimeAgoTest, ShowsTheLargestFittingUnitWithPlural) {
    EXPECT_EQ(util::time_ago(0, 86400), "1 day ago");
    EXPECT_EQ(util::time_ago(0, 1209600), "2 weeks ago");
    EXPECT_EQ(util::time_ago(0, 90), "1 minute ago");
    EXPECT_EQ(util::time_ago(100, 7300), "2 hours ago");
    EXPECT_EQ(util::time_ago(0, 1), "1 second ago");
    EXPECT_EQ(util::time_ago(0, 604799), "6 days ago");
}

TEST(TimeAgoTest, FutureTimesReadFromNow) {
    EXPECT_EQ(util::time_ago(30, 0), "30 seconds from now");
    EXPECT_EQ(util::time_ago(604800, 0), "1 week from now");
}

TEST(TimeAgoTest, UnderOneSecondIsNow) {
    EXPECT_EQ(util::time_ago(5, 5), "now");
    EXPECT_EQ(util::time_ago(0, 0.4), "now");
    EXPECT_EQ(util::time_ago(0.9, 0), "now");
    EXPECT_EQ(util::time_ago(0, std::numeric_limits<double>::quiet_NaN()), "now");
}

TEST(TimeAgoTest, CountsBeyondAnIntAreWrittenInFull) {
    EXPECT_EQ(util::time_ago(0, 604800.0 * 3e9), "3000000000 weeks ago");
}

TEST(SleepTest, WaitsTheWholeMilliseconds) {
    auto start = std::chrono::steady_clock::now();
    util::sleep(0.0509);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(50));
}

TEST(SleepTest, ReturnsAtOnceForNothingToWait) {
    for (double seconds : {0.0, -5.0, 0.0009, std::numeric_limits<double>::quiet_NaN()}) {
        auto start = std::chrono::steady_clock::now();
        util::sleep(seconds);
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        // Far above any scheduling delay, far below a misread wait.
        EXPECT_LT(waited.count(), 1000) << "ms after sleep(" << seconds << ")";
    }
}

}  // namespace

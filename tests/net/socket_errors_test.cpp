// The socket exceptions and the error text they carry.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "net/socket_errors.h"

TEST(SocketErrorText, DescribesTheLastSystemError) {
    errno = EADDRINUSE;
    EXPECT_STREQ(lastErrorText(), "Address already in use");
    errno = ECONNREFUSED;
    EXPECT_STREQ(lastErrorText(), "Connection refused");
}

TEST(SocketErrorText, CodeWithoutASystemTextIsReportedByNumber) {
    errno = 98765;
    EXPECT_STREQ(lastErrorText(), "Unknown error 98765");
    errno = -3;
    EXPECT_STREQ(lastErrorText(), "Unknown error -3");
}

TEST(SocketErrorText, EveryCallReusesOneBuffer) {
    errno = EPIPE;
    const char* first = lastErrorText();
    errno = ETIMEDOUT;
    const char* second = lastErrorText();
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "Connection timed out");
}

TEST(SocketExceptions, EachNamesItsOwnClassThroughTheBase) {
    const Socket_Exception plain("plain");
    const Socket_BindFailed bindFailed("bind");
    const Socket_SelectFailed selectFailed("select");
    const Socket_Exception* all[] = {&plain, &bindFailed, &selectFailed};
    EXPECT_STREQ(all[0]->name(), "Socket_Exception");
    EXPECT_STREQ(all[1]->name(), "Socket_BindFailed");
    EXPECT_STREQ(all[2]->name(), "Socket_SelectFailed");
}

TEST(SocketExceptions, WhatIsTheMessageTheyWereThrownWith) {
    errno = EACCES;
    try {
        throw Socket_SelectFailed(lastErrorText());
    } catch (const std::exception& failure) {
        EXPECT_STREQ(failure.what(), "Permission denied");
    }
}

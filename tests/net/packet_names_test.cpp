// The family and action name tables.
#include <gtest/gtest.h>

#include "net/packet_names.h"

namespace {

TEST(PacketNamesTest, ListedNumbersHaveTheirNames) {
    EXPECT_EQ(packetFamilyName(1), "Connection");
    EXPECT_EQ(packetFamilyName(16), "StatSkill");
    EXPECT_EQ(packetFamilyName(48), "AdminInteract");
    EXPECT_EQ(packetFamilyName(51), "Book");
    EXPECT_EQ(packetFamilyName(255), "Init");
    EXPECT_EQ(packetActionName(1), "Request");
    EXPECT_EQ(packetActionName(27), "Get");
    EXPECT_EQ(packetActionName(242), "Net3");
    EXPECT_EQ(packetActionName(255), "Init");
}

TEST(PacketNamesTest, GapsInEitherTableAreUnknown) {
    EXPECT_EQ(packetFamilyName(28), "UNKNOWN");
    EXPECT_EQ(packetFamilyName(10), "UNKNOWN");
    EXPECT_EQ(packetFamilyName(240), "UNKNOWN");
    EXPECT_EQ(packetActionName(19), "UNKNOWN");
    EXPECT_EQ(packetActionName(26), "UNKNOWN");
    EXPECT_EQ(packetActionName(51), "UNKNOWN");
}

TEST(PacketNamesTest, NumbersOutsideAByteAreUnknown) {
    for (int number : {0, -1, -255, 256, 511, 100000}) {
        EXPECT_EQ(packetFamilyName(number), "UNKNOWN") << number;
        EXPECT_EQ(packetActionName(number), "UNKNOWN") << number;
    }
}

}  // namespace

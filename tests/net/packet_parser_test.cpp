// Incoming packets: each getter, and what it gives at the end of the data.
#include <gtest/gtest.h>

#include "net/packet_parser.h"
#include "packet_bytes.h"

namespace {

TEST(PacketParserTest, TakesFieldsOffTheFrontInOrder) {
    PacketParser parser(bytes({5, 48, 2, 6, 254, 254, 'h', 'i', 0xFF, 8, 'r', 'e', 's', 't'}));
    EXPECT_EQ(parser.length(), 14u);
    EXPECT_EQ(parser.getByte(), 5);
    EXPECT_EQ(parser.getShort(), 300);
    EXPECT_EQ(parser.getThree(), 5u);
    EXPECT_EQ(parser.getBreakString(0xFF), "hi");
    EXPECT_EQ(parser.getChar(), 7);
    EXPECT_EQ(parser.remaining(), 4u);
    EXPECT_EQ(parser.getFixedString(2), "re");
    EXPECT_EQ(parser.getEndString(), "st");
    EXPECT_EQ(parser.remaining(), 0u);
    EXPECT_EQ(parser.length(), 14u);
}

TEST(PacketParserTest, EmptyParserGivesZerosAndEmptyStrings) {
    PacketParser parser("");
    EXPECT_EQ(parser.getByte(), 0);
    EXPECT_EQ(parser.getChar(), 0);
    EXPECT_EQ(parser.getShort(), 0);
    EXPECT_EQ(parser.getThree(), 0u);
    EXPECT_EQ(parser.getFixedString(1), "");
    EXPECT_EQ(parser.getBreakString(0), "");
    EXPECT_EQ(parser.getEndString(), "");
    EXPECT_EQ(parser.length(), 0u);
}

TEST(PacketParserTest, NumbersAtTheEndUseTheBytesThatAreLeft) {
    PacketParser shortOfOne(bytes({10}));
    EXPECT_EQ(shortOfOne.getShort(), 9);
    EXPECT_EQ(shortOfOne.remaining(), 0u);

    PacketParser threeOfTwo(bytes({2, 3}));
    EXPECT_EQ(threeOfTwo.getThree(), 507u);
    EXPECT_EQ(threeOfTwo.remaining(), 0u);
}

TEST(PacketParserTest, CharDecodesOneByte) {
    PacketParser parser(bytes({0, 1, 2, 254, 255}));
    EXPECT_EQ(parser.getChar(), 0);
    EXPECT_EQ(parser.getChar(), 0);
    EXPECT_EQ(parser.getChar(), 1);
    EXPECT_EQ(parser.getChar(), 0);
    EXPECT_EQ(parser.getChar(), 254);
}

TEST(PacketParserTest, ThreeReadsTheLargestThreeByteValue) {
    PacketParser parser(bytes({255, 255, 255}));
    EXPECT_EQ(parser.getThree(), 16322802u);
}

TEST(PacketParserTest, FixedStringLongerThanTheRestConsumesNothing) {
    PacketParser parser("abc");
    EXPECT_EQ(parser.getFixedString(4), "");
    EXPECT_EQ(parser.getFixedString(0), "");
    EXPECT_EQ(parser.remaining(), 3u);
    EXPECT_EQ(parser.getFixedString(3), "abc");
    EXPECT_EQ(parser.remaining(), 0u);
}

TEST(PacketParserTest, BreakStringWithoutItsDelimiterStaysInTheParser) {
    PacketParser parser(bytes({'a', 'b', 0xFF, 0xFF, 'c'}));
    EXPECT_EQ(parser.getBreakString(0xFF), "ab");
    EXPECT_EQ(parser.getBreakString(0xFF), "");
    EXPECT_EQ(parser.remaining(), 1u);
    EXPECT_EQ(parser.getBreakString(0xFF), "");
    EXPECT_EQ(parser.remaining(), 1u);
    EXPECT_EQ(parser.getEndString(), "c");
}

TEST(PacketParserTest, BytesKeepZeroAndHighValues) {
    std::string packet = bytes({0, 0x80, 0xFF});
    PacketParser parser(packet);
    EXPECT_EQ(parser.getByte(), 0);
    EXPECT_EQ(parser.getEndString(), bytes({0x80, 0xFF}));
}

}  // namespace

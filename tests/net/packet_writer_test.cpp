// Outgoing packets: field widths, the header rule and break strings.
#include <gtest/gtest.h>

#include "net/packet_writer.h"
#include "packet_bytes.h"

namespace {

// The four header bytes have tests of their own.
std::string payloadOf(const PacketWriter& writer) { return writer.get().substr(4); }

TEST(PacketWriterTest, EncodedFieldsTakeTheirWidth) {
    PacketWriter writer(1, 1);
    EXPECT_EQ(writer.addChar(5), 5);
    EXPECT_EQ(writer.addShort(300), 300);
    EXPECT_EQ(writer.addThree(70000), 70000u);
    EXPECT_EQ(writer.addInt(16194277), 16194277u);
    EXPECT_EQ(writer.addByte(0), 0);
    EXPECT_EQ(writer.length(), 11u);
    EXPECT_EQ(payloadOf(writer), bytes({6, 48, 2, 173, 24, 2, 1, 1, 1, 2, 0}));
}

TEST(PacketWriterTest, AddVarPicksTheNarrowestAllowedWidth) {
    PacketWriter writer(1, 1);
    EXPECT_EQ(writer.addVar(1, 4, 300), 300u);  // a short
    writer.addVar(3, 4, 5);                     // three bytes
    writer.addVar(1, 4, 7);                     // a char
    writer.addVar(1, 1, 300);                   // a char of 300 & 255 = 44
    writer.addVar(2, 4, 70000);                 // three bytes
    writer.addVar(4, 4, 5);                     // an int
    writer.addVar(1, 2, 70000);                 // a short of 70000 cut to 16 bits, 4464
    EXPECT_EQ(payloadOf(writer),
              bytes({48, 2, 6, 254, 254, 8, 45, 173, 24, 2, 6, 254, 254, 254, 164, 18}));
    EXPECT_EQ(writer.length(), 16u);
}

TEST(PacketWriterTest, BreakStringReplacesTheDelimiterAndEndsWithIt) {
    PacketWriter writer(1, 1);
    EXPECT_EQ(writer.addBreakString(bytes({'a', 0xFF, 'b'}), 0xFF), bytes({'a', 0xFF, 'b'}));
    writer.addString("cd");
    EXPECT_EQ(payloadOf(writer), bytes({'a', 'y', 'b', 0xFF, 'c', 'd'}));
    EXPECT_EQ(writer.length(), 6u);
}

TEST(PacketWriterTest, HeaderOfAnUnsequencedIdCountsIdAndPayload) {
    PacketWriter writer(255, 255);
    writer.addString("abc");
    EXPECT_EQ(writer.get(), bytes({6, 254, 255, 255, 'a', 'b', 'c'}));
}

TEST(PacketWriterTest, HeaderOfOtherIdsLeavesRoomForTheSequenceByte) {
    PacketWriter writer(1, 255);
    writer.addString("abc");
    EXPECT_EQ(writer.get(), bytes({7, 254, 255, 1, 'a', 'b', 'c'}));
}

TEST(PacketWriterTest, HeaderLengthUsesTwoDigitsForLongPayloads) {
    PacketWriter writer(4, 0);
    writer.addString(std::string(300, 'x'));
    EXPECT_EQ(writer.get().substr(0, 4), bytes({51, 2, 0, 4}));
}

TEST(PacketWriterTest, AZeroIdBecomesAllOnes) {
    EXPECT_EQ(PacketWriter(static_cast<std::uint16_t>(0)).get(), bytes({3, 254, 255, 255}));
    EXPECT_EQ(PacketWriter(0, 0).get(), bytes({3, 254, 255, 255}));
    PacketWriter writer;
    EXPECT_EQ(writer.get(), bytes({4, 254, 0, 0}));
    EXPECT_EQ(writer.setId(0), 0xFFFF);
    EXPECT_EQ(writer.setId(0x1203), 0x1203);
    EXPECT_EQ(writer.get(), bytes({4, 254, 0x12, 0x03}));
    EXPECT_EQ(writer.setId(4, 0x22), 0x2204);
    EXPECT_EQ(writer.setId(0, 0), 0xFFFF);
}

}  // namespace

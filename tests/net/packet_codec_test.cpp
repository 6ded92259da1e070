// The sequence cycle and both scrambling directions, against byte strings
// worked out by hand from the rules.
#include <gtest/gtest.h>

#include <stdexcept>

#include "net/packet_codec.h"
#include "packet_bytes.h"

namespace {

TEST(SwapMultiplesTest, ReversesEachRunOfMultiples) {
    EXPECT_EQ(swapMultiples(bytes({2, 4, 5, 6, 8, 10}), 2), bytes({4, 2, 5, 10, 8, 6}));
    EXPECT_EQ(swapMultiples(bytes({0, 3, 1, 6}), 3), bytes({3, 0, 1, 6}));
    EXPECT_EQ(swapMultiples(bytes({1, 2, 3}), 7), bytes({1, 2, 3}));
    EXPECT_EQ(swapMultiples(bytes({7, 14, 0}), 7), bytes({0, 14, 7}));
    EXPECT_EQ(swapMultiples(bytes({9, 3}), 1), bytes({3, 9}));
    EXPECT_EQ(swapMultiples("", 3), "");
}

TEST(SwapMultiplesTest, MultipleZeroChangesNothing) {
    EXPECT_EQ(swapMultiples(bytes({2, 4, 5, 6, 8, 10}), 0), bytes({2, 4, 5, 6, 8, 10}));
    EXPECT_EQ(swapMultiples(bytes({0, 0, 1}), 0), bytes({0, 0, 1}));
}

TEST(NextSequenceTest, CyclesThroughTenStepsFromTheStart) {
    PacketCodec codec;
    codec.setSequenceStart(10);
    std::vector<int> seen;
    for (int i = 0; i < 11; ++i) seen.push_back(codec.nextSequence());
    EXPECT_EQ(seen, (std::vector<int>{11, 12, 13, 14, 15, 16, 17, 18, 19, 10, 11}));
}

TEST(NextSequenceTest, WrapsAroundTheByte) {
    PacketCodec codec;
    codec.setSequenceStart(250);
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) seen.push_back(codec.nextSequence());
    EXPECT_EQ(seen, (std::vector<int>{251, 252, 253, 254, 255, 0, 1, 2, 3, 250}));
}

class PacketEncodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        codec.setMultiples(4, 3);
        codec.setSequenceStart(10);
    }
    PacketCodec codec;
};

TEST_F(PacketEncodeTest, PacketsShorterThanTheHeaderAreRefused) {
    try {
        codec.encode(bytes({1, 2, 3}));
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "basic_string::substr");
    }
    EXPECT_THROW(codec.encode(""), std::out_of_range);
}

// Sequence byte 11 inserted: 07 FE 80 00 0B 08 0C 03 80 (nine bytes).
// Runs of multiples of 4 reversed: 07 FE 00 80 0B 0C 08 03 80.
// Bytes from 2 on, with the top bit flipped (80 00 8B 8C 88 83 00), dealt
// to positions 2 4 6 8 7 5 3: 07 FE 80 00 00 83 8B 88 8C.
// 0 and 80 exchanged from position 2: 07 FE 00 80 80 83 8B 88 8C.
// The second packet (sequence 12) ends with an even count of ten bytes:
// 05 FE 01 02 0C 00 04 80 81 10 -> runs: 05 FE 01 02 80 04 00 0C 81 10
// -> flipped 81 82 00 84 80 8C 01 90 to positions 2 4 6 8 9 7 5 3:
// 05 FE 81 90 82 01 00 8C 84 80 -> exchange: 05 FE 81 90 82 01 80 8C 84 00.
TEST_F(PacketEncodeTest, ScramblesAnOddAndThenAnEvenLengthPacket) {
    EXPECT_EQ(codec.encode(bytes({0x07, 0xFE, 0x80, 0x00, 0x08, 0x0C, 0x03, 0x80})),
              bytes({0x07, 0xFE, 0x00, 0x80, 0x80, 0x83, 0x8B, 0x88, 0x8C}));
    EXPECT_EQ(codec.encode(bytes({0x05, 0xFE, 0x01, 0x02, 0x00, 0x04, 0x80, 0x81, 0x10})),
              bytes({0x05, 0xFE, 0x81, 0x90, 0x82, 0x01, 0x80, 0x8C, 0x84, 0x00}));
}

// With no keys set, the header alone: 01 02 03 04 + sequence 01, then
// 83 84 81 dealt to positions 2 4 3.
TEST(PacketEncodeDefaultsTest, HeaderOnlyPacketGetsTheFirstSequenceByte) {
    PacketCodec codec;
    EXPECT_EQ(codec.encode(bytes({1, 2, 3, 4})), bytes({1, 2, 0x83, 0x81, 0x84}));
}

class PacketDecodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        codec.setMultiples(4, 3);
        EXPECT_EQ(codec.decode(bytes({0x10, 0x81, 0x00, 0x83})), bytes({0x10, 0x81, 0x00, 0x83}));
    }
    PacketCodec codec;
};

TEST(PacketDecodeFirstTest, OnlyTheFirstBodyPassesThroughUnchanged) {
    PacketCodec codec;
    EXPECT_EQ(codec.decode(bytes({0x00, 0x80, 0x05})), bytes({0x00, 0x80, 0x05}));
    EXPECT_EQ(codec.decode(bytes({0x00, 0x80, 0x05})), bytes({0x80, 0x85, 0x80}));
}

// Even length: positions 0 2 4 6 then 7 5 3 1 give 10 00 86 8C 00 80 83 81,
// flipped 90 80 06 0C 80 00 03 01; 0 and 80 exchanged from position 2:
// 90 80 06 0C 00 80 03 01; runs of multiples of 3 reversed:
// 90 80 00 0C 06 80 03 01.
// Odd length: positions 0 2 4 6 then 5 3 1 give 85 80 09 83 8F 00 07,
// flipped 05 00 89 03 0F 80 87; exchanged from 2: 05 00 89 03 0F 00 87;
// runs reversed: 05 00 89 87 00 0F 03.
TEST_F(PacketDecodeTest, UnscramblesAnEvenAndAnOddLengthBody) {
    EXPECT_EQ(codec.decode(bytes({0x10, 0x81, 0x00, 0x83, 0x86, 0x80, 0x8C, 0x00})),
              bytes({0x90, 0x80, 0x00, 0x0C, 0x06, 0x80, 0x03, 0x01}));
    EXPECT_EQ(codec.decode(bytes({0x85, 0x07, 0x80, 0x00, 0x09, 0x8F, 0x83})),
              bytes({0x05, 0x00, 0x89, 0x87, 0x00, 0x0F, 0x03}));
}

TEST_F(PacketDecodeTest, TinyBodiesOnlyFlipTheirTopBit) {
    EXPECT_EQ(codec.decode(""), "");
    EXPECT_EQ(codec.decode(bytes({0x00})), bytes({0x80}));
    EXPECT_EQ(codec.decode(bytes({0x81, 0x02})), bytes({0x01, 0x82}));
}

}  // namespace

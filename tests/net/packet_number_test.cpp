// The base-253 number codec and the id helpers, against hand-worked bytes.
#include <gtest/gtest.h>

#include <stdexcept>

#include "net/packet_number.h"

namespace {

TEST(EncodeNumberTest, SmallNumbersMarkTheirHighDigitsAbsent) {
    EXPECT_EQ(encodeNumber(0), (EncodedNumber{{1, 254, 254, 254}}));
    EXPECT_EQ(encodeNumber(5), (EncodedNumber{{6, 254, 254, 254}}));
    EXPECT_EQ(encodeNumber(252), (EncodedNumber{{253, 254, 254, 254}}));
}

TEST(EncodeNumberTest, ZeroDigitsBelowTheHighestAreWrittenAsOne) {
    EXPECT_EQ(encodeNumber(253), (EncodedNumber{{1, 2, 254, 254}}));
    EXPECT_EQ(encodeNumber(300), (EncodedNumber{{48, 2, 254, 254}}));
    EXPECT_EQ(encodeNumber(64009), (EncodedNumber{{1, 1, 2, 254}}));
    EXPECT_EQ(encodeNumber(70000), (EncodedNumber{{173, 24, 2, 254}}));
    EXPECT_EQ(encodeNumber(16194277), (EncodedNumber{{1, 1, 1, 2}}));
    EXPECT_EQ(encodeNumber(4097152080u), (EncodedNumber{{253, 253, 253, 253}}));
}

TEST(EncodeNumberTest, TheFirstNumberTooLargeWrapsIntoTheAbsentMarker) {
    EncodedNumber bytes = encodeNumber(kLargestEncodable + 1);
    EXPECT_EQ(bytes, (EncodedNumber{{1, 1, 1, 254}}));
    EXPECT_EQ(decodeNumber(bytes[0], bytes[1], bytes[2], bytes[3]), 0u);
}

TEST(EncodeNumberTest, CheckedAccessRefusesAFifthByte) {
    EncodedNumber bytes = encodeNumber(1);
    EXPECT_EQ(bytes.at(3), 254);
    try {
        bytes.at(4);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "util::array::at");
    }
}

TEST(DecodeNumberTest, ReadsTheEncodedExamplesBack) {
    EXPECT_EQ(decodeNumber(1, 254, 254, 254), 0u);
    EXPECT_EQ(decodeNumber(253, 254, 254, 254), 252u);
    EXPECT_EQ(decodeNumber(1, 2, 254, 254), 253u);
    EXPECT_EQ(decodeNumber(48, 2, 254, 254), 300u);
    EXPECT_EQ(decodeNumber(1, 1, 2, 254), 64009u);
    EXPECT_EQ(decodeNumber(1, 1, 1, 2), 16194277u);
    EXPECT_EQ(decodeNumber(253, 253, 253, 253), 4097152080u);
}

TEST(DecodeNumberTest, ZeroAndAbsentBytesAreZeroDigits) {
    EXPECT_EQ(decodeNumber(254, 254, 254, 254), 0u);
    EXPECT_EQ(decodeNumber(0, 0, 0, 0), 0u);
    EXPECT_EQ(decodeNumber(0, 2, 0, 254), 253u);
}

TEST(DecodeNumberTest, ByteTwoFiftyFiveIsTheDigitTwoFiftyFour) {
    EXPECT_EQ(decodeNumber(255, 254, 254, 254), 254u);
    EXPECT_EQ(decodeNumber(255, 255, 255, 255), 4129669160u);
}

TEST(PacketIdTest, MakesAndSwapsTheTwoBytes) {
    EXPECT_EQ(makeId(1, 2), 513);
    EXPECT_EQ(makeId(255, 255), 65535);
    EXPECT_EQ(makeId(0, 0), 0);
    EXPECT_EQ(swapIdBytes(0x1234), 0x3412);
    EXPECT_EQ(swapIdBytes(0x00FF), 0xFF00);
}

}  // namespace

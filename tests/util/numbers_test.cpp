// Number parsing with suffixes, the conversion shortcuts and rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "util/util.h"

namespace {

struct ParseCase {
    const char* text;
    double expected;
};
// Names the case in test listings by its text.
void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << (*c.text == '\0' ? "empty" : c.text) << " is " << c.expected;
}

class ParseNumberTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, ReadsSuffixesAndSkipsTheRest) {
    EXPECT_DOUBLE_EQ(util::parse_number(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseNumberTest,
    ::testing::Values(ParseCase{"1h30m", 5400}, ParseCase{"1m30s", 90}, ParseCase{"250ms", 0.25},
                      ParseCase{"50%", 0.5}, ParseCase{"1.5k", 1500}, ParseCase{"-2d", -172800},
                      ParseCase{"12", 12}, ParseCase{"1e3", 13}, ParseCase{"2MS", 120},
                      ParseCase{"", 0}, ParseCase{"abc", 0}, ParseCase{"3-", -3},
                      ParseCase{"1.5.5", 2}, ParseCase{"2H", 7200}, ParseCase{"1m", 60},
                      ParseCase{"1.25", 1.25}, ParseCase{"5m1", 301}, ParseCase{"10%k", 0.1}));

TEST(ParseNumberLimitsTest, HugeNumbersBecomeInfinityAndConvertToZero) {
    std::string digits(400, '9');
    EXPECT_TRUE(std::isinf(util::parse_number(digits)));
    EXPECT_EQ(util::to_int(digits), 0);
    EXPECT_EQ(util::to_int("-" + digits), 0);
}

// A port or a count from the command line: whole, in range, nothing after it,
// and a number past a long's range is no number at all.
TEST(ParseWholeTest, TakesOnlyAWholeNumberInRange) {
    long value = -1;
    EXPECT_TRUE(util::parse_whole("7777", 0, 65535, value));
    EXPECT_EQ(value, 7777);
    for (const char* text :
         {"", "65536", "-1", "12x", "1.5", "0x10", " 12", "+12", "99999999999999999999999"})
        EXPECT_FALSE(util::parse_whole(text, 0, 65535, value)) << text;
    EXPECT_FALSE(util::parse_whole("9223372036854775808", 0, 9223372036854775807L, value));
    EXPECT_EQ(value, 7777);
}

TEST(ParseNumberLimitsTest, LongFractionsStayFinite) {
    std::string text = "1." + std::string(500, '5');
    EXPECT_DOUBLE_EQ(util::parse_number(text), 1.5555555555555556);
}

TEST(ConversionTest, ToStringUsesIntegerAndSixDecimalForms) {
    EXPECT_EQ(util::to_string(-7), "-7");
    EXPECT_EQ(util::to_string(2.0), "2.000000");
    EXPECT_EQ(util::to_string(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(util::to_string(1.0 / 3.0), "0.333333");
}

TEST(ConversionTest, TextToNumberGoesThroughTheParser) {
    EXPECT_EQ(util::to_int("1.9k"), 1900);
    EXPECT_EQ(util::to_int("-2.7"), -2);
    EXPECT_DOUBLE_EQ(util::to_double("1h"), 3600.0);
    EXPECT_EQ(util::to_int("none"), 0);
}

TEST(RoundTest, HalvesGoUpward) {
    EXPECT_EQ(util::round(-0.5), 0.0);
    EXPECT_EQ(util::round(2.5), 3.0);
    EXPECT_EQ(util::round(-2.5), -2.0);
    EXPECT_EQ(util::round(-2.6), -3.0);
    EXPECT_EQ(util::round(2.49), 2.0);
}

}  // namespace

// The variant's conversion rules and its caching across reassignment.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "util/util.h"

namespace {

TEST(VariantTest, StartsAsTheIntegerZero) {
    util::variant v;
    EXPECT_EQ(v.as_int(), 0);
    EXPECT_EQ(v.as_string(), "0");
    EXPECT_FALSE(v.as_bool());
}

TEST(VariantTest, ConvertsFromTheKindLastAssignedAfterReassignment) {
    util::variant v(5);
    EXPECT_EQ(v.as_string(), "5");
    v.set(7);
    EXPECT_EQ(v.as_string(), "7");
    v = 2.5;
    EXPECT_EQ(v.as_int(), 2);
    EXPECT_EQ(v.as_string(), "2.500000");
    v = "12 apples";
    EXPECT_EQ(v.as_int(), 12);
    EXPECT_EQ(v.as_string(), "12 apples");
    v = true;
    EXPECT_EQ(v.as_string(), "yes");
}

TEST(VariantTest, SetReturnsTheVariantForChaining) {
    util::variant v;
    EXPECT_EQ(v.set(3).set("4k").as_int(), 4000);
    EXPECT_DOUBLE_EQ(v.set(std::string("250ms")).as_double(), 0.25);
}

TEST(VariantTest, TruthConvertsToZeroAndMinusOneAsAnInteger) {
    EXPECT_EQ(util::variant(true).as_int(), 0);
    EXPECT_EQ(util::variant(false).as_int(), -1);
    EXPECT_EQ(util::variant(true).as_double(), 0.0);
    EXPECT_EQ(util::variant(false).as_double(), 1.0);
    EXPECT_EQ(util::variant(false).as_string(), "no");
}

TEST(VariantTest, RealTruncatesTowardZero) {
    EXPECT_EQ(util::variant(-2.9).as_int(), -2);
    EXPECT_EQ(util::variant(2.9).as_int(), 2);
    EXPECT_EQ(util::variant(-3).as_double(), -3.0);
}

TEST(VariantTest, RealsWithoutAnIntegerCounterpartConvertToZero) {
    EXPECT_EQ(util::variant(std::numeric_limits<double>::quiet_NaN()).as_int(), 0);
    EXPECT_EQ(util::variant(std::numeric_limits<double>::infinity()).as_int(), 0);
    EXPECT_EQ(util::variant(-std::numeric_limits<double>::infinity()).as_int(), 0);
    EXPECT_EQ(util::variant(1e20).as_int(), 0);
    EXPECT_EQ(util::variant(2147483647.9).as_int(), 2147483647);
    EXPECT_EQ(util::variant(-2147483648.9).as_int(), -2147483647 - 1);
    EXPECT_EQ(util::variant("99999999999").as_int(), 0);
}

TEST(VariantTest, HugeRealsFormatWithinTheBuffer) {
    std::string text = util::variant(std::numeric_limits<double>::max()).as_string();
    EXPECT_EQ(text.size(), 316u);
    EXPECT_EQ(text.substr(0, 6), "179769");
    EXPECT_EQ(text.substr(text.size() - 7), ".000000");
    EXPECT_EQ(util::variant(-std::numeric_limits<double>::infinity()).as_string(), "-inf");
}

TEST(VariantTest, RealIsFalseWhenZeroOrNaN) {
    EXPECT_FALSE(util::variant(0.0).as_bool());
    EXPECT_FALSE(util::variant(std::numeric_limits<double>::quiet_NaN()).as_bool());
    EXPECT_TRUE(util::variant(0.001).as_bool());
    EXPECT_TRUE(util::variant(-4).as_bool());
}

TEST(VariantTest, TextIsTrueForTheTrueWordsInAnyCase) {
    for (const char* text : {"Yes", "TRUE", "enabled", "yEs"}) {
        EXPECT_TRUE(util::variant(text).as_bool()) << text;
    }
}

TEST(VariantTest, TextIsFalseForOtherWordsAndZero) {
    for (const char* text :
         {"no", "0", "", "  000x", "yes ", "truest", "off", "-0", "0x5", "- 5"}) {
        EXPECT_FALSE(util::variant(text).as_bool()) << text;
    }
}

TEST(VariantTest, TextIsTrueWhenItStartsWithANonZeroInteger) {
    for (const char* text : {"12 apples", " \t-3", "+1", "007", "99999999999999999999"}) {
        EXPECT_TRUE(util::variant(text).as_bool()) << text;
    }
}

TEST(VariantTest, NullCharacterPointerIsTheEmptyText) {
    const char* none = nullptr;
    util::variant v(none);
    EXPECT_EQ(v.as_string(), "");
    EXPECT_EQ(v.as_int(), 0);
}

}  // namespace

#include "config/number.h"

#include <gtest/gtest.h>

namespace {

struct NumberCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

class ParseNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberTest, AcceptsExactlyTheStoredForms) {
    EXPECT_EQ(ParseNumber(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

const NumberCase kNumberCases[] = {
    {"9761", 9761},
    {" 9761", 9761},
    {"   -12", -12},
    {"+12", 12},
    {"0", 0},
    {"-0", 0},
    {"2147483647", 2147483647},
    {"-2147483648", INT32_MIN},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"99999999999999999999", std::nullopt},
    {"0x2621", 9761},
    {"0X2621", 9761},
    {"x2621", 9761},
    {"X2621", 9761},
    {"$2621", 9761},
    {"$ff", 255},
    {"$FFFFFFFF", -1},
    {"$80000000", INT32_MIN},
    {"  -0x10", -16},
    {"$123456789", std::nullopt},  // nine hex digits
    {"$", std::nullopt}, {"0x", std::nullopt}, {"-", std::nullopt}, {"+", std::nullopt},
    {"", std::nullopt}, {"   ", std::nullopt},
    {"9761 ", std::nullopt},
    {"97 61", std::nullopt},
    {"abc", std::nullopt}, {"12abc", std::nullopt}, {"--1", std::nullopt}, {"+-1", std::nullopt},
    {"\t5", std::nullopt},  // only the space character counts as a blank
    {"0x-5", std::nullopt},
    {"$G", std::nullopt},
    {"1e3", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Table, ParseNumberTest, testing::ValuesIn(kNumberCases));

TEST(ParseDecimal, RefusesHexadecimalButKeepsTheDecimalForm) {
    EXPECT_EQ(ParseDecimal("9761"), 9761);
    EXPECT_EQ(ParseDecimal(" -5"), -5);
    EXPECT_EQ(ParseDecimal("$10"), std::nullopt);
    EXPECT_EQ(ParseDecimal("0x10"), std::nullopt);
    EXPECT_EQ(ParseDecimal("2147483648"), std::nullopt);
    EXPECT_EQ(ParseDecimal(""), std::nullopt);
}

TEST(Decimal, IsPlainSignedText) {
    EXPECT_EQ(Decimal(-1), "-1");
    EXPECT_EQ(Decimal(9600), "9600");
    EXPECT_EQ(Decimal(INT32_MIN), "-2147483648");
}

}  // namespace

#include <gtest/gtest.h>

#include <clocale>

#include "base/number_text.h"

namespace qv {
namespace {

struct WholeCase {
    const char* text;
    std::optional<int32_t> expected;
};

TEST(ParseWholeNumber, ReadsDecimalNumbersRoundingHalfToEven) {
    const WholeCase cases[] = {
        {"5000", 5000},          {"  -100 ", -100},       {"+7", 7},
        {"\t12\t", 12},          {"2.5", 2},              {"3.5", 4},
        {"-2.5", -2},            {"-3.5", -4},            {"0.5", 0},
        {"1.5", 2},              {"2.4999", 2},           {"2.5001", 3},
        {"1e3", 1000},           {"15E-1", 2},            {".5", 0},
        {"7.", 7},               {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483647.4", 2147483647},
        {"0000012", 12},         {"-0", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseWholeNumber(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseWholeNumber, RefusesWhatIsNotANumberOrOutOfRange) {
    const char* refused[] = {"",       " ",        "abc",     "12abc",   "1 2",  "99999999999", "2147483648",
                             "2147483647.5",       "-2147483649",        "inf",  "nan",         "-inf",
                             "1e",     "e5",       ".",       "+",       "--1",  "0x10",        "1,5",
                             "1e999",  "5 000",    "\xA3\xB5"};
    for (const char* text : refused) EXPECT_EQ(ParseWholeNumber(text), std::nullopt) << '"' << text << '"';
}

TEST(ParseDecimal, ReadsWithAPointWhateverTheLocale) {
    // A locale with a decimal comma must not change what the settings mean.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(ParseDecimal("0.0005"), 0.0005);
    EXPECT_EQ(ParseDecimal(" -12.25 "), -12.25);
    EXPECT_EQ(ParseDecimal("1e-3"), 0.001);
    EXPECT_EQ(ParseDecimal("1e-400"), 0.0);  // too small to hold reads as zero
    EXPECT_EQ(ParseDecimal("0.0001e-320"), 0.0);
    EXPECT_EQ(ParseDecimal("0,5"), std::nullopt);
    EXPECT_EQ(ParseDecimal("1e400"), std::nullopt);
    EXPECT_EQ(ParseDecimal("100000000000000000000000000000000000e-30"), 1e5);
    EXPECT_EQ(ParseDecimal("NaN"), std::nullopt);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ShortestText, WritesTheShortestRoundTrip) {
    EXPECT_EQ(ShortestFloatText(0.0f), "0");
    EXPECT_EQ(ShortestFloatText(5040.0f), "5040");
    EXPECT_EQ(ShortestFloatText(5032.5f), "5032.5");
    EXPECT_EQ(ShortestDoubleText(100.0), "100");
    EXPECT_EQ(ShortestDoubleText(22.5401), "22.5401");
    EXPECT_EQ(ShortestDoubleText(-0.1), "-0.1");
    // No exponents where a person reads them.
    EXPECT_EQ(ShortestFloatText(100000.0f), "100000");
    EXPECT_EQ(ShortestDoubleText(0.0001), "0.0001");
    EXPECT_EQ(ShortestDoubleText(2147483647.0), "2147483647");
    EXPECT_EQ(ShortestDoubleText(0.1 + 0.2), "0.30000000000000004");
}

}  // namespace
}  // namespace qv

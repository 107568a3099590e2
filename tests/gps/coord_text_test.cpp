#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "gps/coord_text.h"

namespace qv {
namespace {

TEST(CoordinateText, DegreesMinutesSeconds) {
    struct {
        double value;
        bool latitude;
        const char* text;
    } cases[] = {
        {48.1173, true, "N  48°07' 02.28\""},   {-33.7613, true, "S  33°45' 40.68\""},
        {113.2674, false, "E 113°16' 02.64\""}, {-0.5, false, "W 0°30' 00.00\""},
        {0.5, false, "E 0°30' 00.00\""},        {48.05, true, "N  48°03' 00.00\""},
        {23.5, true, "N  23°30' 00.00\""},      {0, true, "N  0°00' 00.00\""},
        {0, false, "E 0°00' 00.00\""},          {180, false, "E 180°00' 00.00\""},
        {-180, false, "W 180°00' 00.00\""},     {90, true, "N  90°00' 00.00\""},
        // Seconds that round to 60.00 carry into the minutes, and on into the degrees.
        {10.99999999, true, "N  11°00' 00.00\""}, {10.0166666, true, "N  10°01' 00.00\""},
        {22.5431, true, "N  22°32' 35.16\""},   {114.0579, false, "E 114°03' 28.44\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.latitude ? FormatLatitude(c.value) : FormatLongitude(c.value), c.text) << c.value;
}

TEST(CoordinateText, EveryFourDecimalValueReadsBackWithinHalfAHundredthOfASecond) {
    for (int i = 0; i <= 1800000; i += 7) {
        double value = i / 10000.0;
        std::string text = FormatLongitude(value);
        int degrees = 0, minutes = 0;
        double seconds = 0;
        ASSERT_EQ(std::sscanf(text.c_str(), "E %d\xC2\xB0%d' %lf", &degrees, &minutes, &seconds), 3) << text;
        ASSERT_LT(minutes, 60) << text;
        ASSERT_LT(seconds, 60) << text;
        EXPECT_NEAR(degrees + minutes / 60.0 + seconds / 3600.0, value, 0.005 / 3600 + 1e-9) << text;
    }
}

TEST(CoordinateText, NoValueBreaksIt) {
    EXPECT_EQ(FormatLatitude(std::nan("")), "N  0°00' 00.00\"");
    EXPECT_EQ(FormatLongitude(-1e300).substr(0, 2), "W ");
}

}  // namespace
}  // namespace qv

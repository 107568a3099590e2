#include "gps/coord_text.h"

#include <cmath>
#include <cstdio>

namespace qv {
namespace {

std::string Format(double value, const char* positive, const char* negative) {
    if (!std::isfinite(value)) value = 0;
    const char* prefix = value < 0 ? negative : positive;
    double rest = std::fabs(value);
    double degrees = std::floor(rest);
    double minutesExact = (rest - degrees) * 60;
    double minutes = std::floor(minutesExact);
    long hundredths = std::lround((minutesExact - minutes) * 60 * 100);  // seconds to two decimals
    if (hundredths >= 6000) {
        hundredths = 0;
        minutes += 1;
    }
    if (minutes >= 60) {
        minutes = 0;
        degrees += 1;
    }
    char text[400];
    std::snprintf(text, sizeof text, "%s%.0f\xC2\xB0%02d' %02ld.%02ld\"", prefix, degrees, static_cast<int>(minutes),
                  hundredths / 100, hundredths % 100);
    return text;
}

}  // namespace

std::string FormatLatitude(double degrees) { return Format(degrees, "N  ", "S  "); }
std::string FormatLongitude(double degrees) { return Format(degrees, "E ", "W "); }

}  // namespace qv

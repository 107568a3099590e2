#include "base/run_log.h"

#include <ctime>

namespace qv {
namespace {

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

std::string SystemLocalClock::GeneralDateNow() const {
    std::tm local = LocalNow();
    char text[64];
    size_t n = std::strftime(text, sizeof text, "%Y/%-m/%-d %H:%M:%S", &local);
    return std::string(text, n);
}

std::string SystemLocalClock::TimeOfDayNow() const {
    std::tm local = LocalNow();
    char text[16];
    size_t n = std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return std::string(text, n);
}

LocalDateTime SystemLocalClock::Now() const {
    std::tm t = LocalNow();
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace qv

#pragma once
// Log.txt: one time-stamped line per start-up step, appended while WriteLog is on.
#include <string>
#include <string_view>

#include "base/settings.h"

namespace qv {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class LocalClock {
public:
    virtual ~LocalClock() = default;
    // The local date and time now, in the platform's general date format
    // (short date and time of day, as the user's regional settings give them).
    virtual std::string GeneralDateNow() const = 0;
    // The local time of day now as "hh:mm:ss" on a 24-hour clock.
    virtual std::string TimeOfDayNow() const = 0;
    virtual LocalDateTime Now() const = 0;
};

class SystemLocalClock final : public LocalClock {
public:
    std::string GeneralDateNow() const override;
    std::string TimeOfDayNow() const override;
    LocalDateTime Now() const override;
};

// One line as written: the time stamp, the message starting at the next print
// column (columns are 14 characters wide), CR LF.
std::string FormatLogLine(std::string_view stamp, std::string_view message);

class RunLog {
public:
    RunLog(const AppSettings& settings, const LocalClock& clock) : settings_(settings), clock_(clock) {}
    // Opens, appends and closes Log.txt; a line that cannot be written is lost without a word.
    void LogLine(std::string_view message) const;

private:
    const AppSettings& settings_;
    const LocalClock& clock_;
};

}  // namespace qv

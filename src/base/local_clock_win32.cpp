#include "base/run_log.h"
#include "base/text_codec.h"

#include <windows.h>

namespace qv {

std::string SystemLocalClock::GeneralDateNow() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[80] = L"", time[80] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 80);
    return WideToUtf8(date) + " " + WideToUtf8(time);
}

std::string SystemLocalClock::TimeOfDayNow() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    wsprintfA(text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

LocalDateTime SystemLocalClock::Now() const {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace qv

#include "base/run_log.h"

#include "base/file_io.h"
#include "base/text_codec.h"

namespace qv {

std::string FormatLogLine(std::string_view stamp, std::string_view message) {
    constexpr size_t kPrintZone = 14;
    std::string line(stamp);
    line.append(kPrintZone - line.size() % kPrintZone, ' ');
    line += message;
    line += "\r\n";
    return line;
}

void RunLog::LogLine(std::string_view message) const {
    if (!settings_.WriteLog) return;
    // The print columns count the bytes written, which are the ANSI code page's.
    AppendToFile(settings_.LogFile, FormatLogLine(Utf8ToAnsi(clock_.GeneralDateNow()), Utf8ToAnsi(message)));
}

}  // namespace qv

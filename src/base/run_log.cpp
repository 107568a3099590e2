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
    AppendToFile(settings_.LogFile, Utf8ToAnsi(FormatLogLine(clock_.GeneralDateNow(), message)));
}

}  // namespace qv

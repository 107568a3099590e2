// The recovery reader on arbitrary files: never a crash, and what it keeps is
// what the recorder writes: a start time that reads back the same, and whole
// coordinate lines that a track document takes as they are.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "track/kml_document.h"
#include "track/track_recovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<qv::RecoveredTrack> track = qv::ReadRecovery(bytes);
    if (!track) return 0;
    std::optional<qv::RecoveredTrack> again = qv::ReadRecovery(qv::RecoveryHeader(track->start));
    if (!again || qv::RecoveryHeader(again->start) != qv::RecoveryHeader(track->start) || !again->lines.empty())
        std::abort();
    qv::KmlDocument document;
    document.Begin(track->start);
    size_t total = 0;
    for (const std::string& line : track->lines) {
        if (line.size() < 2 || line.substr(line.size() - 2) != "\r\n" || line.find('\0') != std::string::npos)
            std::abort();
        document.AppendLine(line);
        total += line.size();
    }
    if (document.points() != track->lines.size() || total > size) std::abort();
    return 0;
}

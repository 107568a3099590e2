#pragma once
// Decoding of the receiver's "$GP" sentences into GpsFix.
#include <cstdint>
#include <string>
#include <string_view>

#include "gps/gps_fix.h"

namespace qv {

enum class NmeaError {
    None,
    TooManyFields,       // more than 21 comma-terminated fields
    AltitudeOutOfRange,  // GGA altitude beyond -32768..32767 once rounded
    BadTime,             // RMC time not hhmmss[.f] within a day
    BadTimeZone,         // the configured time zone beyond -23..23
    BadLatitude,         // RMC latitude or its hemisphere unreadable
    BadLongitude,        // RMC longitude or its hemisphere unreadable
    BadSpeed,            // RMC speed empty or unreadable
    BadCourse,           // RMC course unreadable
};

// The outcome of one line: `result` is 1 for an RMC with a valid fix, -1 for a
// void RMC and 0 for anything else; a failed line has `error` set, and what
// was stored before the failing step stays stored.
struct NmeaOutcome {
    int32_t result = 0;
    NmeaError error = NmeaError::None;
    bool failed() const { return error != NmeaError::None; }
};

// The XOR of the characters of a sentence body (what lies between '$' and '*').
unsigned NmeaChecksum(std::string_view body);
// "$" + body + "*hh" with the body's checksum, as a receiver sends it (no line end).
std::string NmeaSentence(std::string_view body);

// True when the line has no "*hh" checksum, or when the checksum matches the
// XOR of the characters between '$' and '*'.
bool NmeaChecksumOk(std::string_view line);

// Decodes one line (without its line end). Lines that are not "$GP"
// sentences, or whose checksum does not match, give 0 and change nothing.
NmeaOutcome ParseNmea(std::string_view line, int32_t timeZone, GpsFix& fix);

}  // namespace qv

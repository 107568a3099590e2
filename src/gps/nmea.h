#pragma once
// Decoding of the receiver's sentences into GpsFix: "$GP" ones, and those of
// the other talkers the user lists.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The talkers whose RMC, GGA and GSA sentences are decoded ("GP", "GN", ...).
class TalkerList {
public:
    TalkerList() : ids_{"GP"} {}
    bool Has(std::string_view id) const;
    const std::vector<std::string>& ids() const { return ids_; }

private:
    friend TalkerList ParseTalkers(std::string_view text);
    std::vector<std::string> ids_;
};

// "GP, gn,GL": two-letter ids between commas, blanks and letter case aside.
// Items that are not two letters are passed over; with none left, GP alone.
TalkerList ParseTalkers(std::string_view text);

// Decodes one line (without its line end). Lines that are not sentences of a
// listed talker, or whose checksum does not match, give 0 and change nothing.
NmeaOutcome ParseNmea(std::string_view line, int32_t timeZone, GpsFix& fix, const TalkerList& talkers);
// The same for the "$GP" talker alone.
NmeaOutcome ParseNmea(std::string_view line, int32_t timeZone, GpsFix& fix);

// The talker of an RMC sentence with a good "*hh" checksum, whatever its talker.
std::optional<std::string> RmcTalker(std::string_view line);
// True for a sentence of any talker that carries a "*hh" checksum that matches.
bool IsCheckedSentence(std::string_view line);

}  // namespace qv

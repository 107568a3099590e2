#include "gps/nmea.h"

#include <array>
#include <cmath>
#include <optional>

#include "base/number_text.h"

namespace qv {
namespace {

constexpr size_t kMaxFields = 21;
constexpr double kKnotsToKmh = 1.8519984;

using Fields = std::array<std::string_view, kMaxFields>;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with an optional fraction and nothing else ("4807.038").
std::optional<double> UnsignedDecimal(std::string_view text) {
    if (text.empty() || !(IsDigit(text.front()) || text.front() == '.')) return std::nullopt;
    for (char c : text)
        if (!IsDigit(c) && c != '.') return std::nullopt;
    return ParseDecimal(text);
}

// Splits at commas: the text before each comma is the next field, the text
// after the last comma (the checksum field) is not kept. False for too many fields.
bool SplitFields(std::string_view line, Fields& fields) {
    size_t count = 0, start = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != ',') continue;
        if (count == kMaxFields) return false;
        fields[count++] = line.substr(start, i - start);
        start = i + 1;
    }
    return true;
}

// Degrees from `degreeDigits` leading digits, minutes from the rest; minutes/60
// rounded to 4 decimal places.
std::optional<double> Coordinate(std::string_view text, size_t degreeDigits) {
    if (text.size() <= degreeDigits) return std::nullopt;
    double degrees = 0;
    for (size_t i = 0; i < degreeDigits; ++i) {
        if (!IsDigit(text[i])) return std::nullopt;
        degrees = degrees * 10 + (text[i] - '0');
    }
    std::optional<double> minutes = UnsignedDecimal(text.substr(degreeDigits));
    if (!minutes) return std::nullopt;
    return degrees + std::nearbyint(*minutes / 60 * 10000) / 10000;
}

int TwoDigits(std::string_view text, size_t at) {
    if (!IsDigit(text[at]) || !IsDigit(text[at + 1])) return -1;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
NmeaOutcome DecodeGga(const Fields& f, GpsFix& fix) {
    std::optional<double> altitude = ParseDecimal(f[9]);
    if (!altitude) return {};
    double rounded = std::nearbyint(*altitude);  // halves to the even neighbour
    if (rounded < -32768 || rounded > 32767) return {0, NmeaError::AltitudeOutOfRange};
    fix.High = rounded;
    return {};
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
NmeaOutcome DecodeGsa(const Fields& f, GpsFix& fix) {
    if (std::optional<double> pdop = ParseDecimal(f[15])) fix.Pdop = static_cast<float>(*pdop);
    return {};
}

// hhmmss[.f] within a day, as local time in `timeZone`.
NmeaOutcome DecodeRmcTime(std::string_view time, int32_t timeZone, GpsFix& fix) {
    if (time.size() < 6) return {0, NmeaError::BadTime};
    int hours = TwoDigits(time, 0), minutes = TwoDigits(time, 2), seconds = TwoDigits(time, 4);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return {0, NmeaError::BadTime};
    if (time.size() > 6) {
        if (time[6] != '.') return {0, NmeaError::BadTime};
        for (char c : time.substr(7))
            if (!IsDigit(c)) return {0, NmeaError::BadTime};
    }
    if (timeZone < -23 || timeZone > 23) return {0, NmeaError::BadTimeZone};
    long local = ((hours + timeZone) * 3600L + minutes * 60L + seconds) % 86400L;
    if (local < 0) local += 86400L;
    fix.FixTime = local / 86400.0;
    return {};
}

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
// Each step stores its value before the next one may fail. A void fix ("V") may leave out what it does not know (many receivers send
// "$GPRMC,,V,,,,,,,,,,N" without a fix): an empty time, position pair or speed
// then keeps what was stored, and the line still counts as the void fix it is.
NmeaOutcome DecodeRmc(const Fields& f, int32_t timeZone, GpsFix& fix) {
    const bool isVoid = f[2] == "V";
    std::string_view time = f[1];
    if (!(isVoid && time.empty())) {
        if (NmeaOutcome bad = DecodeRmcTime(time, timeZone, fix); bad.failed()) return bad;
    }

    std::string_view status = f[2];
    if (status != "A" && status != "V") return {};

    if (!(isVoid && f[3].empty() && f[4].empty())) {
        std::optional<double> latitude = Coordinate(f[3], 2);
        if (!latitude || (f[4] != "N" && f[4] != "S")) return {0, NmeaError::BadLatitude};
        fix.Latitude = f[4] == "S" ? -*latitude : *latitude;
    }

    if (!(isVoid && f[5].empty() && f[6].empty())) {
        std::optional<double> longitude = Coordinate(f[5], 3);
        if (!longitude || (f[6] != "E" && f[6] != "W")) return {0, NmeaError::BadLongitude};
        fix.Longitude = f[6] == "W" ? -*longitude : *longitude;
    }

    if (!(isVoid && f[7].empty())) {
        std::optional<double> knots = ParseDecimal(f[7]);
        if (!knots || !std::isfinite(*knots * kKnotsToKmh)) return {0, NmeaError::BadSpeed};
        fix.Speed = *knots * kKnotsToKmh;
    }

    double course = 0;
    if (!f[8].empty()) {
        std::optional<double> c = ParseDecimal(f[8]);
        if (!c) return {0, NmeaError::BadCourse};
        course = *c;
    }
    // Courses above 180 are stored minus 360; whole turns are dropped first, so
    // what is stored stays within (-180, 180] however far out the value was.
    // (fmod is exact, so a course up to 540 gives exactly course - 360.)
    if (!std::isfinite(course)) return {0, NmeaError::BadCourse};
    double azimuth = std::fmod(course, 360.0);
    if (azimuth > 180) azimuth -= 360;
    if (azimuth <= -180) azimuth += 360;
    fix.Azimuth = azimuth;

    if (status == "A") {
        fix.GPSState = 1;
        return {1};
    }
    fix.GPSState = 0;
    return {-1};
}

}  // namespace

bool NmeaChecksumOk(std::string_view line) {
    size_t star = line.find('*');
    if (star == std::string_view::npos) return true;
    std::string_view tail = line.substr(star + 1);
    while (!tail.empty() && (tail.back() == ' ' || tail.back() == '\t')) tail.remove_suffix(1);
    if (tail.size() != 2) return false;
    int hi = HexDigit(tail[0]), lo = HexDigit(tail[1]);
    if (hi < 0 || lo < 0) return false;
    size_t begin = line.find('$') + 1;
    return NmeaChecksum(line.substr(begin, star > begin ? star - begin : 0)) == static_cast<unsigned>(hi * 16 + lo);
}

unsigned NmeaChecksum(std::string_view body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return sum;
}

std::string NmeaSentence(std::string_view body) {
    static const char kHex[] = "0123456789ABCDEF";
    unsigned sum = NmeaChecksum(body);
    std::string s = "$";
    s += body;
    s += '*';
    s += kHex[sum >> 4];
    s += kHex[sum & 15];
    return s;
}

bool TalkerList::Has(std::string_view id) const {
    for (const std::string& t : ids_)
        if (t == id) return true;
    return false;
}

TalkerList ParseTalkers(std::string_view text) {
    TalkerList list;
    list.ids_.clear();
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string_view::npos) comma = text.size();
        std::string_view item = text.substr(at, comma - at);
        at = comma + 1;
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
        if (item.size() != 2) continue;
        std::string id;
        for (char c : item) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (c < 'A' || c > 'Z') break;
            id += c;
        }
        if (id.size() == 2 && !list.Has(id)) list.ids_.push_back(id);
    }
    if (list.ids_.empty()) list.ids_.push_back("GP");
    return list;
}

NmeaOutcome ParseNmea(std::string_view line, int32_t timeZone, GpsFix& fix, const TalkerList& talkers) {
    if (line.size() < 3 || line[0] != '$' || !talkers.Has(line.substr(1, 2))) return {};
    // A damaged sentence is treated like one of another talker.
    if (!NmeaChecksumOk(line)) return {};
    Fields fields{};
    if (!SplitFields(line, fields)) return {0, NmeaError::TooManyFields};
    std::string_view type = fields[0].size() > 3 ? fields[0].substr(3) : std::string_view();
    if (type == "GGA") return DecodeGga(fields, fix);
    if (type == "GSA") return DecodeGsa(fields, fix);
    if (type == "RMC") return DecodeRmc(fields, timeZone, fix);
    return {};  // GSV, VTG and the rest drive nothing
}

NmeaOutcome ParseNmea(std::string_view line, int32_t timeZone, GpsFix& fix) {
    static const TalkerList kGpsOnly;
    return ParseNmea(line, timeZone, fix, kGpsOnly);
}

bool IsCheckedSentence(std::string_view line) {
    return line.size() > 4 && line[0] == '$' && line.find('*') != std::string_view::npos && NmeaChecksumOk(line);
}

std::optional<std::string> RmcTalker(std::string_view line) {
    if (line.size() < 7 || line.substr(3, 4) != "RMC," || !IsCheckedSentence(line)) return std::nullopt;
    return std::string(line.substr(1, 2));
}

}  // namespace qv

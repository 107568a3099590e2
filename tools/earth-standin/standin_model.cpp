#include "standin_model.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "base/number_text.h"

namespace standin {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegreeLat = 110540;
constexpr double kMetresPerDegreeLonAtEquator = 111320;

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool Faults::Refuses(std::string_view member) const { return refuse.count(Lower(member)) > 0; }
bool Faults::IsSlow(std::string_view member) const {
    return slowMs > 0 && (slow.count("*") > 0 || slow.count(Lower(member)) > 0);
}

bool Faults::Hangs(std::string_view member) const { return hang.count(Lower(member)) > 0; }

std::set<std::string> ParseMemberList(std::string_view text) {
    std::set<std::string> out;
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string_view::npos) comma = text.size();
        std::string_view item = text.substr(at, comma - at);
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) item.remove_prefix(1);
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.back()))) item.remove_suffix(1);
        if (!item.empty()) out.insert(Lower(item));
        at = comma + 1;
    }
    return out;
}

std::vector<GeoPoint> ParseKmlCoordinates(std::string_view kml) {
    std::vector<GeoPoint> points;
    size_t at = 0;
    for (;;) {
        size_t open = kml.find("<coordinates>", at);
        if (open == std::string_view::npos) break;
        open += 13;
        size_t close = kml.find("</coordinates>", open);
        if (close == std::string_view::npos) close = kml.size();
        std::string_view body = kml.substr(open, close - open);
        size_t i = 0;
        while (i < body.size()) {
            while (i < body.size() && std::isspace(static_cast<unsigned char>(body[i]))) ++i;
            size_t end = i;
            while (end < body.size() && !std::isspace(static_cast<unsigned char>(body[end]))) ++end;
            std::string_view tuple = body.substr(i, end - i);
            i = end;
            size_t c1 = tuple.find(',');
            if (c1 == std::string_view::npos) continue;
            size_t c2 = tuple.find(',', c1 + 1);
            auto lon = qv::ParseDecimal(tuple.substr(0, c1));
            auto lat = qv::ParseDecimal(tuple.substr(c1 + 1, (c2 == std::string_view::npos ? tuple.size() : c2) - c1 - 1));
            if (lon && lat) points.push_back({*lat, *lon});
        }
        at = close;
    }
    return points;
}

std::string JournalNumber(double value) { return qv::ShortestDoubleText(value); }

std::string JournalText(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

Projection::Projection(const Camera& camera, int width, int height)
    : camera_(camera), cx_(width / 2.0), cy_(height / 2.0) {
    double range = std::isfinite(camera.range) && camera.range > 1 ? camera.range : 1;
    metresPerPixel_ = range / std::max(height, 1);
    halfDiagonalPx_ = std::hypot(width / 2.0, height / 2.0);
}

void Projection::ToScreen(const GeoPoint& p, double& x, double& y) const {
    double dx = (p.longitude - camera_.longitude) * kMetresPerDegreeLonAtEquator * std::cos(camera_.latitude * kPi / 180);
    double dy = (p.latitude - camera_.latitude) * kMetresPerDegreeLat;
    double a = camera_.azimuth * kPi / 180;
    double rx = dx * std::cos(a) - dy * std::sin(a);
    double ry = dx * std::sin(a) + dy * std::cos(a);
    x = cx_ + rx / metresPerPixel_;
    y = cy_ - ry / metresPerPixel_;
}

double Projection::HalfSpanDegrees() const { return halfDiagonalPx_ * metresPerPixel_ / kMetresPerDegreeLat; }

double Projection::GraticuleStep() const {
    double target = HalfSpanDegrees() / 3;
    if (!(target > 1e-9)) return 1e-9;
    double power = std::pow(10.0, std::floor(std::log10(target)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= target) return m * power;
    return 10 * power;
}

}  // namespace standin

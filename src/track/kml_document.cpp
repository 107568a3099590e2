#include "track/kml_document.h"

#include <cmath>
#include <cstdio>

namespace qv {
namespace {

// Rounded half away from zero; never "-0".
std::string Fixed(double value, int decimals) {
    double scale = decimals == 4 ? 10000.0 : 1.0;
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0) rounded = 0.0;  // drops the sign of -0
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, rounded);
    return text;
}

}  // namespace

std::string CoordinateLine(double longitude, double latitude, double altitude) {
    return Fixed(longitude, 4) + "," + Fixed(latitude, 4) + "," + Fixed(altitude, 0) + "\r\n";
}

void KmlDocument::Begin(const LocalDateTime& t) {
    char name[96];
    std::snprintf(name, sizeof name, "<name>Track %04d-%02d-%02d %02d:%02d:%02d</name>\r\n", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    std::string opening = std::string(
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                              "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
                              "<Document>\r\n") +
                          name +
                          "<Placemark>\r\n"
                          "<name>Road Name</name>\r\n"
                          "<Style>\r\n"
                          "<LineStyle>\r\n"
                          "<color>fc00ffff</color>\r\n"
                          "<width>3</width>\r\n"
                          "</LineStyle>\r\n"
                          "</Style>\r\n"
                          "<LineString>\r\n"
                          "<tessellate>1</tessellate>\r\n"
                          "<coordinates>\r\n";
    head_.clear();
    head_.shrink_to_fit();
    head_.reserve(opening.size() + 64 * 22);
    head_.assign(opening.begin(), opening.end());
    tail_ = "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n</Document>\r\n</kml>";
    points_ = 0;
}

void KmlDocument::AppendPoint(double longitude, double latitude, double altitude) {
    AppendLine(CoordinateLine(longitude, latitude, altitude));
}

void KmlDocument::AppendLine(std::string_view line) {
    if (head_.size() + line.size() > head_.capacity()) head_.reserve(head_.size() + head_.size() / 2 + line.size());
    head_.insert(head_.end(), line.begin(), line.end());
    ++points_;
}

std::string KmlDocument::FileImage() const { return std::string(head()) + "\r\n" + tail_ + "\r\n"; }

}  // namespace qv

#pragma once
// The stand-in Earth's state and drawing geometry, kept apart from Win32 so
// it can be tested natively.
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct Camera {
    double latitude = 22.5431;  // Shenzhen, where our users drive
    double longitude = 114.0579;
    double range = 10000;  // eye height, metres
    double tilt = 0;
    double azimuth = 0;
};

struct GeoPoint {
    double latitude;
    double longitude;
};

// The [Faults] switches of EarthStandIn.ini.
struct Faults {
    std::set<std::string> refuse;  // member names, lower case, that fail
    std::set<std::string> slow;    // member names, lower case ("*" for all), answered after slowMs
    int slowMs = 0;
    long exitAtCall = 0;  // the process ends on this call (counted from 1); 0 never
    int initMs = 0;       // for this long after the start, not initialised
    bool noControl = false;        // the control class is not served
    std::set<std::string> hang;    // member names, lower case, that never answer
    bool teleported = false;       // camera calls answer S_TELEPORTED

    bool Refuses(std::string_view member) const;
    bool IsSlow(std::string_view member) const;
    bool Hangs(std::string_view member) const;
    // Still starting `elapsedMs` after the process began.
    bool Starting(long long elapsedMs) const { return elapsedMs < initMs; }
};

// "setViewParams, OpenFile" -> {"setviewparams", "openfile"}
std::set<std::string> ParseMemberList(std::string_view text);

// The points of every <coordinates> element of a KML document ("lon,lat[,alt]" tuples).
std::vector<GeoPoint> ParseKmlCoordinates(std::string_view kml);

// Journal arguments: numbers in shortest round-trip form, texts quoted.
std::string JournalNumber(double value);
std::string JournalText(std::string_view utf8);

// Maps the ground around the camera onto a window of the given size: the camera
// position at the centre, the camera heading up, the eye height fitting the height.
class Projection {
public:
    Projection(const Camera& camera, int width, int height);
    void ToScreen(const GeoPoint& p, double& x, double& y) const;
    double MetresPerPixel() const { return metresPerPixel_; }
    // Degrees between graticule lines: 1, 2 or 5 times a power of ten, a few lines across the view.
    double GraticuleStep() const;
    // Half the view's diagonal, in degrees of latitude.
    double HalfSpanDegrees() const;

private:
    Camera camera_;
    double cx_, cy_;
    double metresPerPixel_;
    double halfDiagonalPx_;
};

}  // namespace standin

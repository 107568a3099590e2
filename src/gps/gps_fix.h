#pragma once
#include <cstdint>

namespace qv {

// The receiver state as decoded so far. Fields are only ever overwritten.
struct GpsFix {
    int32_t GPSState = 0;  // -1 no receiver, 0 connected without a fix, 1 valid fix
    double Longitude = 0;  // decimal degrees, east positive
    double Latitude = 0;   // decimal degrees, north positive
    double Speed = 0;      // km/h
    double Azimuth = 0;    // course, above -180 up to 180
    double High = 0;       // metres above sea level, whole
    double FixTime = 0;    // local time of day as a fraction of a day
    float Pdop = 0;        // -1 while unknown
};

}  // namespace qv

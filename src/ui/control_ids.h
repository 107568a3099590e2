#pragma once
// Child window ids of the panel; the end-to-end test driver finds controls by them.
namespace qv::control_id {

inline constexpr int kQuit = 100;
inline constexpr int kState = 101;        // txtState
inline constexpr int kGpsImage0 = 110;    // imgGPS(0), red
inline constexpr int kGpsImage1 = 111;    // imgGPS(1), grey
inline constexpr int kGpsImage2 = 112;    // imgGPS(2), blue
inline constexpr int kLongitude = 120;    // lblLongitude
inline constexpr int kLatitude = 121;     // lblLatitude
inline constexpr int kSpeed = 122;        // lblSpeed
inline constexpr int kAzimuth = 123;      // lblAzimuth
inline constexpr int kHigh = 124;         // lblHigh
inline constexpr int kTime = 125;         // lblTime
inline constexpr int kTrack = 130;        // chkTrack
inline constexpr int kTest = 131;         // chkTest, hidden
inline constexpr int kFocus = 132;        // txt1

}  // namespace qv::control_id

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
inline constexpr int kFollow = 140;       // chkGPS
inline constexpr int kZoomIn = 141;       // cmdZoomB
inline constexpr int kZoomOut = 142;      // cmdZoomS
inline constexpr int kHeadingUp = 143;    // optN(0)
inline constexpr int kNorthUp = 144;      // optN(1)
inline constexpr int kFlat = 145;         // opt3D(0)
inline constexpr int kTilted = 146;       // opt3D(1)
inline constexpr int kPicker = 147;       // cmdSetMapWnd
inline constexpr int kTool = 148;         // cmdTool
inline constexpr int kAbout = 150;        // imgAbout, the logo

}  // namespace qv::control_id

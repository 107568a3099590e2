#pragma once
// The names by which Google Earth's automation server is reached. The program
// calls these through IDispatch and the stand-in Earth answers the same names,
// so this is the one place they are written down.
namespace qv::earth {

// ApplicationGE (IApplicationGE): the application: its window handles, its
// readiness, and the documented camera and file members.
inline constexpr wchar_t kAppClassId[] = L"{8097D7E9-DB9E-4AEF-9B28-61D82A1DF784}";
inline constexpr wchar_t kAppInterfaceId[] = L"{2830837B-D4E8-48C6-B6EE-04633372ABE4}";
// KHInterface (IKHInterface): camera work and file loading.
inline constexpr wchar_t kControlClassId[] = L"{AFD07A5E-3E20-4D77-825C-2F6D1A50BE5B}";
inline constexpr wchar_t kControlInterfaceId[] = L"{80A43F86-E2CD-4671-A7FA-E5627B519711}";
// KHViewInfo (IKHViewInfo): a camera of the control.
inline constexpr wchar_t kCameraInterfaceId[] = L"{45F89E39-7A46-4CA4-97E3-8C5AA252531C}";
// An application's camera (ICameraInfoGE) is only ever reached as IDispatch.

namespace member {
// On the application.
inline constexpr wchar_t kGetMainHwnd[] = L"GetMainHwnd";      // () -> long
inline constexpr wchar_t kGetRenderHwnd[] = L"GetRenderHwnd";  // () -> long
inline constexpr wchar_t kIsInitialized[] = L"IsInitialized";  // () -> long, nonzero when ready
inline constexpr wchar_t kGetCamera[] = L"GetCamera";          // (long considerTerrain) -> ICameraInfoGE
inline constexpr wchar_t kSetCamera[] = L"SetCamera";          // (ICameraInfoGE camera, double speed)
// (double lat, lon, alt, long altMode, double range, tilt, azimuth, speed); altMode 1: relative to the ground
inline constexpr wchar_t kSetCameraParams[] = L"SetCameraParams";
inline constexpr wchar_t kOpenKmlFile[] = L"OpenKmlFile";      // (BSTR fileName, long suppressMessages)
// On the control.
inline constexpr wchar_t kCurrentView[] = L"currentView";      // (long terrain) -> camera
inline constexpr wchar_t kSetView[] = L"setView";              // (camera, long terrain, double speed)
inline constexpr wchar_t kSetViewParams[] = L"setViewParams";  // (double lat, lon, range, tilt, azimuth, long terrain, double speed)
inline constexpr wchar_t kOpenFile[] = L"OpenFile";            // (BSTR fileName)
// On a camera: double properties, get and put. The program uses Range (the
// eye height) and Tilt; a camera also has its position and heading.
inline constexpr wchar_t kRange[] = L"Range";
inline constexpr wchar_t kTilt[] = L"Tilt";
inline constexpr wchar_t kLatitude[] = L"Latitude";
inline constexpr wchar_t kLongitude[] = L"Longitude";
inline constexpr wchar_t kAzimuth[] = L"Azimuth";
// On an application's camera: double properties besides Range, Tilt and Azimuth,
// and the long FocusPointAltitudeMode.
inline constexpr wchar_t kFocusPointLatitude[] = L"FocusPointLatitude";
inline constexpr wchar_t kFocusPointLongitude[] = L"FocusPointLongitude";
inline constexpr wchar_t kFocusPointAltitude[] = L"FocusPointAltitude";
inline constexpr wchar_t kFocusPointAltitudeMode[] = L"FocusPointAltitudeMode";
}  // namespace member

// The application's dispatch ids, as its type library gives them.
namespace dispid {
inline constexpr long kGetCamera = 1;
inline constexpr long kSetCamera = 2;
inline constexpr long kSetCameraParams = 3;
inline constexpr long kOpenKmlFile = 6;
inline constexpr long kIsInitialized = 0x12;
inline constexpr long kGetMainHwnd = 0x1d;
inline constexpr long kGetRenderHwnd = 0x21;
}  // namespace dispid

}  // namespace qv::earth

#pragma once
// Google Earth's automation objects, as the program uses them. Google Earth is
// another process that may be slow, hung or gone: no call waits long for it
// (a call it does not answer in time fails), and none throws.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv {

// What became of one call into Google Earth.
enum class EarthOutcome {
    ok,             // done (S_TELEPORTED counts as done)
    notReady,       // Google Earth is still starting (E_APPLICATION_UNINITIALIZED)
    disconnected,   // the server crashed or was closed: its objects are dead
    unknownMember,  // the object has no member of that name
    timedOut,       // no answer in time, or an earlier call still has none
    failed,         // any other refusal
};

// The one place HRESULTs from Google Earth are read.
EarthOutcome ClassifyEarthResult(int32_t hresult);
const char* EarthOutcomeName(EarthOutcome outcome);

// A camera: eye height (Range) and tilt, in metres and degrees.
class EarthCamera {
public:
    virtual ~EarthCamera() = default;
    virtual std::optional<double> Range() = 0;
    virtual bool SetRange(double metres) = 0;
    virtual std::optional<double> Tilt() = 0;
    virtual bool SetTilt(double degrees) = 0;
};

// The application object (GEApp, IApplicationGE): window handles, 0 meaning
// none, readiness, and the documented camera and file members.
class EarthApp {
public:
    virtual ~EarthApp() = default;
    virtual std::optional<int32_t> GetMainHwnd() = 0;
    virtual std::optional<int32_t> GetRenderHwnd() = 0;
    // ok once Google Earth has finished starting; notReady before.
    virtual EarthOutcome IsInitialized() = 0;
    virtual std::unique_ptr<EarthCamera> GetCamera(bool considerTerrain) = 0;
    // `camera` is one this application handed out.
    virtual bool SetCamera(EarthCamera& camera, double speed) = 0;
    virtual bool SetCameraParams(double latitude, double longitude, double altitude, int32_t altitudeMode,
                                 double range, double tilt, double azimuth, double speed) = 0;
    virtual bool OpenKmlFile(const std::string& path, bool suppressMessages) = 0;
};

// The control object (GECtl, KHInterface): camera work and file loading. When
// the control cannot be had, the same work is routed to the application.
class EarthControl {
public:
    virtual ~EarthControl() = default;
    virtual std::unique_ptr<EarthCamera> CurrentView(bool terrain) = 0;
    // `camera` is one this control handed out.
    virtual bool SetView(EarthCamera& camera, bool terrain, double speed) = 0;
    virtual bool SetViewParams(double latitude, double longitude, double range, double tilt, double azimuth,
                               bool terrain, double speed) = 0;
    virtual bool OpenFile(const std::string& path) = 0;
};

// The control's four members, in the order of EarthControl.
enum class ControlMember { currentView, setView, setViewParams, openFile };
inline constexpr size_t kControlMembers = 4;
using ControlMembers = std::array<bool, kControlMembers>;  // true: the control answers to that name

// One attempt to reach Google Earth. Creating its objects may start Google
// Earth and take long, so it runs elsewhere and is polled.
class EarthConnection {
public:
    enum class State { pending, connected, failed };
    virtual ~EarthConnection() = default;
    virtual State Poll() = 0;
    // Once failed: the HRESULT of the application's creation.
    virtual int32_t FailureCode() = 0;
    // Once connected, each once: the application (always), and the control or nothing.
    virtual std::unique_ptr<EarthApp> TakeApp() = 0;
    virtual std::unique_ptr<EarthControl> TakeControl() = 0;
    // Which of the control's members it knows; all false without a control.
    virtual ControlMembers ControlKnows() = 0;
    // True once any call on this connection's objects found Google Earth gone.
    virtual bool Lost() = 0;
    // True while a call that was given up on has not come back: Google Earth
    // is busy or hung, and calls are refused meanwhile.
    virtual bool Stuck() = 0;
};

class EarthConnector {
public:
    virtual ~EarthConnector() = default;
    virtual std::unique_ptr<EarthConnection> Connect() = 0;
};

}  // namespace qv

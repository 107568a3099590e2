#pragma once
// Google Earth's automation objects, as the program uses them. Every call
// blocks until Google Earth answers and reports whether it worked; none throws.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv {

// A camera obtained from the control: eye height (Range) and tilt in metres and degrees.
class EarthCamera {
public:
    virtual ~EarthCamera() = default;
    virtual std::optional<double> Range() = 0;
    virtual bool SetRange(double metres) = 0;
    virtual std::optional<double> Tilt() = 0;
    virtual bool SetTilt(double degrees) = 0;
};

// The application object (GEApp): window handles, 0 meaning none.
class EarthApp {
public:
    virtual ~EarthApp() = default;
    virtual std::optional<int32_t> GetMainHwnd() = 0;
    virtual std::optional<int32_t> GetRenderHwnd() = 0;
};

// The control object (GECtl): camera work and file loading.
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

// Creates the two objects; nothing when the server or its class is missing.
class EarthConnector {
public:
    virtual ~EarthConnector() = default;
    virtual std::unique_ptr<EarthApp> CreateApp() = 0;
    virtual std::unique_ptr<EarthControl> CreateControl() = 0;
};

}  // namespace qv

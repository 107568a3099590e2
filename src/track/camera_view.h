#pragma once

namespace qv {

// Sends the camera to a position and keeps the vehicle marker over the map's centre.
class CameraView {
public:
    virtual ~CameraView() = default;
    virtual void SetCameraView(double latitude, double longitude, bool tilted, double heading, bool north) = 0;
};

}  // namespace qv

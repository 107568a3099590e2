#pragma once
// The panel's controls as the logic sees them: texts, colours and visibility.
#include <cstdint>
#include <string_view>

#include "gps/state_pictures.h"

namespace qv {

enum class PanelControl {
    txtState,
    imgGPS0,
    imgGPS1,
    imgGPS2,
    lblLongitude,
    lblLatitude,
    lblSpeed,
    lblAzimuth,
    lblHigh,
    lblTime,
};

// The control's name as the program and its journals write it ("lblTime").
inline const char* PanelControlName(PanelControl c) {
    static const char* const kNames[] = {"txtState",     "imgGPS0",  "imgGPS1",    "imgGPS2", "lblLongitude",
                                         "lblLatitude", "lblSpeed", "lblAzimuth", "lblHigh", "lblTime"};
    return kNames[static_cast<int>(c)];
}

class PanelView : public StatePictures {
public:
    virtual void SetText(PanelControl control, std::string_view utf8) = 0;
    virtual void SetVisible(PanelControl control, bool visible) = 0;
    virtual void SetTextColour(PanelControl control, uint32_t rgb) = 0;  // 0xRRGGBB
    // The receiver's pictures are imgGPS0 to imgGPS2.
    void SetStatePictureVisible(int index, bool visible) override {
        SetVisible(static_cast<PanelControl>(static_cast<int>(PanelControl::imgGPS0) + index), visible);
    }
};

}  // namespace qv

#pragma once
// The receiver's three state pictures on the panel, as the receiver link shows them.
#include <cstdint>

namespace qv {

class StatePictures {
public:
    virtual ~StatePictures() = default;
    // Picture `index`: red (0, no receiver), grey (1, no fix) or blue (2, a valid fix).
    virtual void SetStatePictureVisible(int index, bool visible) = 0;
};

// Shows the one state picture that matches `state`: red for -1, grey for 0,
// blue for 1; any other value leaves the pictures as they are.
void ShowGPSState(int32_t state, StatePictures& pictures);

}  // namespace qv

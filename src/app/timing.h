#pragma once
#include <cstdint>

namespace qv {

// Blocks the calling thread: nothing is drawn or handled meanwhile.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

}  // namespace qv

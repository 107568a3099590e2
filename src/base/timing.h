#pragma once
#include <chrono>
#include <cstdint>

namespace qv {

// Blocks the calling thread: nothing is drawn or handled meanwhile.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// Milliseconds from an arbitrary start, never going back: for timeouts and schedules.
class SteadyClock {
public:
    virtual ~SteadyClock() = default;
    virtual uint64_t NowMs() const = 0;
};

class SystemSteadyClock final : public SteadyClock {
public:
    uint64_t NowMs() const override {
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
};

}  // namespace qv

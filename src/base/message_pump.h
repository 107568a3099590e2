#pragma once

namespace qv {

// Handles the window messages waiting now, so the panel repaints and the
// receiver tick runs while a handler waits.
class MessagePump {
public:
    virtual ~MessagePump() = default;
    virtual void ProcessPending() = 0;
};

}  // namespace qv

#pragma once
#include <cstdint>
#include <memory>

#include "earth/earth.h"

namespace qv {

class EarthBudget;

struct ComEarthOptions {
    // A call waits this long at most for its answer, and no longer than what
    // the window thread's action has left in `budget`; then it fails, and calls
    // that follow fail at once until the late one has ended. Camera moves and
    // file loads are not waited for: they go out in turn, a newer one replacing
    // one that has not gone out yet.
    uint32_t callBudgetMs = 300;
    EarthBudget* budget = nullptr;  // shared by every connection; outlives them
    // Camera moves and file loads waited for like calls, each telling its answer: for a test client.
    bool waitForSends = false;
};

// Creates Google Earth's objects as a local COM server and calls them through
// IDispatch by member name, each connection from a thread of its own, so a
// Google Earth that hangs holds up that thread and nothing else.
std::unique_ptr<EarthConnector> MakeComEarthConnector(const ComEarthOptions& options = {});

}  // namespace qv

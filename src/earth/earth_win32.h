#pragma once
#include <cstdint>
#include <memory>

#include "earth/earth.h"

namespace qv {

struct ComEarthOptions {
    // A call waits this long at most for its answer; then it fails, and calls
    // that follow fail at once until the late one has ended.
    uint32_t callBudgetMs = 300;
    // Meanwhile camera moves and file loads are kept to go out late, a newer
    // one replacing one that has not gone out yet.
    bool queueMoves = true;
};

// Creates Google Earth's objects as a local COM server and calls them through
// IDispatch by member name, each connection from a thread of its own, so a
// Google Earth that hangs holds up that thread and nothing else.
std::unique_ptr<EarthConnector> MakeComEarthConnector(const ComEarthOptions& options = {});

}  // namespace qv

#pragma once
// Google Earth as it really behaves: waiting for it to finish starting, and
// reaching it again after it crashed or was closed.
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/messages.h"
#include "base/run_log.h"
#include "base/timing.h"
#include "earth/earth_link.h"

namespace qv {

// What the session asks of the panel.
struct EarthSessionHooks {
    std::function<void(std::string_view)> showStatus;  // its line in txtState; empty takes it away
    std::function<void()> parkMarker;                  // the map window has gone
    std::function<void()> earthReady;                  // ready again: reload what the map showed
};

class EarthSession {
public:
    static constexpr uint64_t kPollMs = 250;              // IsInitialized is asked this often
    static constexpr uint64_t kReadyLimitMs = 90000;      // and for no longer
    static constexpr uint64_t kRetryMs = 5000;            // a new attempt after a loss, this often
    static constexpr uint64_t kActivationLimitMs = 60000; // an attempt that long unanswered is given up
    static constexpr size_t kMaxLeftBehind = 2;            // given-up attempts still out before no new one goes
    // A call still out this long is reported: a slow Google Earth that answers late now and then is not.
    static constexpr uint64_t kStuckReportMs = 500;

    enum class Phase { idle, waiting, ready, reconnecting };

    EarthSession(EarthLink& link, EarthConnector& connector, const RunLog& log, const SteadyClock& clock,
                 EarthSessionHooks hooks)
        : link_(link), connector_(connector), log_(log), clock_(clock), hooks_(std::move(hooks)) {}

    // Start-up made the objects: wait until Google Earth is ready.
    void Begin();
    // Called every kPollMs or so.
    void OnTick();
    Phase phase() const { return phase_; }

private:
    void Poll(uint64_t now);
    void BecomeReady();
    void Lose(uint64_t now);
    void Reconnect(uint64_t now);
    void WatchStuck(uint64_t now);
    void Status(std::string_view text);

    EarthLink& link_;
    EarthConnector& connector_;
    const RunLog& log_;
    const SteadyClock& clock_;
    EarthSessionHooks hooks_;
    Phase phase_ = Phase::idle;
    uint64_t waitStart_ = 0;
    uint64_t nextPoll_ = 0;
    std::unique_ptr<EarthConnection> attempt_;
    // Attempts given up that have not ended yet: each holds a thread stuck in Google Earth.
    std::vector<std::unique_ptr<EarthConnection>> leftBehind_;
    uint64_t attemptStart_ = 0;
    uint64_t nextAttempt_ = 0;
    std::optional<uint64_t> stuckSince_;
    bool stuckShown_ = false;
};

}  // namespace qv

#include "earth/earth_session.h"

namespace qv {

void EarthSession::Status(std::string_view text) {
    if (hooks_.showStatus) hooks_.showStatus(text);
}

void EarthSession::Begin() {
    phase_ = Phase::waiting;
    waitStart_ = nextPoll_ = clock_.NowMs();
    Poll(waitStart_);
    if (phase_ == Phase::waiting) Status(text::kEarthWaiting);
}

void EarthSession::OnTick() {
    uint64_t now = clock_.NowMs();
    switch (phase_) {
    case Phase::idle:
        return;
    case Phase::waiting:
        if (now >= nextPoll_) Poll(now);
        return;
    case Phase::ready:
        if (link_.connection && link_.connection->Lost()) return Lose(now);
        WatchStuck(now);
        // Windows not had at readiness are asked for here too, in actions of their own: a slow Google Earth
        // may not answer both within a receiver tick that also reloads the track.
        if (!link_.bGotMapWnd && !(link_.connection && link_.connection->Stuck()))
            link_.bGotMapWnd = GetMapWindowHandles(link_);
        return;
    case Phase::reconnecting:
        Reconnect(now);
        return;
    }
}

void EarthSession::Poll(uint64_t now) {
    if (link_.connection && link_.connection->Lost()) return Lose(now);
    nextPoll_ = now + kPollMs;
    EarthOutcome outcome = link_.app ? link_.app->IsInitialized() : EarthOutcome::failed;
    // A Google Earth without IsInitialized is ready once it answers at all.
    if (outcome == EarthOutcome::ok || outcome == EarthOutcome::unknownMember) return BecomeReady();
    if (outcome == EarthOutcome::disconnected) return Lose(now);
    if (now - waitStart_ >= kReadyLimitMs) {
        // Go on as when a call fails: the calls that follow may still work.
        log_.LogLine("      - Google Earth Not Ready After 90 s");
        BecomeReady();
    }
}

void EarthSession::BecomeReady() {
    phase_ = Phase::ready;
    link_.ready = true;
    link_.bGotMapWnd = GetMapWindowHandles(link_);
    Status("");
    if (hooks_.earthReady) hooks_.earthReady();
}

void EarthSession::WatchStuck(uint64_t now) {
    bool stuck = link_.connection && link_.connection->Stuck();
    if (!stuck) {
        stuckSince_.reset();
        if (!stuckShown_) return;
        stuckShown_ = false;
        log_.LogLine("      - Google Earth Answers Again");
        Status("");
        return;
    }
    if (!stuckSince_) stuckSince_ = now;
    if (stuckShown_ || now - *stuckSince_ < kStuckReportMs) return;
    stuckShown_ = true;
    log_.LogLine("      - Google Earth Not Answering");
    Status(text::kEarthHung);
}

void EarthSession::Lose(uint64_t now) {
    stuckSince_.reset();
    stuckShown_ = false;  // the reconnection's own words replace it
    log_.LogLine("      - Google Earth Disconnected");
    DropEarth(link_);
    if (hooks_.parkMarker) hooks_.parkMarker();
    Status(text::kEarthReconnecting);
    phase_ = Phase::reconnecting;
    attempt_.reset();
    nextAttempt_ = now;
    Reconnect(now);  // the first attempt at once, which starts Google Earth again
}

void EarthSession::Reconnect(uint64_t now) {
    std::erase_if(leftBehind_, [](auto& a) { return a->Poll() != EarthConnection::State::pending; });
    if (!attempt_) {
        // A Google Earth that never answers would otherwise cost a stuck thread a minute.
        if (now < nextAttempt_ || leftBehind_.size() >= kMaxLeftBehind) return;
        attempt_ = connector_.Connect();
        attemptStart_ = now;
        if (!attempt_) {
            nextAttempt_ = now + kRetryMs;
            return;
        }
    }
    switch (attempt_->Poll()) {
    case EarthConnection::State::pending:
        // An activation that never answers is left behind; a new one is tried.
        if (now - attemptStart_ >= kActivationLimitMs) {
            leftBehind_.push_back(std::move(attempt_));
            nextAttempt_ = now;
            Reconnect(now);
        }
        return;
    case EarthConnection::State::failed:
        attempt_.reset();
        nextAttempt_ = attemptStart_ + kRetryMs;
        return;
    case EarthConnection::State::connected:
        if (!AttachEarth(link_, std::move(attempt_))) {
            attempt_.reset();
            nextAttempt_ = attemptStart_ + kRetryMs;
            return;
        }
        log_.LogLine("      - Reconnect Google Earth Succeed" + EarthRoutesText(link_.routes));
        phase_ = Phase::waiting;
        waitStart_ = now;
        Poll(now);
        if (phase_ == Phase::waiting) Status(text::kEarthWaiting);
        return;
    }
}

}  // namespace qv

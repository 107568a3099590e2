#include "gps/receiver_link.h"

#include "base/messages.h"

#include <utility>

namespace qv {

void ShowGPSState(int32_t state, StatePictures& pictures) {
    if (state < -1 || state > 1) return;
    pictures.SetStatePictureVisible(0, state == -1);
    pictures.SetStatePictureVisible(1, state == 0);
    pictures.SetStatePictureVisible(2, state == 1);
}

ReceiverLink::ReceiverLink(Services services) : s_(std::move(services)), search_(s_.finder, s_.clock) {}

void ReceiverLink::Say(const std::string& text) {
    s_.status.Set(StatusSource::receiver, text);
    hintShown_ = nothingFound_ = false;
}

void ReceiverLink::Quiet() {
    s_.status.Clear(StatusSource::receiver);
    foundTextUntil_ = 0;
    hintShown_ = nothingFound_ = false;
}

void ReceiverLink::Reopen() {
    s_.port.SetOpen(false);
    OpenGPS();
}

std::optional<std::string> ReceiverLink::HintedTalker() const {
    if (!hintShown_ || phase_ != Phase::open) return std::nullopt;
    return foreignTalker_;
}

void ReceiverLink::OpenGPS() {
    // Whatever was going on by itself gives way to the user's open; the ticks pumped while it opens must
    // not read the port it has just shut, or open it themselves.
    search_.Stop();
    reopening_.reset();
    phase_ = Phase::closed;
    Quiet();
    s_.fix.GPSState = -1;
    if (s_.settings.GpsPort == 0) {
        // Port 0 is no port: the receiver is looked for among those that exist.
        s_.port.SetOpen(false);
        ShowGPSState(s_.fix.GPSState, s_.panel);
        s_.status.Clear(StatusSource::link);
        StartSearch(s_.clock.NowMs());
        return;
    }
    // A port or speed the port cannot take is said, and nothing is opened: never the previous port instead.
    // An empty Setting leaves the speed as it was.
    if (!s_.port.SetPortNumber(s_.settings.GpsPort) ||
        (!s_.settings.GpsSetting.empty() && !s_.port.SetSettings(s_.settings.GpsSetting))) {
        Refused();
        return;
    }
    if (std::optional<SerialSettings> given = ParseSerialSettings(s_.settings.GpsSetting)) lineSettings_ = *given;
    s_.pump.ProcessPending();
    s_.status.Set(StatusSource::link, text::Fill(text::kConnecting, std::to_string(s_.settings.GpsPort)));
    s_.pump.ProcessPending();

    // Opened aside, as the search and the reopen do: a Bluetooth port can take 20 s to open, and the panel,
    // the camera and a recording must not wait for it. One that opens at once is taken at once.
    phase_ = Phase::opening;
    reopenSettings_ = lineSettings_;
    reopening_ = s_.finder.Open(s_.settings.GpsPort, reopenSettings_);
    reopenStarted_ = s_.clock.NowMs();
    StepOpening(reopenStarted_);
}

void ReceiverLink::StepOpening(uint64_t now) {
    ProbePort::State state = reopening_ ? reopening_->Poll() : ProbePort::State::failed;
    if (state == ProbePort::State::opening && now - reopenStarted_ < PortSearch::kOpenLimitMs) return;
    int32_t port = s_.settings.GpsPort;
    if (state == ProbePort::State::open) {
        if (s_.port.Adopt(reopening_, port, reopenSettings_) || s_.port.SetOpen(true)) {
            reopening_.reset();
            Opened(now);
            return;
        }
    }
    reopening_.reset();
    s_.fix.GPSState = -1;
    ShowGPSState(s_.fix.GPSState, s_.panel);
    s_.status.Set(StatusSource::link, text::Fill(text::kNotFound, std::to_string(port)));
    nothingFound_ = true;
    phase_ = Phase::closed;
}

bool ReceiverLink::Refused() {
    bool badPort = s_.settings.GpsPort < 1 || s_.settings.GpsPort > 255;
    bool badSetting = !s_.settings.GpsSetting.empty() && !ParseSerialSettings(s_.settings.GpsSetting);
    if (!badPort && !badSetting) return false;
    s_.fix.GPSState = -1;
    ShowGPSState(s_.fix.GPSState, s_.panel);
    s_.status.Set(StatusSource::link,
                  badPort ? text::Fill(text::kBadPort, std::to_string(s_.settings.GpsPort))
                          : text::Fill(text::kBadSetting, s_.settings.GpsSetting));
    phase_ = Phase::closed;
    return true;
}

void ReceiverLink::Opened(uint64_t now) {
    phase_ = Phase::open;
    lastByte_ = lastAccepted_ = now;
    foreignSeen_ = false;
    s_.fix.GPSState = 0;
    ShowGPSState(s_.fix.GPSState, s_.panel);

    if (s_.opened) s_.opened();  // the camera starts no higher than the configured eye height
    s_.fix.Pdop = -1;
    s_.status.Clear(StatusSource::link);
}

void ReceiverLink::CloseGPS() {
    search_.Stop();
    reopening_.reset();
    phase_ = Phase::closed;
    s_.port.SetOpen(false);
    for (int i = 0; i < 4; ++i) s_.pump.ProcessPending();
}

void ReceiverLink::OnStateImageDoubleClick(int index) {
    if (index == 0) {
        s_.reloadSettings();
        OpenGPS();
    } else if (index == 1) {
        // Open again with what Config.ini says now, as for the red picture.
        s_.reloadSettings();
        Reopen();
    }
}

bool ReceiverLink::Drain(uint64_t now) {
    if (received_.size() >= kMaxHeld) return true;  // the fix cycle takes it first
    std::optional<std::string> text = s_.port.ReadAll();
    if (!text) {
        Lose(now, false);  // the port cannot be read: the device has gone
        return false;
    }
    if (!text->empty()) lastByte_ = now;
    received_ += *text;
    return true;
}

std::optional<std::string> ReceiverLink::ReadReceiver() {
    if (phase_ != Phase::open) return std::nullopt;
    if (!Drain(s_.clock.NowMs())) return std::nullopt;
    return std::exchange(received_, std::string());
}

void ReceiverLink::OnRmc(const std::string& talker, bool accepted) {
    uint64_t now = s_.clock.NowMs();
    if (accepted) {
        lastAccepted_ = now;
        if (foundTextUntil_ == 0) Quiet();  // the talker hint, if it showed, goes
        return;
    }
    foreignTalker_ = talker;
    foreignAt_ = now;
    foreignSeen_ = true;
}

void ReceiverLink::Lose(uint64_t now, bool silent) {
    s_.port.SetOpen(false);
    received_.clear();
    phase_ = Phase::reconnecting;
    reopening_.reset();
    if (silent) {
        // Silent but maybe still there: grey, and the last fix's texts stay.
        s_.fix.GPSState = 0;
        ShowGPSState(s_.fix.GPSState, s_.panel);
        nextAttempt_ = now;
        StepReopen(now);  // at once: a port that is still there is open again right away
        return;
    }
    s_.fix.GPSState = -1;
    ShowGPSState(s_.fix.GPSState, s_.panel);
    Say(text::kReceiverLost);
    nextAttempt_ = now + kRetryMs;
}

void ReceiverLink::OnTick() {
    uint64_t now = s_.clock.NowMs();
    if (foundTextUntil_ != 0 && now >= foundTextUntil_) Quiet();
    switch (phase_) {
    case Phase::closed:
        return;
    case Phase::opening:
        return StepOpening(now);
    case Phase::open: {
        // Read between the receiver ticks too, so a silence or a vanished device shows on time.
        if (!Drain(now)) return;
        if (now - lastByte_ >= kSilenceMs) return Lose(now, true);
        if (foreignSeen_ && now - foreignAt_ <= kTalkerHintMs && now - lastAccepted_ >= kTalkerHintMs &&
            foundTextUntil_ == 0) {
            Say(text::Fill(text::kOtherTalker, foreignTalker_));
            hintShown_ = true;
        }
        return;
    }
    case Phase::searching:
        return StepSearch(now);
    case Phase::reconnecting:
        return StepReopen(now);
    }
}

void ReceiverLink::StartSearch(uint64_t now) {
    phase_ = Phase::searching;
    search_.Start(SearchSettings(s_.settings.GpsSetting));
    StepSearch(now);
}

void ReceiverLink::StepSearch(uint64_t now) {
    switch (search_.state()) {
    case PortSearch::State::idle:
    case PortSearch::State::nothing:
        if (now < nextAttempt_) return;
        // Config.ini may name a port by now; what the user changed in this run (the zoom) stays.
        s_.reloadReceiverKeys();
        if (s_.settings.GpsPort != 0) return StartReopen(now);
        search_.Start(SearchSettings(s_.settings.GpsSetting));
        break;
    case PortSearch::State::running:
        search_.Step();
        break;
    case PortSearch::State::found:
        break;
    }
    if (search_.state() == PortSearch::State::running) {
        if (auto trying = search_.Trying()) Say(text::Fill(text::kSearching, std::to_string(trying->first), std::to_string(trying->second)));
        return;
    }
    if (search_.state() == PortSearch::State::nothing) {
        s_.fix.GPSState = -1;
        ShowGPSState(s_.fix.GPSState, s_.panel);
        Say(text::kNothingFound);
        nothingFound_ = true;
        nextAttempt_ = now + kSearchAgainMs;
        return;
    }
    if (search_.state() != PortSearch::State::found) return;
    PortSearch::Found found = search_.TakeFound();
    std::string settings = SerialSettingsText(found.settings);
    if (!s_.port.Adopt(found.probe, found.port, found.settings)) {
        found.probe.reset();  // let go of it, and open it as the double click does
        s_.port.SetPortNumber(found.port);
        s_.port.SetSettings(settings);
        if (!s_.port.SetOpen(true)) {
            nextAttempt_ = now;  // gone again already: search again
            search_.Stop();
            return;
        }
    }
    s_.log.LogLine("      - GPS Found : COM" + std::to_string(found.port) + " " + settings);
    Opened(now);
    Say(text::Fill(text::kFound, std::to_string(found.port), std::to_string(found.settings.baud)));
    foundTextUntil_ = now + kFoundTextMs;
}

void ReceiverLink::StartReopen(uint64_t now) {
    s_.reloadReceiverKeys();
    if (s_.settings.GpsPort == 0) return StartSearch(now);
    if (Refused()) {
        reopening_.reset();
        return;
    }
    phase_ = Phase::reconnecting;
    reopenSettings_ = ParseSerialSettings(s_.settings.GpsSetting).value_or(lineSettings_);
    reopening_ = s_.finder.Open(s_.settings.GpsPort, reopenSettings_);
    reopenStarted_ = now;
}

void ReceiverLink::StepReopen(uint64_t now) {
    if (!reopening_) {
        if (now >= nextAttempt_) StartReopen(now);
        if (!reopening_) return;
    }
    switch (reopening_->Poll()) {
    case ProbePort::State::opening:
        if (now - reopenStarted_ >= PortSearch::kOpenLimitMs) {
            reopening_.reset();  // left behind; a fresh attempt goes out
            nextAttempt_ = now;
        }
        return;
    case ProbePort::State::failed:
        reopening_.reset();
        nextAttempt_ = reopenStarted_ + kRetryMs;
        if (s_.fix.GPSState != -1 || !s_.status.Has(StatusSource::receiver)) {
            // A silent receiver that cannot be opened again has gone.
            s_.fix.GPSState = -1;
            ShowGPSState(s_.fix.GPSState, s_.panel);
            Say(text::kReceiverLost);
        }
        return;
    case ProbePort::State::open:
        break;
    }
    int32_t port = s_.settings.GpsPort;
    if (!s_.port.Adopt(reopening_, port, reopenSettings_)) {
        reopening_.reset();
        s_.port.SetPortNumber(port);
        s_.port.SetSettings(s_.settings.GpsSetting);
        if (!s_.port.SetOpen(true)) {
            nextAttempt_ = now + kRetryMs;
            return;
        }
    }
    reopening_.reset();
    Quiet();
    Opened(now);
}

}  // namespace qv

#include "gps/port_search.h"

#include "gps/nmea.h"

namespace qv {

std::vector<SerialSettings> SearchSettings(const std::string& configured) {
    if (std::optional<SerialSettings> given = ParseSerialSettings(configured)) return {*given};
    std::vector<SerialSettings> out;
    for (uint32_t baud : {4800u, 9600u, 38400u, 115200u}) {
        SerialSettings s;
        s.baud = baud;
        out.push_back(s);
    }
    return out;
}

std::string SerialSettingsText(const SerialSettings& s) {
    const char* stop = s.stopBits == StopBits::One ? "1" : s.stopBits == StopBits::Two ? "2" : "1.5";
    return std::to_string(s.baud) + "," + static_cast<char>(s.parity) + "," + std::to_string(s.dataBits) + "," + stop;
}

void PortSearch::Start(const std::vector<SerialSettings>& candidates) {
    Stop();
    candidates_ = candidates;
    state_ = State::running;
    if (candidates_.empty()) {
        state_ = State::nothing;
        return;
    }
    uint64_t now = clock_.NowMs();
    for (int32_t port : finder_.ListPorts()) {
        Trial trial;
        trial.port = port;
        trial.probe = finder_.Open(port, candidates_[0]);
        trial.since = now;
        trial.done = !trial.probe;
        trials_.push_back(std::move(trial));
    }
    Step();
}

void PortSearch::Stop() {
    trials_.clear();  // closes every port that is open, and leaves behind those still opening
    if (state_ == State::running) state_ = State::idle;
}

PortSearch::State PortSearch::Step() {
    if (state_ != State::running) return state_;
    uint64_t now = clock_.NowMs();
    bool anyLeft = false;
    for (Trial& trial : trials_) {
        if (!trial.done) StepTrial(trial, now);
        if (state_ == State::found) {
            found_.port = trial.port;
            found_.settings = candidates_[trial.setting];
            found_.probe = std::move(trial.probe);
            trials_.clear();
            return state_;
        }
        anyLeft = anyLeft || !trial.done;
    }
    if (!anyLeft) {
        trials_.clear();
        state_ = State::nothing;
    }
    return state_;
}

void PortSearch::NextSetting(Trial& trial) {
    trial.listening = false;
    if (++trial.setting >= candidates_.size()) trial.done = true;
}

void PortSearch::StepTrial(Trial& trial, uint64_t now) {
    switch (trial.probe->Poll()) {
    case ProbePort::State::failed:
        trial.done = true;
        return;
    case ProbePort::State::opening:
        if (now - trial.since >= kOpenLimitMs) trial.done = true;
        return;
    case ProbePort::State::open:
        break;
    }
    if (!trial.listening) {
        // The port was opened with the first candidate; the others are set on it.
        if (trial.setting > 0 && !trial.probe->SetSettings(candidates_[trial.setting])) return NextSetting(trial);
        trial.probe->Read();  // what came at the last speed is no evidence for this one
        trial.listening = true;
        trial.since = now;
        trial.bytes = 0;
        trial.sentences = 0;
        trial.splitter = LineSplitter();
    }
    std::optional<std::string> text = trial.probe->Read();
    if (!text) {  // the port went away
        trial.done = true;
        return;
    }
    trial.bytes += text->size();
    trial.splitter.Feed(*text, [&](std::string_view line) {
        if (IsCheckedSentence(line)) ++trial.sentences;
    });
    if (trial.sentences >= kSentencesNeeded) {
        state_ = State::found;
        return;
    }
    bool windowOver = now - trial.since >= kListenMs;
    if (windowOver && trial.bytes == 0) {
        trial.done = true;  // a silent port is silent at every speed
        return;
    }
    if (windowOver || (trial.bytes >= kGarbageBytes && trial.sentences == 0)) NextSetting(trial);
}

std::optional<std::pair<int32_t, uint32_t>> PortSearch::Trying() const {
    for (const Trial& t : trials_)
        if (!t.done) return std::make_pair(t.port, candidates_[t.setting].baud);
    return std::nullopt;
}

PortSearch::Found PortSearch::TakeFound() {
    Found out = std::move(found_);
    found_ = Found{};
    if (state_ == State::found) state_ = State::idle;
    return out;
}

}  // namespace qv

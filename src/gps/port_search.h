#pragma once
// Finding the receiver among the serial ports that exist: every port is opened
// (read only) and listened to at the candidate line speeds, all at once, until
// one delivers NMEA sentences. Opening a port may take long (a Bluetooth port
// can block for 20 s), so opening is the platform's job, done elsewhere, and
// polled here.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/timing.h"
#include "gps/line_splitter.h"
#include "gps/serial_port.h"

namespace qv {

// A serial port opened for listening only.
class ProbePort {
public:
    enum class State { opening, open, failed };
    virtual ~ProbePort() = default;
    virtual State Poll() = 0;
    // New line settings on the open port; false when refused.
    virtual bool SetSettings(const SerialSettings& settings) = 0;
    // What arrived since the last read; nothing once the port has gone.
    virtual std::optional<std::string> Read() = 0;
};

class PortFinder {
public:
    virtual ~PortFinder() = default;
    // The numbers of the COM ports that exist, in ascending order.
    virtual std::vector<int32_t> ListPorts() = 0;
    // Starts opening COM`port` with `settings`; never waits for it.
    virtual std::unique_ptr<ProbePort> Open(int32_t port, const SerialSettings& settings) = 0;
};

// The line speeds tried when Config.ini gives none: 8 data bits, no parity, 1 stop bit.
std::vector<SerialSettings> SearchSettings(const std::string& configured);

// "4800,n,8,1": the settings as Config.ini writes them.
std::string SerialSettingsText(const SerialSettings& settings);

class PortSearch {
public:
    static constexpr uint64_t kListenMs = 2500;      // two sentences within this make a receiver
    static constexpr uint64_t kOpenLimitMs = 30000;  // a port still opening then is left behind
    static constexpr size_t kGarbageBytes = 1024;    // this much without a sentence: the wrong speed
    static constexpr int kSentencesNeeded = 2;

    enum class State { idle, running, found, nothing };

    PortSearch(PortFinder& finder, const SteadyClock& clock) : finder_(finder), clock_(clock) {}

    void Start(const std::vector<SerialSettings>& candidates);
    // Opens, reads and moves on; call it a few times a second.
    State Step();
    State state() const { return state_; }
    // The port and speed being tried ("COM3", 4800), for the panel.
    std::optional<std::pair<int32_t, uint32_t>> Trying() const;

    struct Found {
        int32_t port = 0;
        SerialSettings settings;
        std::unique_ptr<ProbePort> probe;
    };
    // Once found, the port (still open) and its settings; the others are closed.
    Found TakeFound();
    void Stop();

private:
    struct Trial {
        int32_t port;
        std::unique_ptr<ProbePort> probe;
        size_t setting = 0;
        bool listening = false;
        bool done = false;
        uint64_t since = 0;
        size_t bytes = 0;
        int sentences = 0;
        LineSplitter splitter;
    };
    void StepTrial(Trial& trial, uint64_t now);
    void NextSetting(Trial& trial);

    PortFinder& finder_;
    const SteadyClock& clock_;
    std::vector<SerialSettings> candidates_;
    std::vector<Trial> trials_;
    State state_ = State::idle;
    Found found_;
};

}  // namespace qv

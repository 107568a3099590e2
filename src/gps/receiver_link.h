#pragma once
// The link to the receiver: opening and closing its serial port, the state
// pictures, finding the receiver by itself, and noticing when it goes away
// and coming back when it returns.
#include <functional>
#include <optional>
#include <string>

#include "base/message_pump.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "base/timing.h"
#include "gps/gps_fix.h"
#include "gps/port_search.h"
#include "gps/serial_port.h"
#include "gps/state_pictures.h"
#include "base/status_line.h"

namespace qv {

// What the fix cycle reads from the receiver, and tells about what it read.
class ReceiverInput {
public:
    virtual ~ReceiverInput() = default;
    // What arrived since the last read; nothing while there is no link.
    virtual std::optional<std::string> ReadReceiver() = 0;
    // An RMC sentence with a good checksum came from `talker`; `accepted` when that talker is listed.
    virtual void OnRmc(const std::string& /*talker*/, bool /*accepted*/) {}
};

class ReceiverLink final : public ReceiverInput {
public:
    static constexpr uint64_t kSilenceMs = 5000;        // no byte for this long: the receiver is silent
    static constexpr uint64_t kRetryMs = 3000;          // a lost link is tried again this often
    static constexpr uint64_t kSearchAgainMs = 10000;   // a search that found nothing starts again after this
    static constexpr uint64_t kFoundTextMs = 5000;      // how long "found" stays on the panel
    static constexpr uint64_t kTalkerHintMs = 5000;     // no accepted RMC for this long, another talker's came
    static constexpr size_t kMaxHeld = 1024 * 1024;     // read ahead of the fix cycle at most this much

    struct Services {
        AppSettings& settings;
        GpsFix& fix;
        SerialPort& port;
        StatePictures& panel;
        StatusLine& status;
        MessagePump& pump;
        PortFinder& finder;
        const SteadyClock& clock;
        const RunLog& log;
        std::function<void()> reloadSettings;  // reads Config.ini again: the user asked for it
        std::function<void()> reloadReceiverKeys;  // reads again only the port, speed and talkers
        std::function<void()> opened;          // the link is open: the camera is brought down to EyeHigh
    };

    enum class Phase {
        closed,        // not opened yet, or a port that was not found
        opening,       // the user's open: the configured port, opened aside
        open,          // reading
        searching,     // Port=0: looking for the receiver
        reconnecting,  // lost: trying to open it again
    };

    explicit ReceiverLink(Services services);

    // Opens the configured port, showing what happens in txtState; on success
    // the camera is brought down to the configured eye height. With Port 0 it
    // searches for the receiver instead. Never fails.
    void OpenGPS();
    void CloseGPS();
    // A double click on state picture `index`: the red one (0) re-reads the
    // settings and opens the link; the grey one (1) re-reads them and opens
    // the link again (a receiver that says nothing, or another talker); the blue one does nothing.
    void OnStateImageDoubleClick(int index);
    // Closes the link and opens it with the settings in force, without reading Config.ini.
    void Reopen();
    // The talker the panel's hint names while it shows ("GN"), or nothing.
    std::optional<std::string> HintedTalker() const;
    // True while the panel says no receiver was found (on the configured port, or by the search).
    bool NothingFound() const { return nothingFound_; }
    // Called a few times a second: silence, the talker hint, the search and reconnection.
    void OnTick();

    std::optional<std::string> ReadReceiver() override;
    void OnRmc(const std::string& talker, bool accepted) override;

    Phase phase() const { return phase_; }

private:
    void StartSearch(uint64_t now);
    void StepSearch(uint64_t now);
    void StartReopen(uint64_t now);
    void StepReopen(uint64_t now);
    void StepOpening(uint64_t now);
    void Lose(uint64_t now, bool silent);
    // Reads what arrived into `received_`; false when the port has gone.
    bool Drain(uint64_t now);
    void Opened(uint64_t now);
    void Say(const std::string& text);
    void Quiet();
    // The configured port or speed cannot be used: said, naming the value, and nothing is opened.
    bool Refused();

    Services s_;
    Phase phase_ = Phase::closed;
    PortSearch search_;
    std::unique_ptr<ProbePort> reopening_;  // the configured port, being opened (again)
    SerialSettings reopenSettings_;
    SerialSettings lineSettings_;           // the speed last given: an empty Setting keeps it
    uint64_t reopenStarted_ = 0;
    uint64_t nextAttempt_ = 0;
    uint64_t lastByte_ = 0;
    uint64_t lastAccepted_ = 0;
    std::string foreignTalker_;
    uint64_t foreignAt_ = 0;
    bool foreignSeen_ = false;
    uint64_t foundTextUntil_ = 0;
    bool hintShown_ = false;
    bool nothingFound_ = false;
    std::string received_;  // read between receiver ticks, for the next one
};

}  // namespace qv

#pragma once
// What the map page is told, live: each fix the cycle acts on and each new
// track point, as Server-Sent Events in JSON. The cycle publishes and never
// waits; each page's stream takes what is new when it can. A slow page loses
// fixes in between (the newest wins) but never a track point.
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "web/page_settings.h"

namespace qv {

// One fix as the panel shows it and the page needs it.
struct LiveFix {
    uint64_t seq = 0;  // which fix: the same fix told again (a button pressed) keeps its number
    int64_t at = 0;    // when the cycle acted on it, ms since 1970 (UTC)
    std::map<std::string, std::string> texts;  // the panel's labels by name ("lblTime"), exactly as shown
    double latitude = 0, longitude = 0;        // WGS-84, degrees
    double speedKmh = 0, course = 0, altitude = 0, pdop = -1;
    bool valid = false;  // a valid fix; a void one is "weak"
    int receiverState = -1;
    std::string receiverHint;
    bool recording = false;
    size_t points = 0;
    bool locked = true, northUp = true, threeD = false;
    int32_t eyeHigh = 0;
    std::string earth;  // Google Earth's state: "ready", "waiting", "lost", "hung" or "none"
};

struct LivePoint {
    double longitude = 0, latitude = 0, altitude = 0;
};

// The events' data, one JSON object each. Numbers that are not finite are written as null.
std::string FixEventJson(const LiveFix& fix);
std::string PointEventJson(const LivePoint& point, size_t index);
std::string SnapshotEventJson(const std::optional<LiveFix>& fix, const std::vector<LivePoint>& points,
                              const PageSettings& settings);

class LiveFeed {
public:
    static constexpr size_t kMaxStreams = 16;

    // The tiles and datum the page is told in every snapshot.
    void SetPageSettings(const PageSettings& settings);
    // The newest fix published, if any: a button pressed tells it again with the new view.
    std::optional<LiveFix> LastFix() const;

    // From the cycle: never blocks on a page.
    void PublishFix(const LiveFix& fix);
    void AddPoint(const LivePoint& point);
    void BeginRecording();  // a new recording: the track drawn so far goes

    // A page's stream. Open it, then Next() until it answers nothing.
    class Stream {
    public:
        ~Stream();
        Stream(const Stream&) = delete;
        Stream& operator=(const Stream&) = delete;
        // The next message in SSE framing ("event: …\ndata: …\n\n", or a ": keep-alive" comment after
        // `keepAliveMs` without news); nothing once the feed is closing.
        std::optional<std::string> Next(uint64_t keepAliveMs);

    private:
        friend class LiveFeed;
        explicit Stream(LiveFeed& feed) : feed_(feed) {}
        LiveFeed& feed_;
        bool snapshotSent_ = false;
        uint64_t recording_ = 0;  // which recording its points belong to
        size_t pointsSent_ = 0;
        uint64_t fixSent_ = 0;
    };
    // Nothing when kMaxStreams are open already.
    std::unique_ptr<Stream> Open();
    // Ends every stream's wait: the program is closing.
    void Close();
    size_t openStreams() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<LiveFix> fix_;
    PageSettings settings_;
    uint64_t fixVersion_ = 0;
    std::deque<LivePoint> points_;  // grows a block at a time: a long recording never doubles its memory at once
    uint64_t recording_ = 1;
    size_t streams_ = 0;
    bool closing_ = false;
};

}  // namespace qv

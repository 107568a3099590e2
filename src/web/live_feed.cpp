#include "web/live_feed.h"

#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>

namespace qv {
namespace {

using Json = nlohmann::json;

// JSON has no NaN or infinity: a number that is not finite is no number.
Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

Json FixObject(const LiveFix& f) {
    Json texts = Json::object();
    for (const auto& [name, text] : f.texts) texts[name] = text;
    return {{"seq", f.seq},
            {"at", f.at},
            {"texts", texts},
            {"lat", Number(f.latitude)},
            {"lon", Number(f.longitude)},
            {"speedKmh", Number(f.speedKmh)},
            {"course", Number(f.course)},
            {"altitude", Number(f.altitude)},
            {"pdop", Number(f.pdop)},
            {"valid", f.valid},
            {"receiver", {{"state", f.receiverState}, {"hint", f.receiverHint}}},
            {"recording", {{"on", f.recording}, {"points", f.points}}},
            {"view", {{"locked", f.locked}, {"northUp", f.northUp}, {"threeD", f.threeD}, {"eyeHigh", f.eyeHigh}}},
            {"earth", f.earth}};
}

Json PointArray(const LivePoint& p) { return Json::array({Number(p.longitude), Number(p.latitude), Number(p.altitude)}); }

// Invalid UTF-8 in a text is replaced, never a reason to drop the event.
std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string Frame(const char* event, const std::string& data) {
    return std::string("event: ") + event + "\ndata: " + data + "\n\n";
}

}  // namespace

std::string FixEventJson(const LiveFix& fix) { return Dump(FixObject(fix)); }

std::string PointEventJson(const LivePoint& point, size_t index) {
    return Dump({{"index", index}, {"point", PointArray(point)}});
}

std::string SnapshotEventJson(const std::optional<LiveFix>& fix, const std::vector<LivePoint>& points,
                              const PageSettings& settings) {
    Json track = Json::array();
    for (const LivePoint& p : points) track.push_back(PointArray(p));
    Json page = {{"tileUrl", settings.tileUrl},
                 {"attribution", settings.attribution},
                 {"maxZoom", settings.maxZoom},
                 {"datum", settings.datum}};
    return Dump({{"fix", fix ? FixObject(*fix) : Json(nullptr)}, {"track", track}, {"settings", page}});
}

void LiveFeed::SetPageSettings(const PageSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

std::optional<LiveFix> LiveFeed::LastFix() const {
    std::lock_guard lock(mutex_);
    return fix_;
}

void LiveFeed::PublishFix(const LiveFix& fix) {
    std::lock_guard lock(mutex_);
    fix_ = fix;
    ++fixVersion_;
    changed_.notify_all();
}

void LiveFeed::AddPoint(const LivePoint& point) {
    std::lock_guard lock(mutex_);
    points_.push_back(point);
    changed_.notify_all();
}

void LiveFeed::BeginRecording() {
    std::lock_guard lock(mutex_);
    points_.clear();
    ++recording_;
    changed_.notify_all();
}

std::unique_ptr<LiveFeed::Stream> LiveFeed::Open() {
    std::lock_guard lock(mutex_);
    if (closing_ || streams_ >= kMaxStreams) return nullptr;
    ++streams_;
    return std::unique_ptr<Stream>(new Stream(*this));
}

void LiveFeed::Close() {
    std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
}

size_t LiveFeed::openStreams() const {
    std::lock_guard lock(mutex_);
    return streams_;
}

LiveFeed::Stream::~Stream() {
    std::lock_guard lock(feed_.mutex_);
    --feed_.streams_;
}

std::optional<std::string> LiveFeed::Stream::Next(uint64_t keepAliveMs) {
    std::unique_lock lock(feed_.mutex_);
    auto news = [&] {
        return !snapshotSent_ || recording_ != feed_.recording_ || pointsSent_ < feed_.points_.size() ||
               fixSent_ != feed_.fixVersion_;
    };
    feed_.changed_.wait_for(lock, std::chrono::milliseconds(keepAliveMs), [&] { return feed_.closing_ || news(); });
    if (feed_.closing_) return std::nullopt;
    if (!snapshotSent_ || recording_ != feed_.recording_) {
        // First everything so far: a page opened mid-drive (or at a new recording) shows the whole track.
        snapshotSent_ = true;
        recording_ = feed_.recording_;
        pointsSent_ = feed_.points_.size();
        fixSent_ = feed_.fixVersion_;
        std::optional<LiveFix> fix = feed_.fix_;
        std::vector<LivePoint> points(feed_.points_.begin(), feed_.points_.end());
        PageSettings settings = feed_.settings_;
        lock.unlock();
        return Frame("snapshot", SnapshotEventJson(fix, points, settings));
    }
    if (pointsSent_ < feed_.points_.size()) {
        // Every point, one at a time, before the newest fix.
        size_t index = pointsSent_++;
        LivePoint point = feed_.points_[index];
        lock.unlock();
        return Frame("point", PointEventJson(point, index));
    }
    if (fixSent_ != feed_.fixVersion_) {
        fixSent_ = feed_.fixVersion_;  // fixes in between are passed over: the newest wins
        LiveFix fix = *feed_.fix_;
        lock.unlock();
        return Frame("fix", FixEventJson(fix));
    }
    return std::string(": keep-alive\n\n");
}

}  // namespace qv

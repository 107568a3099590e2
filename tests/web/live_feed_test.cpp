// The map page's live feed: what each stream is told, in what order, and what a slow one loses.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <nlohmann/json.hpp>

#include "web/live_feed.h"

namespace qv {
namespace {

using Json = nlohmann::json;

LiveFix Fix(double lat, std::string time = "12:00:00") {
    LiveFix f;
    f.latitude = lat;
    f.longitude = 114.057912345678;
    f.texts["lblTime"] = time;
    f.valid = true;
    return f;
}

// The event's name and its data, parsed.
std::pair<std::string, Json> Parse(const std::optional<std::string>& message) {
    EXPECT_TRUE(message);
    std::string m = message.value_or("");
    size_t data = m.find("\ndata: ");
    EXPECT_EQ(m.rfind("event: ", 0), 0u) << m;
    EXPECT_EQ(m.substr(m.size() - 2), "\n\n");
    return {m.substr(7, data - 7), Json::parse(m.substr(data + 7, m.size() - data - 9))};
}

TEST(LiveFeed, EventsAreJsonWithEveryTextEscapedEveryNumberWholeAndNoNaN) {
    LiveFix f = Fix(22.543123456789012);
    f.texts["lblLongitude"] = "E 114°03' 28.48\"";
    f.texts["txtState"] = "line one\nline\ttwo \\ \x01";
    f.receiverHint = "收到 $GNRMC 语句";
    f.speedKmh = std::numeric_limits<double>::quiet_NaN();
    f.pdop = std::numeric_limits<double>::infinity();
    f.altitude = -std::numeric_limits<double>::infinity();
    std::string text = FixEventJson(f);
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one line: an SSE data field";
    EXPECT_EQ(text.find("NaN"), std::string::npos);
    EXPECT_EQ(text.find("nf"), std::string::npos);
    Json j = Json::parse(text);
    EXPECT_EQ(j["lat"].get<double>(), 22.543123456789012) << "full precision";
    EXPECT_EQ(j["lon"].get<double>(), 114.057912345678);
    EXPECT_TRUE(j["speedKmh"].is_null() && j["pdop"].is_null() && j["altitude"].is_null());
    EXPECT_EQ(j["texts"]["lblLongitude"], "E 114°03' 28.48\"");
    EXPECT_EQ(j["texts"]["txtState"], "line one\nline\ttwo \\ \x01");
    EXPECT_EQ(j["receiver"]["hint"], "收到 $GNRMC 语句");
    f.texts["lblTime"] = std::string("\xff\xfe broken");  // not UTF-8: replaced, the event still goes
    EXPECT_TRUE(Json::parse(FixEventJson(f)).is_object());
    Json point = Json::parse(PointEventJson({114.1, 22.5, std::nan("")}, 7));
    EXPECT_EQ(point, Json::parse(R"({"index":7,"point":[114.1,22.5,null]})"));
}

TEST(LiveFeed, APageOpenedMidDriveGetsTheWholeTrackThenEveryPointThenTheNewestFix) {
    LiveFeed feed;
    PageSettings tiles{"https://{a-c}.tiles.example.org/{z}/{x}/{y}.png", "&copy; Example", 18, "GCJ02"};
    feed.SetPageSettings(tiles);
    feed.AddPoint({114.0, 22.0, 1});
    feed.AddPoint({114.1, 22.1, 2});
    feed.PublishFix(Fix(22.1));
    auto stream = feed.Open();
    auto [name, snapshot] = Parse(stream->Next(1000));
    EXPECT_EQ(name, "snapshot");
    EXPECT_EQ(snapshot["track"], Json::parse("[[114.0,22.0,1.0],[114.1,22.1,2.0]]"));
    EXPECT_EQ(snapshot["fix"]["lat"], 22.1);
    EXPECT_EQ(snapshot["settings"], Json::parse(R"({"tileUrl":"https://{a-c}.tiles.example.org/{z}/{x}/{y}.png",
                                                   "attribution":"&copy; Example","maxZoom":18,"datum":"GCJ02"})"));

    // A slow page: many fixes and points while it does not read.
    for (int i = 0; i < 10; ++i) {
        feed.PublishFix(Fix(22.2 + i, "12:00:0" + std::to_string(i)));
        if (i % 2 == 0) feed.AddPoint({114.2 + i, 22.2 + i, 3});
    }
    for (size_t index = 2; index < 7; ++index) {
        auto [event, data] = Parse(stream->Next(1000));
        EXPECT_EQ(event, "point");
        EXPECT_EQ(data["index"], index) << "no point is ever lost";
    }
    auto [event, fix] = Parse(stream->Next(1000));
    EXPECT_EQ(event, "fix");
    EXPECT_EQ(fix["texts"]["lblTime"], "12:00:09") << "the fixes in between are passed over";
    EXPECT_EQ(stream->Next(20), ": keep-alive\n\n");

    // A new recording: the page starts its track afresh.
    feed.BeginRecording();
    auto [again, fresh] = Parse(stream->Next(1000));
    EXPECT_EQ(again, "snapshot");
    EXPECT_TRUE(fresh["track"].empty());
    feed.Close();
    EXPECT_EQ(stream->Next(1000), std::nullopt);
}

TEST(LiveFeed, SixteenStreamsAtMostAndAClosingFeedLetsEveryOneGo) {
    LiveFeed feed;
    std::vector<std::unique_ptr<LiveFeed::Stream>> streams;
    for (size_t i = 0; i < LiveFeed::kMaxStreams; ++i) streams.push_back(feed.Open());
    EXPECT_EQ(feed.Open(), nullptr) << "the 17th";
    streams.pop_back();
    EXPECT_NE(feed.Open(), nullptr);
    std::thread waiting([&] {
        EXPECT_EQ(Parse(streams[0]->Next(60000)).first, "snapshot");
        EXPECT_EQ(streams[0]->Next(60000), std::nullopt) << "ended by the close, not by the minute";
    });
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    feed.Close();
    waiting.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(feed.Open(), nullptr);
}

}  // namespace
}  // namespace qv

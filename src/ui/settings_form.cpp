#include "ui/settings_form.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/messages.h"
#include "base/number_text.h"
#include "gps/nmea.h"
#include "gps/serial_port.h"
#include "web/page_settings.h"

namespace qv {
namespace {

constexpr TilePreset kPresets[] = {
    {"OpenStreetMap", kOsmTileUrl, kOsmAttribution, 19, "WGS84"},
    {"高德地图（GCJ-02）",
     "https://webrd0{1-4}.is.autonavi.com/appmaptile?lang=zh_cn&size=1&scale=1&style=8&x={x}&y={y}&z={z}",
     "&copy; 高德地图", 18, "GCJ02"},
    {"天地图（须填密钥）", "https://t{0-7}.tianditu.gov.cn/DataServer?T=vec_w&x={x}&y={y}&l={z}&tk=您的密钥",
     "&copy; 天地图", 18, "WGS84"},
};
constexpr std::string_view kKeyPlaceholder = "您的密钥";
constexpr std::string_view kKeyParameter = "tk=";

constexpr const char* kSpeeds[] = {"自动", "4800", "9600", "19200", "38400", "57600", "115200"};

struct City {
    int32_t hours;
    const char* name;
};
constexpr City kCities[] = {
    {8, "北京时间"}, {-12, "贝克岛"}, {-11, "帕果帕果"}, {-10, "檀香山"}, {-9, "安克雷奇"},
    {-8, "洛杉矶"}, {-7, "丹佛"}, {-6, "芝加哥"}, {-5, "纽约"}, {-4, "加拉加斯"},
    {-3, "布宜诺斯艾利斯"}, {-2, "南乔治亚岛"}, {-1, "亚速尔群岛"}, {0, "伦敦"}, {1, "巴黎"},
    {2, "开罗"}, {3, "莫斯科"}, {4, "迪拜"}, {5, "卡拉奇"}, {6, "达卡"},
    {7, "曼谷"}, {9, "东京"}, {10, "悉尼"}, {11, "努美阿"}, {12, "奥克兰"},
    {13, "努库阿洛法"}, {14, "基里蒂马蒂岛"},
};

std::string Signed(int32_t n) {
    return (n < 0 ? "-" : "+") + std::to_string(n < 0 ? -static_cast<int64_t>(n) : n);
}

std::string Fixed(double value, int decimals) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

std::string TalkersText(const std::array<bool, kTalkerIds.size()>& boxes, const std::string& before) {
    std::string out;
    for (size_t i = 0; i < kTalkerIds.size(); ++i)
        if (boxes[i]) out += (out.empty() ? "" : ",") + std::string(kTalkerIds[i]);
    // A talker the dialog has no box for stays as the file had it.
    const TalkerList listed = ParseTalkers(before);
    for (const std::string& id : listed.ids()) {
        bool boxed = false;
        for (const char* known : kTalkerIds) boxed = boxed || id == known;
        if (!boxed) out += (out.empty() ? "" : ",") + id;
    }
    return out;
}

std::array<bool, kTalkerIds.size()> TalkerBoxes(const std::string& talkers) {
    std::array<bool, kTalkerIds.size()> boxes{};
    TalkerList list = ParseTalkers(talkers);
    for (size_t i = 0; i < kTalkerIds.size(); ++i) boxes[i] = list.Has(kTalkerIds[i]);
    return boxes;
}

bool IsFullPath(std::string_view path) {
    bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                 (path[2] == '\\' || path[2] == '/');
    return drive || path.starts_with("\\\\");
}

}  // namespace

std::span<const TilePreset> TilePresets() { return kPresets; }

size_t TilePresetOf(std::string_view url) {
    for (size_t i = 0; i < std::size(kPresets); ++i) {
        std::string_view preset = kPresets[i].url;
        // A keyed address is the same map whatever key it carries.
        size_t key = preset.find(kKeyParameter);
        size_t kept = key + kKeyParameter.size();
        if (key != std::string_view::npos ? url.substr(0, kept) == preset.substr(0, kept) : url == preset)
            return i;
    }
    return std::size(kPresets);
}

std::vector<TimeZoneChoice> TimeZoneChoices(int32_t current) {
    std::vector<TimeZoneChoice> out;
    bool listed = false;
    for (const City& c : kCities) {
        out.push_back({c.hours, std::string(c.name) + " " + Signed(c.hours)});
        listed = listed || c.hours == current;
    }
    if (!listed) out.push_back({current, "UTC" + Signed(current)});
    return out;
}

std::vector<PortChoice> PortChoices(const std::vector<int32_t>& present,
                                    const std::map<int32_t, std::string>& deviceNames, int32_t configured) {
    std::vector<PortChoice> out{{0, text::kAutoPort}};
    std::vector<int32_t> ports = present;
    if (configured != 0) ports.push_back(configured);
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    for (int32_t port : ports) {
        std::string com = "COM" + std::to_string(port);
        auto named = deviceNames.find(port);
        std::string label = com;
        if (named != deviceNames.end() && !named->second.empty()) {
            // Device Manager's name already ends in "(COM3)"; one that does not is given it.
            label = named->second;
            if (label.find("(" + com + ")") == std::string::npos) label += " (" + com + ")";
        }
        if (std::find(present.begin(), present.end(), port) == present.end())
            label += text::kPortAbsent;
        out.push_back({port, label});
    }
    return out;
}

std::span<const char* const> SpeedChoices() { return kSpeeds; }

std::string SettingForSpeedChoice(std::string_view choice) {
    if (choice == kSpeeds[0]) return {};
    return std::string(choice) + ",n,8,1";
}

std::string MetresText(double degrees) { return Fixed(degrees * kMetresPerDegree, 1); }

SettingsForm FormOf(const AppSettings& s) {
    SettingsForm f;
    f.port = s.GpsPort;
    f.setting = s.GpsSetting;
    f.talkers = TalkerBoxes(s.GpsTalkers);
    f.openAtStart = s.OpenAtStart;
    f.eyeHigh = std::to_string(s.EyeHigh);
    f.timeZone = s.TimeZone;
    f.precisionMetres = MetresText(s.PrecisionInTrack);
    f.liveTrack = !s.TrackTempFile.empty();
    f.trackFile = s.TrackTempFile;
    f.writeLog = s.WriteLog;
    f.webEnabled = s.WebEnabled;
    f.webPort = std::to_string(s.WebPort);
    f.openBrowser = s.WebOpenBrowser;
    f.tileUrl = s.TileUrl;
    f.tileAttribution = s.TileAttribution;
    f.tileDatum = s.TileDatum;
    f.tileMaxZoom = s.TileMaxZoom;
    return f;
}

FormResult ReadForm(const SettingsForm& f, const AppSettings& shown) {
    const SettingsForm before = FormOf(shown);
    FormResult r{shown, {}};
    AppSettings& s = r.settings;
    auto trouble = [&r](FormField field, std::string why) { r.troubles.emplace(field, std::move(why)); };

    s.GpsPort = f.port;
    if (f.setting != before.setting) {
        if (!f.setting.empty() && !ParseSerialSettings(f.setting)) trouble(FormField::setting, text::kFieldBadSetting);
        s.GpsSetting = f.setting;
    }
    if (f.talkers != before.talkers) {
        s.GpsTalkers = TalkersText(f.talkers, shown.GpsTalkers);
        if (s.GpsTalkers.empty()) trouble(FormField::talkers, text::kFieldNoTalker);
    }
    s.OpenAtStart = f.openAtStart;
    if (f.eyeHigh != before.eyeHigh) {
        std::optional<int32_t> n = ParseWholeNumber(f.eyeHigh);
        if (!n || *n < 400 || *n > 10000000) trouble(FormField::eyeHigh, text::kFieldBadEyeHigh);
        else s.EyeHigh = *n;
    }
    s.TimeZone = f.timeZone;
    if (f.precisionMetres != before.precisionMetres) {
        std::optional<double> m = ParseDecimal(f.precisionMetres);
        if (!m || *m < 0 || *m > kMetresPerDegree) {
            trouble(FormField::precision, text::kFieldBadPrecision);
        } else {
            // Degrees to eight places: a tenth of a millimetre, and a value that reads back as written.
            s.PrecisionInTrack = ParseDecimal(Fixed(*m / kMetresPerDegree, 8)).value_or(0);
        }
    }
    if (!f.liveTrack) {
        s.TrackTempFile.clear();
    } else if (f.trackFile != shown.TrackTempFile || shown.TrackTempFile.empty()) {
        if (!IsFullPath(f.trackFile)) trouble(FormField::trackFile, text::kFieldBadTrackFile);
        else if (auto why = SettingTextTrouble(f.trackFile)) trouble(FormField::trackFile, *why);
        s.TrackTempFile = f.trackFile;
    }
    s.WriteLog = f.writeLog;
    s.WebEnabled = f.webEnabled;
    if (f.webPort != before.webPort) {
        std::optional<int32_t> n = ParseWholeNumber(f.webPort);
        if (!n || *n < 1 || *n > 65535 || f.webPort.find('.') != std::string::npos)
            trouble(FormField::webPort, text::kFieldBadWebPort);
        else s.WebPort = *n;
    }
    s.WebOpenBrowser = f.openBrowser;
    if (f.tileUrl != before.tileUrl) {
        if (f.tileUrl.find(kKeyPlaceholder) != std::string::npos) trouble(FormField::tileUrl, text::kFieldTileKey);
        else if (!IsTileTemplate(f.tileUrl)) trouble(FormField::tileUrl, text::kFieldBadTileUrl);
        else if (auto why = SettingTextTrouble(f.tileUrl)) trouble(FormField::tileUrl, *why);
        s.TileUrl = f.tileUrl;
    }
    if (f.tileAttribution != before.tileAttribution) {
        if (auto why = SettingTextTrouble(f.tileAttribution)) trouble(FormField::tileAttribution, *why);
        s.TileAttribution = f.tileAttribution;
    }
    s.TileDatum = f.tileDatum;
    s.TileMaxZoom = f.tileMaxZoom;
    return r;
}

bool ReceiverKeysDiffer(const AppSettings& a, const AppSettings& b) {
    return a.GpsPort != b.GpsPort || a.GpsSetting != b.GpsSetting || a.GpsTalkers != b.GpsTalkers;
}

}  // namespace qv

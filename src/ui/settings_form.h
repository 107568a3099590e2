#pragma once
// The settings dialog's fields as the user sees and types them, and the
// settings they make. A field the user has not touched keeps the value in
// force exactly, so only what the user changed is ever written.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/settings.h"

namespace qv {

// The talkers offered as check boxes, in their order on the dialog.
inline constexpr std::array<const char*, 7> kTalkerIds = {"GP", "GN", "BD", "GB", "GL", "GA", "GQ"};

// A map's tiles: what choosing it fills in.
struct TilePreset {
    const char* name;
    const char* url;
    const char* attribution;
    int32_t maxZoom;
    const char* datum;
};
// OpenStreetMap first; "自定义" is the index after the last.
std::span<const TilePreset> TilePresets();
// The preset `url` is, or TilePresets().size() for one of the user's own.
size_t TilePresetOf(std::string_view url);

struct TimeZoneChoice {
    int32_t hours;
    std::string label;  // "北京时间 +8"
};
// Whole-hour offsets named by a city, Beijing first; `current` is listed even when it is none of them.
std::vector<TimeZoneChoice> TimeZoneChoices(int32_t current);

struct PortChoice {
    int32_t port;       // 0 for the search
    std::string label;  // "USB-SERIAL CH340 (COM3)", "COM3" or "自动查找"
};
// "自动查找", then each port present with the name Windows gives its device; the configured port is
// listed even when it is not there now, so that opening the dialog does not change it.
std::vector<PortChoice> PortChoices(const std::vector<int32_t>& present,
                                    const std::map<int32_t, std::string>& deviceNames, int32_t configured);

// The speeds offered; the first stands for an empty Setting.
std::span<const char* const> SpeedChoices();
// "4800" becomes "4800,n,8,1"; "自动" becomes empty.
std::string SettingForSpeedChoice(std::string_view choice);

// 111 km to the degree, near enough for the least move between track points.
inline constexpr double kMetresPerDegree = 111000;
std::string MetresText(double degrees);

struct SettingsForm {
    int32_t port = 0;
    std::string setting;  // the whole Setting text behind the speed
    std::array<bool, kTalkerIds.size()> talkers{};
    bool openAtStart = false;
    std::string eyeHigh;  // metres
    int32_t timeZone = 8;
    std::string precisionMetres;
    bool liveTrack = false;
    std::string trackFile;
    bool writeLog = false;
    bool webEnabled = false;
    std::string webPort;
    int32_t openBrowser = 1;
    std::string tileUrl;
    std::string tileAttribution;
    std::string tileDatum;
    int32_t tileMaxZoom = 19;
};

SettingsForm FormOf(const AppSettings& settings);

enum class FormField { setting, talkers, eyeHigh, precision, trackFile, webPort, tileUrl, tileAttribution };

struct FormResult {
    AppSettings settings;                        // `shown` with the form's changes
    std::map<FormField, std::string> troubles;   // why a field cannot be taken; OK waits until there is none
};

// The settings the form makes from `shown`, the settings it was filled from.
FormResult ReadForm(const SettingsForm& form, const AppSettings& shown);

// True when the port, the speed or the talkers differ: the receiver link is then opened again.
bool ReceiverKeysDiffer(const AppSettings& a, const AppSettings& b);

}  // namespace qv

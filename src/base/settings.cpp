#include "base/settings.h"

#include <type_traits>

#include "base/file_io.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "base/text_codec.h"

namespace qv {
namespace {

constexpr SettingEntry kTable[] = {
    {"GE", "AppName", SettingKind::Text, "", &AppSettings::AppName, 0},
    {"GE", "WinMapName", SettingKind::Text, "", &AppSettings::WinMapName, 0},
    {"GE", "EyeHigh", SettingKind::WholeNumber, "", &AppSettings::EyeHigh, 5000},
    {"GPS", "Port", SettingKind::WholeNumberOrKeep, "", &AppSettings::GpsPort, 0},
    {"GPS", "Setting", SettingKind::Text, "", &AppSettings::GpsSetting, 0},
    {"GPS", "TimeZone", SettingKind::WholeNumber, "", &AppSettings::TimeZone, 8},
    {"GPS", "Talkers", SettingKind::Text, "", &AppSettings::GpsTalkers, 0},
    {"GPS", "OpenAtStart", SettingKind::Flag, "", &AppSettings::OpenAtStart, 0},
    {"Track", "TrackTempFile", SettingKind::Text, "", &AppSettings::TrackTempFile, 0},
    {"Track", "PrecisionInTrack", SettingKind::Decimal, "0.0005", &AppSettings::PrecisionInTrack, 0.0005},
    {"Log", "WriteLog", SettingKind::Flag, "", &AppSettings::WriteLog, 0},
    {"Web", "Enabled", SettingKind::Flag, "", &AppSettings::WebEnabled, 0},
    {"Web", "Port", SettingKind::WholeNumber, "", &AppSettings::WebPort, 8642},
    {"Web", "OpenBrowser", SettingKind::WholeNumber, "", &AppSettings::WebOpenBrowser, 1},
    {"Web", "TileUrl", SettingKind::Text, kOsmTileUrl, &AppSettings::TileUrl, 0},
    {"Web", "TileAttribution", SettingKind::Text, kOsmAttribution, &AppSettings::TileAttribution, 0},
    {"Web", "MaxZoom", SettingKind::WholeNumber, "", &AppSettings::TileMaxZoom, 19},
    {"Web", "TileDatum", SettingKind::Text, "WGS84", &AppSettings::TileDatum, 0},
};

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

void Apply(AppSettings& settings, const SettingEntry& entry, const std::string& value) {
    switch (entry.kind) {
    case SettingKind::Text:
        settings.*std::get<std::string AppSettings::*>(entry.field) = value;
        break;
    case SettingKind::WholeNumber:
    case SettingKind::WholeNumberOrKeep: {
        int32_t& field = settings.*std::get<int32_t AppSettings::*>(entry.field);
        if (auto n = ParseWholeNumber(value)) field = *n;
        else if (entry.kind == SettingKind::WholeNumber) field = static_cast<int32_t>(entry.fallback);
        break;
    }
    case SettingKind::Decimal: {
        auto n = ParseDecimal(value);
        settings.*std::get<double AppSettings::*>(entry.field) = n ? *n : entry.fallback;
        break;
    }
    case SettingKind::Flag:
        settings.*std::get<bool AppSettings::*>(entry.field) = TrimSpaces(value) == "1";
        break;
    }
}

}  // namespace

std::span<const SettingEntry> SettingsTable() { return kTable; }

void LoadSettings(AppSettings& settings, std::string_view exeFolder, const ProfileReader& profile) {
    std::string folder(exeFolder);
    if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
    LoadSettingsFrom(settings, exeFolder, folder + "Config.ini", profile);
}

void LoadReceiverSettings(AppSettings& settings, const ProfileReader& profile) {
    for (const SettingEntry& entry : kTable) {
        if (entry.section != "GPS" || (entry.key != "Port" && entry.key != "Setting" && entry.key != "Talkers"))
            continue;
        std::string ansi = profile.ReadString(settings.ConfigFile, entry.section, entry.key, entry.lookupDefault,
                                              kSettingBufferSize);
        Apply(settings, entry, AnsiToUtf8(ansi));
    }
}

std::vector<ProfileChange> ChangedSettings(const AppSettings& before, const AppSettings& after) {
    std::vector<ProfileChange> changes;
    for (const SettingEntry& entry : kTable) {
        std::string value;
        bool changed = std::visit(
            [&](auto field) {
                const auto& a = before.*field;
                const auto& b = after.*field;
                using T = std::decay_t<decltype(a)>;
                if constexpr (std::is_same_v<T, std::string>) value = Utf8ToAnsi(b);
                else if constexpr (std::is_same_v<T, bool>) value.assign(1, b ? '1' : '0');
                else if constexpr (std::is_same_v<T, double>) value = ShortestDoubleText(b);
                else value = std::to_string(b);
                return !(a == b);
            },
            entry.field);
        if (changed) changes.push_back({std::string(entry.section), std::string(entry.key), value});
    }
    return changes;
}

std::optional<std::string> SettingTextTrouble(std::string_view utf8) {
    std::string ansi = Utf8ToAnsi(utf8);
    if (AnsiToUtf8(ansi) != utf8 || ansi.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return text::kFieldNotGbk;
    if (ProfileValueTrouble(ansi)) return text::kFieldTooLong;
    return std::nullopt;
}

bool SaveConfigText(const std::string& path, std::string_view ansiText, FileSteps& steps) {
    // The previous version first: it is what a user goes back to, and it must be whole before the file changes.
    if (std::optional<std::string> old = ReadWholeFile(path); old && !ReplaceFileWith(path + ".bak", {*old}, steps))
        return false;
    return ReplaceFileWith(path, {ansiText}, steps);
}

ConfigSave SaveSettingsChanges(const std::string& path, const std::vector<ProfileChange>& changes,
                               std::string_view shippedText, Utf8Config utf8, FileSteps& steps) {
    std::string text;
    if (!FileExists(path)) text = shippedText;
    else if (std::optional<std::string> old = ReadWholeFile(path)) text = std::move(*old);
    else return ConfigSave::unreadable;
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    bool inUtf8 = text.starts_with(kMark);
    if (inUtf8) {
        if (utf8 == Utf8Config::ask) return ConfigSave::asksForGbk;
        // Edited as the ANSI text it reads as; only a file that goes there and back unchanged can be.
        std::string body = text.substr(kMark.size());
        text = Utf8ToAnsi(body);
        if (AnsiToUtf8(text) != body) return ConfigSave::notGbk;
    }
    std::optional<std::string> edited = EditProfileText(text, changes);
    if (!edited) return ConfigSave::refused;
    if (inUtf8 && utf8 == Utf8Config::keepUtf8) *edited = std::string(kMark) + AnsiToUtf8(*edited);
    return SaveConfigText(path, *edited, steps) ? ConfigSave::saved : ConfigSave::unwritable;
}

void LoadSettingsFrom(AppSettings& settings, std::string_view exeFolder, const std::string& configFile,
                      const ProfileReader& profile) {
    settings.AppPath = std::string(exeFolder);
    if (settings.AppPath.empty() || settings.AppPath.back() != kPathSeparator) settings.AppPath += kPathSeparator;
    settings.ConfigFile = configFile;
    settings.LogFile = settings.AppPath + "Log.txt";
    for (const SettingEntry& entry : kTable) {
        std::string ansi = profile.ReadString(settings.ConfigFile, entry.section, entry.key, entry.lookupDefault,
                                              kSettingBufferSize);
        Apply(settings, entry, AnsiToUtf8(ansi));
    }
}

}  // namespace qv

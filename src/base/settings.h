#pragma once
// Settings from Config.ini beside the executable. The file is read at start-up and
// again when the user re-opens the receiver link, and written only when the user
// presses OK in the settings dialog.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/file_io.h"
#include "base/profile.h"

namespace qv {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// OpenStreetMap's standard tiles, with the attribution its usage policy asks for.
inline constexpr char kOsmTileUrl[] = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr char kOsmAttribution[] =
    "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors";

struct AppSettings {
    std::string AppPath;     // the executable's folder, ending in a separator
    std::string ConfigFile;  // AppPath + "Config.ini"
    std::string LogFile;     // AppPath + "Log.txt"
    std::string AppName;
    std::string WinMapName;
    int32_t EyeHigh = 0;  // camera eye height in metres; the zoom buttons change it
    int32_t GpsPort = 0;
    std::string GpsSetting;  // serial line settings, "4800,n,8,1"
    int32_t TimeZone = 0;    // whole hours added to the receiver's UTC time
    std::string GpsTalkers;  // the talkers whose sentences are decoded, "GP,GN"; empty for GP
    bool OpenAtStart = false;  // open the receiver link once the panel shows
    std::string TrackTempFile;
    double PrecisionInTrack = 0;  // least move in degrees that makes a new track point
    bool WriteLog = false;
    // The map page served on 127.0.0.1.
    bool WebEnabled = false;
    int32_t WebPort = 8642;       // the next 9 are tried when it is taken
    int32_t WebOpenBrowser = 1;   // 0 never, 1 when Google Earth is not in use, 2 always
    std::string TileUrl;          // an XYZ template, "{z}/{x}/{y}" and optional "{a-c}"
    std::string TileAttribution;  // shown under the map, as the tiles' provider asks
    int32_t TileMaxZoom = 19;
    std::string TileDatum;        // "WGS84", or "GCJ02" for Chinese providers' offset tiles
};

enum class SettingKind {
    Text,                 // taken as it stands
    WholeNumber,          // rounded half to even; the fallback when it does not convert
    WholeNumberOrKeep,    // as WholeNumber, but a bad value keeps the previous one
    Decimal,              // the fallback when it does not convert
    Flag,                 // true exactly when the trimmed value is "1"
};

struct SettingEntry {
    std::string_view section;
    std::string_view key;
    SettingKind kind;
    std::string_view lookupDefault;  // what the lookup yields for a missing key
    std::variant<std::string AppSettings::*, int32_t AppSettings::*, double AppSettings::*, bool AppSettings::*> field;
    double fallback;  // for numbers that do not convert
};

// Every key, in the order it is read.
std::span<const SettingEntry> SettingsTable();

// Each lookup gets a buffer of this many bytes, so values hold at most 254 bytes.
inline constexpr size_t kSettingBufferSize = 255;

// Fills every field from `exeFolder` and the Config.ini in it. Never fails:
// anything missing or malformed gives the defaults.
void LoadSettings(AppSettings& settings, std::string_view exeFolder, const ProfileReader& profile);
// Reads again only the receiver's keys (Port, Setting, Talkers) from the
// Config.ini that `settings` came from, leaving everything else as this run has it.
void LoadReceiverSettings(AppSettings& settings, const ProfileReader& profile);
// The keys whose values differ between `before` and `after`, as Config.ini is to
// hold them (in the ANSI code page, numbers as the reader takes them back).
std::vector<ProfileChange> ChangedSettings(const AppSettings& before, const AppSettings& after);
// Why a text setting cannot go into Config.ini, in the user's words (a character
// outside the ANSI code page or a line break, more than 254 bytes), or nothing.
std::optional<std::string> SettingTextTrouble(std::string_view utf8);
// Writes `ansiText` as the Config.ini at `path`: the file there is kept first as
// `path`.bak, then the new one is put in its place in one step, each on the disk
// before the next. False, with Config.ini as it was, when either cannot be written.
bool SaveConfigText(const std::string& path, std::string_view ansiText, FileSteps& steps = SystemFileSteps());

// How a Config.ini that a newer Notepad saved in UTF-8 (with its byte-order mark) is written back.
enum class Utf8Config {
    ask,       // not at all: the user is asked first
    toGbk,     // in the ANSI code page, as the program and the shipped file have it
    keepUtf8,  // still in UTF-8, with its mark
};

enum class ConfigSave {
    saved,
    unreadable,   // the file is there but cannot be read: it is not written over
    unwritable,   // the folder or the file cannot be written: nothing changed
    refused,      // a value cannot go into the file
    asksForGbk,   // the file is UTF-8 and the user has not said how to write it
    notGbk,       // the file holds characters the ANSI code page cannot, so it cannot be edited here
};

// Puts `changes` into the Config.ini at `path` as EditProfileText does, then saves it as SaveConfigText
// does. A missing file is made from `shippedText` (the comments the program ships with).
ConfigSave SaveSettingsChanges(const std::string& path, const std::vector<ProfileChange>& changes,
                               std::string_view shippedText, Utf8Config utf8, FileSteps& steps = SystemFileSteps());

// The same, with the settings read from another file than exeFolder's Config.ini.
void LoadSettingsFrom(AppSettings& settings, std::string_view exeFolder, const std::string& configFile,
                      const ProfileReader& profile);

}  // namespace qv

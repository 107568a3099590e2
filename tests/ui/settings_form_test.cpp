// The settings dialog's fields: what they make of the settings in force, and only what the user changed.
#include <gtest/gtest.h>

#include "base/settings.h"
#include "ui/settings_form.h"

namespace qv {
namespace {

AppSettings Odd() {
    // Values as users' files have them: lower case and blanks, an unknown talker and datum, a far time zone.
    AppSettings s;
    s.GpsPort = 7;
    s.GpsSetting = "4800,N,8,1";
    s.GpsTalkers = "gp, gn ,GX";
    s.EyeHigh = 150;  // below what the dialog takes, but the file's: kept while untouched
    s.TimeZone = 20;
    s.PrecisionInTrack = 0.00033;
    s.TrackTempFile = "relative.kml";
    s.WebPort = 8642;
    s.WebOpenBrowser = 7;
    s.TileUrl = "not a template";
    s.TileAttribution = "x";
    s.TileDatum = "wgs-84";
    s.TileMaxZoom = 30;
    return s;
}

TEST(SettingsForm, UntouchedFieldsChangeNothingWhateverTheFileHolds) {
    for (const AppSettings& shown : {AppSettings{}, Odd()}) {
        FormResult r = ReadForm(FormOf(shown), shown);
        EXPECT_TRUE(r.troubles.empty());
        EXPECT_TRUE(ChangedSettings(shown, r.settings).empty());
    }
}

TEST(SettingsForm, EachFieldChangesItsKeyAlone) {
    const AppSettings shown = Odd();
    struct Case {
        const char* key;
        void (*edit)(SettingsForm&);
        const char* written;
    };
    const Case cases[] = {
        {"Port", [](SettingsForm& f) { f.port = 0; }, "0"},
        {"Setting", [](SettingsForm& f) { f.setting = SettingForSpeedChoice("9600"); }, "9600,n,8,1"},
        {"Setting", [](SettingsForm& f) { f.setting = SettingForSpeedChoice("自动"); }, ""},
        // A box ticked: the list is written anew, the talker without a box kept.
        {"Talkers", [](SettingsForm& f) { f.talkers[2] = true; }, "GP,GN,BD,GX"},
        {"EyeHigh", [](SettingsForm& f) { f.eyeHigh = " 3000 "; }, "3000"},
        {"TimeZone", [](SettingsForm& f) { f.timeZone = 8; }, "8"},
        {"PrecisionInTrack", [](SettingsForm& f) { f.precisionMetres = "55.5"; }, "0.0005"},
        {"PrecisionInTrack", [](SettingsForm& f) { f.precisionMetres = "1"; }, "0.00000901"},
        {"TrackTempFile", [](SettingsForm& f) { f.liveTrack = false; }, ""},
        {"TrackTempFile", [](SettingsForm& f) { f.trackFile = "C:\\Users\\a\\AppData\\Local\\Quorvane\\t.kml"; },
         "C:\\Users\\a\\AppData\\Local\\Quorvane\\t.kml"},
        {"Port", [](SettingsForm& f) { f.webPort = "8700"; }, "8700"},
        {"TileUrl", [](SettingsForm& f) { f.tileUrl = TilePresets()[1].url; }, TilePresets()[1].url},
        {"TileDatum", [](SettingsForm& f) { f.tileDatum = "GCJ02"; }, "GCJ02"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.written);
        SettingsForm f = FormOf(shown);
        c.edit(f);
        FormResult r = ReadForm(f, shown);
        EXPECT_TRUE(r.troubles.empty());
        std::vector<ProfileChange> changes = ChangedSettings(shown, r.settings);
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].key, c.key);
        EXPECT_EQ(changes[0].value, c.written);
    }
}

TEST(SettingsForm, AWrongValueIsRefusedWithItsReasonAndTheRestStillRead) {
    const AppSettings shown;
    struct Case {
        FormField field;
        void (*edit)(SettingsForm&);
    };
    const Case cases[] = {
        {FormField::setting, [](SettingsForm& f) { f.setting = "4800,x,8,1"; }},
        {FormField::talkers, [](SettingsForm& f) { f.talkers.fill(false); }},
        {FormField::eyeHigh, [](SettingsForm& f) { f.eyeHigh = "399"; }},
        {FormField::eyeHigh, [](SettingsForm& f) { f.eyeHigh = "3千"; }},
        {FormField::precision, [](SettingsForm& f) { f.precisionMetres = "-1"; }},
        {FormField::trackFile, [](SettingsForm& f) { f.liveTrack = true, f.trackFile = "track.kml"; }},
        {FormField::trackFile, [](SettingsForm& f) { f.liveTrack = true, f.trackFile = "D:\\\xED\x95\x9C.kml"; }},
        {FormField::trackFile, [](SettingsForm& f) { f.liveTrack = true, f.trackFile = "D:\\" + std::string(260, 'a'); }},
        {FormField::webPort, [](SettingsForm& f) { f.webPort = "65536"; }},
        {FormField::webPort, [](SettingsForm& f) { f.webPort = "80.5"; }},
        {FormField::tileUrl, [](SettingsForm& f) { f.tileUrl = "ftp://x.org/{z}/{x}/{y}.png"; }},
        {FormField::tileUrl, [](SettingsForm& f) { f.tileUrl = TilePresets()[2].url; }},  // the key not filled in
        {FormField::tileAttribution, [](SettingsForm& f) { f.tileAttribution = std::string(255, 'c'); }},
    };
    for (const Case& c : cases) {
        SettingsForm f = FormOf(shown);
        f.timeZone = 9;  // a good change beside the bad one
        c.edit(f);
        FormResult r = ReadForm(f, shown);
        ASSERT_EQ(r.troubles.size(), 1u) << static_cast<int>(c.field);
        EXPECT_EQ(r.troubles.begin()->first, c.field);
        EXPECT_FALSE(r.troubles.begin()->second.empty());
        EXPECT_EQ(r.settings.TimeZone, 9);
    }
}

TEST(SettingsForm, ChoicesNameWhatTheUserKnows) {
    std::vector<PortChoice> ports = PortChoices({12, 3, 4, 3}, {{3, "USB-SERIAL CH340 (COM3)"}, {4, "Bluetooth Link"}}, 9);
    std::vector<std::string> labels;
    for (const PortChoice& p : ports) labels.push_back(p.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"自动查找", "USB-SERIAL CH340 (COM3)", "Bluetooth Link (COM4)",
                                                "COM9（未连接）", "COM12"}));
    EXPECT_EQ(ports[3].port, 9);

    EXPECT_EQ(TimeZoneChoices(8).front().label, "北京时间 +8");
    EXPECT_EQ(TimeZoneChoices(8).size(), 27u);
    EXPECT_EQ(TimeZoneChoices(-20).back().label, "UTC-20");

    EXPECT_EQ(TilePresetOf(kOsmTileUrl), 0u);
    EXPECT_EQ(TilePresetOf("https://t{0-7}.tianditu.gov.cn/DataServer?T=vec_w&x={x}&y={y}&l={z}&tk=0123abcd"), 2u);
    EXPECT_EQ(TilePresetOf("https://tiles.example.org/{z}/{x}/{y}.png"), TilePresets().size());
    EXPECT_EQ(MetresText(0.0005), "55.5");
}

}  // namespace
}  // namespace qv

#include "web/page_settings.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(PageSettings, TileOriginsSpellOutSubdomainsAndRefuseWhatCouldBreakThePolicy) {
    EXPECT_EQ(TileOrigins("https://tile.openstreetmap.org/{z}/{x}/{y}.png"), "https://tile.openstreetmap.org");
    EXPECT_EQ(TileOrigins("https://{a-c}.tile.example.org/{z}/{x}/{y}.png"),
              "https://a.tile.example.org https://b.tile.example.org https://c.tile.example.org");
    EXPECT_EQ(TileOrigins("https://webrd0{1-4}.is.autonavi.com/appmaptile?x={x}&y={y}&z={z}"),
              "https://webrd01.is.autonavi.com https://webrd02.is.autonavi.com https://webrd03.is.autonavi.com "
              "https://webrd04.is.autonavi.com");
    EXPECT_EQ(TileOrigins("http://127.0.0.1:9000/{z}/{x}/{y}.png"), "http://127.0.0.1:9000");
    // Anything that could end the header's policy, add a source or reach another scheme is no origin.
    for (const char* bad : {"", "ftp://x.org/{z}/{x}/{y}", "https:///{z}", "https://a.org; script-src *//{z}",
                            "https://a b.org/{z}/{x}/{y}", "https://a.org\r\nX: y/{z}", "https://{c-a}.x.org/",
                            "https://{a-c}{1-2}.x.org/", "https://{a-c}.x.org}/{z}", "https://{abc}.x.org/", "https://*.x.org/{z}",
                            "javascript:alert(1)//{z}{x}{y}"})
        EXPECT_EQ(TileOrigins(bad), "") << bad;
}

TEST(PageSettings, ABadValueGivesTheDefaultNotABrokenPage) {
    AppSettings s;
    s.TileUrl = "https://{a-c}.tiles.example.org/{z}/{x}/{y}.png";
    s.TileAttribution = "&copy; Example";
    s.TileMaxZoom = 18;
    s.TileDatum = "gcj-02";
    PageSettings page = PageSettingsFor(s);
    EXPECT_EQ(page.tileUrl, s.TileUrl);
    EXPECT_EQ(page.attribution, "&copy; Example");
    EXPECT_EQ(page.maxZoom, 18);
    EXPECT_EQ(page.datum, "GCJ02");

    for (const char* bad : {"", "https://example.org/tiles.png", "https://example.org/{z}/{x}/{y}.png\"><b>",
                            "file:///C:/tiles/{z}/{x}/{y}.png"}) {
        s.TileUrl = bad;
        page = PageSettingsFor(s);
        EXPECT_EQ(page.tileUrl, kOsmTileUrl) << bad;
        EXPECT_EQ(page.attribution, kOsmAttribution) << "another provider's attribution is not put under OSM's tiles";
    }
    s.TileUrl = "https://example.org/{z}/{x}/{-y}.png";  // TMS rows
    EXPECT_EQ(PageSettingsFor(s).tileUrl, s.TileUrl);
    for (int zoom : {0, 23, -5}) {
        s.TileMaxZoom = zoom;
        EXPECT_EQ(PageSettingsFor(s).maxZoom, 19);
    }
    s.TileDatum = "WGS-84";
    EXPECT_EQ(PageSettingsFor(s).datum, "WGS84");
    s.TileDatum = "bd09";  // not one the page knows: drawn unshifted
    EXPECT_EQ(PageSettingsFor(s).datum, "WGS84");

    for (auto [port, used] : {std::pair{8642, 8642}, {1, 1}, {65535, 65535}, {0, 8642}, {65536, 8642}, {-1, 8642}}) {
        s.WebPort = port;
        EXPECT_EQ(WebPortFor(s), used) << port;
    }
    EXPECT_EQ(PageAddress(8643), "http://127.0.0.1:8643/");
}

}  // namespace
}  // namespace qv

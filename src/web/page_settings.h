#pragma once
// What the map page is set to from Config.ini's [Web] section, made safe to
// use: a port that exists, a tile address the page can load and the one
// origin (or few, with subdomains) the page's security policy lets it reach.
#include <string>
#include <string_view>

#include "base/settings.h"

namespace qv {

struct PageSettings {
    std::string tileUrl;
    std::string attribution;
    int maxZoom = 19;
    std::string datum;  // "WGS84" or "GCJ02"
};

// A port outside 1 to 65535 gives the default.
int WebPortFor(const AppSettings& settings);
// A tile address that is not an http(s) XYZ template gives OpenStreetMap's, with its attribution.
PageSettings PageSettingsFor(const AppSettings& settings);

// True for an http(s) XYZ template the page can load tiles from ("{z}", "{x}", "{y}" or "{-y}", a plain host).
bool IsTileTemplate(std::string_view tileUrl);

// The origins a tile template loads from, space-separated, with its "{a-c}" or "{1-4}" subdomains
// spelled out ("https://a.tile.example.org https://b.tile.example.org"); empty for a template that
// is not an http(s) address with a plain host name.
std::string TileOrigins(std::string_view tileUrl);

// "http://127.0.0.1:8642/": the address the page is opened at.
std::string PageAddress(int port);

}  // namespace qv

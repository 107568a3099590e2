#include "web/page_settings.h"

#include <vector>

namespace qv {
namespace {

constexpr int kDefaultPort = 8642;
constexpr int kMostZoom = 22;

bool HostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == ':';
}

// The hosts a template's host part names: its one "{a-c}" or "{1-4}" range spelled out.
std::vector<std::string> ExpandHost(std::string_view host) {
    size_t open = host.find('{');
    if (open == std::string_view::npos) return {std::string(host)};
    size_t close = host.find('}', open);
    if (close == std::string_view::npos || close - open != 4 || host[open + 2] != '-') return {};
    char first = host[open + 1], last = host[open + 3];
    bool letters = first >= 'a' && last <= 'z' && first <= last;
    bool digits = first >= '0' && last <= '9' && first <= last;
    if (!letters && !digits) return {};
    std::string_view rest = host.substr(close + 1);
    if (rest.find('{') != std::string_view::npos) return {};
    std::vector<std::string> hosts;
    for (char c = first; c <= last; ++c)
        hosts.push_back(std::string(host.substr(0, open)) + c + std::string(rest));
    return hosts;
}

}  // namespace

bool IsTileTemplate(std::string_view url) {
    return !TileOrigins(url).empty() && url.find("{z}") != std::string_view::npos &&
           url.find("{x}") != std::string_view::npos &&
           (url.find("{y}") != std::string_view::npos || url.find("{-y}") != std::string_view::npos) &&
           url.find_first_of(" \t\r\n\"'<>\\") == std::string_view::npos;
}

namespace {

std::string Upper(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '-' && c != ' ') out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return out;
}

}  // namespace

int WebPortFor(const AppSettings& settings) {
    return settings.WebPort >= 1 && settings.WebPort <= 65535 ? settings.WebPort : kDefaultPort;
}

PageSettings PageSettingsFor(const AppSettings& settings) {
    PageSettings page;
    if (IsTileTemplate(settings.TileUrl)) {
        page.tileUrl = settings.TileUrl;
        page.attribution = settings.TileAttribution;
    } else {
        page.tileUrl = kOsmTileUrl;
        page.attribution = kOsmAttribution;
    }
    page.maxZoom = settings.TileMaxZoom >= 1 && settings.TileMaxZoom <= kMostZoom ? settings.TileMaxZoom : 19;
    page.datum = Upper(settings.TileDatum) == "GCJ02" ? "GCJ02" : "WGS84";
    return page;
}

std::string TileOrigins(std::string_view url) {
    std::string_view scheme;
    if (url.substr(0, 8) == "https://") scheme = "https://";
    else if (url.substr(0, 7) == "http://") scheme = "http://";
    else return {};
    std::string_view rest = url.substr(scheme.size());
    std::string_view host = rest.substr(0, rest.find('/'));
    if (host.empty()) return {};
    for (char c : host)
        if (!HostCharacter(c) && c != '{' && c != '}') return {};
    std::string origins;
    for (const std::string& h : ExpandHost(host)) {
        if (h.empty() || h.front() == '.' || h.front() == ':') return {};
        for (char c : h)
            if (!HostCharacter(c)) return {};  // a brace left over, say
        origins += (origins.empty() ? "" : " ") + std::string(scheme) + h;
    }
    return origins;
}

std::string PageAddress(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

}  // namespace qv

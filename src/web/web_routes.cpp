#include "web/web_routes.h"

#include <string>

namespace qv {
namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool LocalHost(std::string_view host, int port) {
    const std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() || host.substr(host.size() - suffix.size()) != suffix) return false;
    std::string_view name = host.substr(0, host.size() - suffix.size());
    return name == "127.0.0.1" || SameLetters(name, "localhost");
}

WebAnswer RouteWebRequest(std::string_view method, std::string_view uri, std::string_view host, int port) {
    if (method != "GET" && method != "HEAD") return {405};
    if (!LocalHost(host, port)) return {403};
    if (uri.size() > kMaxUriBytes) return {414};
    std::string_view path = uri.substr(0, uri.find('?'));
    if (path == "/" || path == "/index.html") return {200, WebRoute::page};
    if (path == "/app.js") return {200, WebRoute::script};
    if (path == "/app.css") return {200, WebRoute::style};
    if (path == "/events") return {200, WebRoute::events};
    return {404};
}

}  // namespace qv

#pragma once
// Which requests the map page's server answers, and how. Only this machine's
// browser, by the names it uses for this machine, with GET or HEAD, for one of
// the page's few paths: everything else gets a clear refusal.
#include <cstddef>
#include <string_view>

namespace qv {

enum class WebRoute { none, page, script, style, events };

struct WebAnswer {
    int status = 404;  // 200 for a route; 403, 404, 405 or 414 for a refusal
    WebRoute route = WebRoute::none;
};

inline constexpr size_t kMaxUriBytes = 2048;

// True for "127.0.0.1:<port>" and "localhost:<port>" (the name in any case):
// a page fetched under another name (DNS rebinding) is not served.
bool LocalHost(std::string_view host, int port);

// The answer to a request line and its Host header; the query is ignored.
WebAnswer RouteWebRequest(std::string_view method, std::string_view uri, std::string_view host, int port);

}  // namespace qv

// Any request line and Host header: an answer, never a crash, and nothing but a
// refusal for a host other than this machine's names. Any tile address: origins
// that cannot break out of the page's security policy.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "web/page_settings.h"
#include "web/web_routes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    size_t a = in.find('\n'), b = a == std::string_view::npos ? a : in.find('\n', a + 1);
    std::string_view method = in.substr(0, a);
    std::string_view uri = a == std::string_view::npos ? std::string_view() : in.substr(a + 1, b - a - 1);
    std::string_view host = b == std::string_view::npos ? std::string_view() : in.substr(b + 1);
    qv::WebAnswer answer = qv::RouteWebRequest(method, uri, host, 8642);
    bool known = answer.status == 200 || answer.status == 403 || answer.status == 404 || answer.status == 405 ||
                 answer.status == 414;
    if (!known || (answer.status == 200) != (answer.route != qv::WebRoute::none)) std::abort();
    if (answer.status == 200 && !qv::LocalHost(host, 8642)) std::abort();

    std::string origins = qv::TileOrigins(in);
    for (size_t at = 0; at < origins.size();) {
        size_t end = origins.find(' ', at);
        std::string_view origin = std::string_view(origins).substr(at, end == std::string::npos ? end : end - at);
        if (origin.substr(0, 7) != "http://" && origin.substr(0, 8) != "https://") std::abort();
        for (char c : origin.substr(origin.find("//") + 2))
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '-' || c == ':'))
                std::abort();
        at = end == std::string::npos ? origins.size() : end + 1;
    }
    return 0;
}

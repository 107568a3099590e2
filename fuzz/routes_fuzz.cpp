// Any request line and Host header: an answer, never a crash, and nothing but a
// refusal for a host other than this machine's names.
#include <cstdint>
#include <cstdlib>
#include <string_view>

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
    return 0;
}

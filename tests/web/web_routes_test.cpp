#include <gtest/gtest.h>

#include <string>

#include "web/web_routes.h"

namespace qv {
namespace {

TEST(WebRoutes, OnlyThisMachinesNamesWithGetOrHeadForThePagesPaths) {
    struct Case {
        const char* method;
        std::string uri;
        const char* host;
        int status;
        WebRoute route;
    } cases[] = {
        {"GET", "/", "127.0.0.1:8642", 200, WebRoute::page},
        {"HEAD", "/index.html", "localhost:8642", 200, WebRoute::page},
        {"GET", "/app.js?v=1", "LocalHost:8642", 200, WebRoute::script},
        {"GET", "/app.css", "127.0.0.1:8642", 200, WebRoute::style},
        {"GET", "/events", "127.0.0.1:8642", 200, WebRoute::events},
        {"POST", "/events", "127.0.0.1:8642", 405, WebRoute::none},
        {"get", "/", "127.0.0.1:8642", 405, WebRoute::none},
        {"OPTIONS", "/", "127.0.0.1:8642", 405, WebRoute::none},
        {"GET", "/", "evil.example:8642", 403, WebRoute::none},      // DNS rebinding
        {"GET", "/", "127.0.0.1", 403, WebRoute::none},              // no port
        {"GET", "/", "127.0.0.1:8643", 403, WebRoute::none},         // another port
        {"GET", "/", "127.0.0.1:86420", 403, WebRoute::none},
        {"GET", "/", "x127.0.0.1:8642", 403, WebRoute::none},
        {"GET", "/", "localhost.evil:8642", 403, WebRoute::none},
        {"GET", "/", "", 403, WebRoute::none},
        {"GET", "/../Config.ini", "127.0.0.1:8642", 404, WebRoute::none},
        {"GET", "/events/", "127.0.0.1:8642", 404, WebRoute::none},
        {"GET", "/" + std::string(2100, 'a'), "127.0.0.1:8642", 414, WebRoute::none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.uri.substr(0, 40) + " Host: " + c.host);
        WebAnswer a = RouteWebRequest(c.method, c.uri, c.host, 8642);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.route, c.route);
    }
}

}  // namespace
}  // namespace qv

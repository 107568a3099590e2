#pragma once
// The map page's HTTP server: CivetWeb, built into the program, listening on
// 127.0.0.1 only. It serves the page and its event stream and refuses the rest.
#include <memory>
#include <optional>
#include <string>

#include "web/live_feed.h"

struct mg_context;
struct mg_connection;

namespace qv {

// The page's three files, as the program carries them.
struct WebContent {
    std::string page;    // text/html
    std::string script;  // text/javascript
    std::string style;   // text/css
    std::string tileHost;  // the one other origin the page may load from (its map tiles); empty for none
};

class WebServer {
public:
    static constexpr int kPortsTried = 10;         // the configured port and the next 9
    static constexpr uint64_t kKeepAliveMs = 15000;  // a comment on a quiet stream this often

    WebServer(LiveFeed& feed, WebContent content);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens at `port`, or the first free of the next 9: the port taken, or nothing.
    std::optional<int> Start(int port);
    // Ends every stream and stops listening; waits for the server's threads.
    void Stop();
    int port() const { return port_; }

    // For CivetWeb's callbacks.
    int OnRequest(mg_connection* connection);

private:
    LiveFeed& feed_;
    WebContent content_;
    mg_context* context_ = nullptr;
    int port_ = 0;
};

}  // namespace qv

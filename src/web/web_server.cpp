#include "web/web_server.h"

#include <civetweb.h>

#include <cstring>
#include <string>

#include "web/web_routes.h"

namespace qv {
namespace {

int BeginRequest(struct mg_connection* connection) {
    auto* server = static_cast<WebServer*>(mg_get_user_data(mg_get_context(connection)));
    try {
        return server->OnRequest(connection);
    } catch (...) {
        return 500;  // nothing may unwind into CivetWeb
    }
}

// CivetWeb writes nothing of its own to a console or file.
int Quiet(const struct mg_connection*, const char*) { return 1; }

void Answer(struct mg_connection* connection, int status, const char* reason, const char* type, const std::string& body,
            bool head, const std::string& extra = {}) {
    std::string headers = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
                          "\r\nContent-Length: " + std::to_string(body.size()) +
                          "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n" +
                          extra + "\r\n";
    mg_write(connection, headers.data(), headers.size());
    if (!head && !body.empty()) mg_write(connection, body.data(), body.size());
}

const char* Reason(int status) {
    switch (status) {
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 414: return "URI Too Long";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

}  // namespace

WebServer::WebServer(LiveFeed& feed, WebContent content) : feed_(feed), content_(std::move(content)) {
    mg_init_library(0);
}

WebServer::~WebServer() {
    Stop();
    mg_exit_library();
}

std::optional<int> WebServer::Start(int port) {
    mg_callbacks callbacks{};
    callbacks.begin_request = BeginRequest;
    callbacks.log_message = Quiet;
    callbacks.log_access = Quiet;
    for (int p = port; p < port + kPortsTried && p <= 65535; ++p) {
        const std::string listen = "127.0.0.1:" + std::to_string(p);  // this machine only: no firewall prompt
        const char* options[] = {"listening_ports", listen.c_str(),
                                 // 16 event streams and room for the page and for refusals
                                 "num_threads", "24",
                                 // a client sending its headers (or not reading) that slowly is dropped
                                 "request_timeout_ms", "10000",
                                 // headers and request line, 8 KB at most
                                 "max_request_size", "8192",
                                 "enable_keep_alive", "no",
                                 nullptr};
        context_ = mg_start(&callbacks, this, options);
        if (context_) {
            port_ = p;
            return p;
        }
    }
    return std::nullopt;
}

void WebServer::Stop() {
    if (!context_) return;
    feed_.Close();
    mg_stop(context_);
    context_ = nullptr;
}

int WebServer::OnRequest(mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    const char* host = mg_get_header(connection, "Host");
    std::string uri = request->request_uri ? request->request_uri : "";
    if (request->query_string) uri += std::string("?") + request->query_string;
    std::string method = request->request_method ? request->request_method : "";
    WebAnswer answer = RouteWebRequest(method, uri, host ? host : "", port_);
    bool head = method == "HEAD";
    if (answer.status != 200) {
        Answer(connection, answer.status, Reason(answer.status), "text/plain; charset=utf-8",
               std::to_string(answer.status) + " " + Reason(answer.status) + "\n", head,
               answer.status == 405 ? "Allow: GET, HEAD\r\n" : "");
        return answer.status;
    }
    // The page itself and its map tiles' host, nothing else; no CORS headers are ever sent.
    std::string policy = "default-src 'self'; img-src 'self' data: blob:" +
                         (content_.tileHost.empty() ? std::string() : " " + content_.tileHost) +
                         "; connect-src 'self'; style-src 'self'; script-src 'self'; frame-ancestors 'none'";
    std::string csp = "Content-Security-Policy: " + policy + "\r\n";
    if (answer.route != WebRoute::events) {
        struct File {
            const std::string& body;
            const char* type;
        };
        File file = answer.route == WebRoute::page     ? File{content_.page, "text/html; charset=utf-8"}
                    : answer.route == WebRoute::script ? File{content_.script, "text/javascript; charset=utf-8"}
                                                       : File{content_.style, "text/css; charset=utf-8"};
        if (file.body.empty()) {  // not built into the program
            Answer(connection, 404, Reason(404), "text/plain; charset=utf-8", "404 Not Found\n", head);
            return 404;
        }
        Answer(connection, 200, "OK", file.type, file.body, head, csp);
        return 200;
    }
    std::unique_ptr<LiveFeed::Stream> stream = feed_.Open();
    if (!stream) {
        Answer(connection, 503, Reason(503), "text/plain; charset=utf-8", "503 too many event streams\n", head,
               "Retry-After: 5\r\n");
        return 503;
    }
    const char* headers =
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\nCache-Control: no-store\r\n"
        "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
    if (mg_write(connection, headers, std::strlen(headers)) <= 0 || head) return 200;
    // The page reconnects by itself, a second after a drop.
    const char* retry = "retry: 1000\n\n";
    if (mg_write(connection, retry, std::strlen(retry)) <= 0) return 200;
    while (std::optional<std::string> message = stream->Next(kKeepAliveMs)) {
        if (mg_write(connection, message->data(), message->size()) <= 0) break;  // the page has gone
    }
    return 200;
}

}  // namespace qv

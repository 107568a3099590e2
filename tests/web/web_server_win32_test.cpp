// The map page's server under Wine: real sockets on 127.0.0.1, the answers CivetWeb sends for our rules.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "web/web_server.h"

namespace qv {
namespace {

class Socket {
public:
    explicit Socket(int port) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<u_short>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        DWORD timeout = 5000;
        setsockopt(s_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        connected_ = connect(s_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    ~Socket() {
        closesocket(s_);
        WSACleanup();
    }
    bool connected() const { return connected_; }
    void Send(const std::string& bytes) { send(s_, bytes.data(), static_cast<int>(bytes.size()), 0); }
    // What arrives until `until` is in it, the peer closes or 5 s pass.
    std::string Read(const std::string& until = "") {
        std::string got;
        char buffer[4096];
        while (until.empty() || got.find(until) == std::string::npos) {
            int n = recv(s_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got.append(buffer, n);
        }
        return got;
    }

private:
    SOCKET s_;
    bool connected_ = false;
};

std::string Status(const std::string& response) { return response.substr(0, response.find("\r\n")); }

TEST(WebServer, AnswersThisMachinesPageAndStreamAndRefusesTheRest) {
    LiveFeed feed;
    WebServer server(feed, {"<!doctype html><title>map</title>", "", "", "https://tile.openstreetmap.org"});
    std::optional<int> port = server.Start(18642);
    ASSERT_TRUE(port);
    // The port taken: the next one is tried.
    LiveFeed other;
    WebServer second(other, {});
    EXPECT_EQ(second.Start(*port), *port + 1);
    second.Stop();

    auto ask = [&](const std::string& request) {
        Socket s(*port);
        EXPECT_TRUE(s.connected());
        s.Send(request);
        return s.Read();
    };
    const std::string host = "Host: 127.0.0.1:" + std::to_string(*port) + "\r\n";
    std::string page = ask("GET / HTTP/1.1\r\n" + host + "\r\n");
    EXPECT_EQ(Status(page), "HTTP/1.1 200 OK");
    EXPECT_NE(page.find("<title>map</title>"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'self'; img-src 'self' data: blob: "
                        "https://tile.openstreetmap.org;"),
              std::string::npos);
    EXPECT_EQ(page.find("Access-Control-Allow"), std::string::npos) << "no CORS headers";
    EXPECT_EQ(Status(ask("GET / HTTP/1.1\r\nHost: rebound.example:" + std::to_string(*port) + "\r\n\r\n")),
              "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(Status(ask("POST /events HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n")),
              "HTTP/1.1 405 Method Not Allowed");
    EXPECT_EQ(Status(ask("GET /app.js HTTP/1.1\r\n" + host + "\r\n")), "HTTP/1.1 404 Not Found") << "not built";
    EXPECT_EQ(Status(ask("GET /" + std::string(3000, 'a') + " HTTP/1.1\r\n" + host + "\r\n")),
              "HTTP/1.1 414 URI Too Long");
    std::string flood = ask("GET / HTTP/1.1\r\n" + host + "X-Flood: " + std::string(10000, 'x') + "\r\n\r\n");
    EXPECT_EQ(flood.find("200 OK"), std::string::npos) << "headers over 8 KB are refused: " << Status(flood);
    EXPECT_EQ(Status(ask("\x01\x02garbage\r\n\r\n")).find("200"), std::string::npos);

    // The event stream: the snapshot first, then what the cycle publishes.
    feed.AddPoint({114.05, 22.5, 9});
    Socket events(*port);
    events.Send("GET /events HTTP/1.1\r\n" + host + "\r\n");
    std::string start = events.Read("]]}\n\n");
    EXPECT_EQ(Status(start), "HTTP/1.1 200 OK");
    EXPECT_NE(start.find("Content-Type: text/event-stream"), std::string::npos);
    EXPECT_NE(start.find("event: snapshot\ndata: {\"fix\":null,\"settings\":{\"attribution\":\"\",\"datum\":\"\","
                         "\"maxZoom\":19,\"tileUrl\":\"\"},\"track\":[[114.05,22.5,9.0]]}\n\n"),
              std::string::npos)
        << start;
    LiveFix fix;
    fix.latitude = 22.51;
    fix.texts["lblTime"] = "12:00:01";
    feed.PublishFix(fix);
    std::string next = events.Read("12:00:01");
    EXPECT_NE(next.find("event: fix"), std::string::npos) << next;

    // 16 streams at most: the 17th is told to come back later.
    std::vector<std::unique_ptr<Socket>> streams;
    for (size_t i = 1; i < LiveFeed::kMaxStreams; ++i) {
        streams.push_back(std::make_unique<Socket>(*port));
        streams.back()->Send("GET /events HTTP/1.1\r\n" + host + "\r\n");
        EXPECT_NE(streams.back()->Read("event: snapshot").find("200 OK"), std::string::npos) << i;
    }
    EXPECT_EQ(Status(ask("GET /events HTTP/1.1\r\n" + host + "\r\n")), "HTTP/1.1 503 Service Unavailable");
    server.Stop();  // ends every stream
    EXPECT_EQ(events.Read(), "");
}

TEST(WebServer, WithTheTenPortsTakenItSaysSoAndServesNothing) {
    std::vector<std::unique_ptr<LiveFeed>> feeds;
    std::vector<std::unique_ptr<WebServer>> holders;
    const int first = 18700;
    for (int p = first; p < first + WebServer::kPortsTried; ++p) {
        feeds.push_back(std::make_unique<LiveFeed>());
        holders.push_back(std::make_unique<WebServer>(*feeds.back(), WebContent{}));
        ASSERT_EQ(holders.back()->Start(p), p) << "each of the ten held by another server";
    }
    LiveFeed feed;
    WebServer server(feed, {"<!doctype html>", "", "", ""});
    EXPECT_EQ(server.Start(first), std::nullopt);
    EXPECT_EQ(server.port(), 0);
    server.Stop();  // a server that never started stops without harm
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/local_servers.h"
#include "transfer/curl_transfer.h"

namespace tw::transfer {
namespace {

using test::HttpServerOptions;
using test::LocalHttpServer;
using test::ScratchDir;

std::string bytes(std::size_t size) {
    std::string out;
    out.reserve(size);
    std::uint32_t x = 7;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        out.push_back(static_cast<char>(x >> 24));
    }
    return out;
}

// The whole body, `piece` bytes at a time; -1 reads are reported through `error`.
std::string readAll(HttpRequest& r, std::size_t piece, std::string* error = nullptr) {
    std::string body;
    std::vector<char> buffer(piece);
    for (;;) {
        const long n = r.read(buffer.data(), buffer.size(), error);
        if (n <= 0) break;
        EXPECT_LE(static_cast<std::size_t>(n), piece);
        body.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return body;
}

// A port that refuses connections: bound for a moment, then let go.
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

class CurlHttp : public ::testing::Test {
  protected:
    std::unique_ptr<HttpConnection> connect(const LocalHttpServer& server,
                                            std::optional<Login> login = std::nullopt) {
        std::string error;
        if (!session_) session_ = transfer_.open("Tallyweb Tree Analyzer", "", &error);
        if (!session_) return nullptr;
        return session_->connectHttp(Scheme::Http, "127.0.0.1", server.port(), std::move(login),
                                     &error);
    }

    ScratchDir root_;
    CurlTransfer transfer_;
    std::unique_ptr<Session> session_;
};

TEST_F(CurlHttp, BodiesArriveInPiecesWithLengthAndTime) {
    const std::string content = bytes(1024 * 1024 + 17);
    const long long mtime = 1700000000;
    root_.write("logs/access.log", content, mtime);
    root_.write("logs/small.log", "small body\r\n", mtime);
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);
    std::string error;

    auto r = c->get("/logs/access.log", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->status(), 200);
    EXPECT_EQ(r->contentLength(), content.size());
    EXPECT_EQ(r->lastModified(), mtime);
    EXPECT_TRUE(readAll(*r, 100) == content);  // the caller's own piece size
    char b[8];
    EXPECT_EQ(r->read(b, sizeof b, &error), 0);
    EXPECT_EQ(r->read(b, sizeof b, &error), 0);  // and stays at the end
    r.reset();

    // No length from the server: none reported, the body still whole.
    for (const char* query : {"?nolength", "?chunked"}) {
        SCOPED_TRACE(query);
        r = c->get(std::string("/logs/access.log") + query, &error);
        ASSERT_TRUE(r) << error;
        EXPECT_EQ(r->status(), 200);
        EXPECT_FALSE(r->contentLength());
        EXPECT_TRUE(readAll(*r, 64 * 1024) == content);
    }
    r = c->get("/logs/small.log?nomtime", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_FALSE(r->lastModified());
    EXPECT_EQ(readAll(*r, 3), "small body\r\n");

    // A redirect is followed; the request shows the answer at its end.
    r = c->get("/_redirect?/logs/small.log", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->status(), 200);
    EXPECT_EQ(r->contentLength(), 12u);
    EXPECT_EQ(readAll(*r, 100), "small body\r\n");

    // Two requests of one connection read in turns do not take each other's bytes.
    auto first = c->get("/logs/access.log", &error);
    auto second = c->get("/logs/small.log", &error);
    ASSERT_TRUE(first && second) << error;
    std::string a, s;
    char piece[4096];
    for (bool more = true; more;) {
        const long n1 = first->read(piece, sizeof piece, &error);
        if (n1 > 0) a.append(piece, static_cast<std::size_t>(n1));
        const long n2 = second->read(piece, 5, &error);
        if (n2 > 0) s.append(piece, static_cast<std::size_t>(n2));
        more = n1 > 0 || n2 > 0;
    }
    EXPECT_TRUE(a == content);
    EXPECT_EQ(s, "small body\r\n");
}

TEST_F(CurlHttp, GetReturnsWithTheHeadersBeforeTheBody) {
    // 40 pieces of 1 KiB, 100 ms apart: four seconds for the whole body.
    const std::string content = bytes(40 * 1024);
    root_.write("slow.log", content);
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    auto r = c->get("/slow.log?slow=100", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->contentLength(), content.size());
    char buffer[512];
    const long n = r->read(buffer, sizeof buffer, &error);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_GT(n, 0) << error;
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), content.substr(0, 512));
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    // Abandoning the request mid-body is allowed and cheap.
}

TEST_F(CurlHttp, AReaderThatFallsBehindHoldsTheTransferBack) {
    const std::size_t bigSize = 64u << 20;
    root_.write("big.bin", std::string(bigSize, 'x'));
    root_.write("small.log", bytes(40 * 1024));
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);
    std::string error;
    auto big = c->get("/big.bin", &error);
    ASSERT_TRUE(big) << error;
    char one = 0;
    ASSERT_EQ(big->read(&one, 1, &error), 1);

    // Reading another request of the connection for a fifth of a second drives the shared
    // handle, while the big body, not read, could pour in at loopback speed.
    auto small = c->get("/small.log?slow=5", &error);
    ASSERT_TRUE(small) << error;
    EXPECT_EQ(readAll(*small, 512).size(), 40u * 1024u);
    auto probe = c->get("/_sent?/big.bin", &error);
    ASSERT_TRUE(probe) << error;
    const long long sent = std::stoll(readAll(*probe, 100));
    EXPECT_LT(sent, static_cast<long long>(bigSize / 2)) << "the body was buffered ahead";

    // The held-back transfer goes on when its reader comes back.
    const std::string rest = readAll(*big, 64 * 1024);
    EXPECT_EQ(rest.size(), bigSize - 1);
    EXPECT_EQ(rest.find_first_not_of('x'), std::string::npos);
}

TEST_F(CurlHttp, StatusesAndALoginAfterA401) {
    root_.write("private/access.log", "secret log\n");
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT,
                           {.root = root_.path(), .authPrefix = "/private/"});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);
    std::string error;

    auto r = c->get("/missing.log", &error);
    ASSERT_TRUE(r) << error;  // an HTTP error is a status, not a failure
    EXPECT_EQ(r->status(), 404);

    r = c->get("/private/access.log", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->status(), 401);
    c->setLogin(Login{"tally", "wrong"});
    r = c->get("/private/access.log", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->status(), 401);
    c->setLogin(Login{"tally", "s3cret"});
    r = c->get("/private/access.log", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->status(), 200);
    EXPECT_EQ(readAll(*r, 100), "secret log\n");
    c->setLogin(std::nullopt);
    r = c->get("/private/access.log", &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->status(), 401);
}

TEST_F(CurlHttp, RequestHeadersAndProxy) {
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server, Login{"jo", "pw"});
    ASSERT_TRUE(c);
    std::string error;
    auto r = c->get("/_headers", &error);
    ASSERT_TRUE(r) << error;
    const std::string seen = readAll(*r, 1000);
    EXPECT_NE(seen.find("GET /_headers HTTP/1.1\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\nAccept: *\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\nUser-Agent: Tallyweb Tree Analyzer\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\nAuthorization: Basic am86cHc=\n"), std::string::npos) << seen;

    // The proxy setting is used as it stands: the local server plays the proxy, so the name of
    // the target server is never looked up.
    auto session = transfer_.open("Tallyweb Web Analyzer",
                                  "http://127.0.0.1:" + std::to_string(server.port()), &error);
    ASSERT_TRUE(session) << error;
    auto viaProxy =
        session->connectHttp(Scheme::Http, "www.tallyweb.invalid", 80, std::nullopt, &error);
    ASSERT_TRUE(viaProxy) << error;
    r = viaProxy->get("/_headers", &error);
    ASSERT_TRUE(r) << error;
    const std::string proxied = readAll(*r, 1000);
    EXPECT_NE(proxied.find("GET http://www.tallyweb.invalid/_headers HTTP/1.1\n"),
              std::string::npos)
        << proxied;
    EXPECT_NE(proxied.find("\nUser-Agent: Tallyweb Web Analyzer\n"), std::string::npos);
}

TEST_F(CurlHttp, TransportFailures) {
    root_.write("cut.log", bytes(200 * 1024));
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    std::string error;
    auto session = transfer_.open("agent", "", &error);
    ASSERT_TRUE(session);

    auto refused =
        session->connectHttp(Scheme::Http, "127.0.0.1", closedPort(), std::nullopt, &error);
    ASSERT_TRUE(refused) << error;  // nothing is sent before the first request
    error.clear();
    EXPECT_FALSE(refused->get("/x", &error));
    EXPECT_FALSE(error.empty());

    EXPECT_FALSE(session->connectHttp(Scheme::Ftp, "127.0.0.1", 80, std::nullopt, &error));
    EXPECT_FALSE(session->connectHttp(Scheme::Http, "a/b", 80, std::nullopt, &error));
    EXPECT_FALSE(session->connectHttp(Scheme::Http, "h", 0, std::nullopt, &error));

    // The server promises more than it sends, then hangs up.
    auto c = session->connectHttp(Scheme::Http, "127.0.0.1", server.port(), std::nullopt, &error);
    ASSERT_TRUE(c) << error;
    auto r = c->get("/cut.log?truncate", &error);
    ASSERT_TRUE(r) << error;
    error.clear();
    std::string body;
    char buffer[4096];
    long n = 0;
    while ((n = r->read(buffer, sizeof buffer, &error)) > 0)
        body.append(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(n, -1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(body.size(), 100u * 1024u);
}

TEST_F(CurlHttp, ASilentServerIsGivenUp) {
    // Accepts (the kernel does that for a listening socket) and never answers.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);

    CurlTransfer impatient(CurlTimeouts{
        .connectSeconds = 2, .lowSpeedBytes = 1, .lowSpeedSeconds = 1, .replySeconds = 1});
    std::string error;
    auto session = impatient.open("agent", "", &error);
    ASSERT_TRUE(session);
    auto c =
        session->connectHttp(Scheme::Http, "127.0.0.1", ntohs(addr.sin_port), std::nullopt, &error);
    ASSERT_TRUE(c);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(c->get("/x", &error));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(error.empty());

    // The same for FTP: no greeting ever comes.
    error.clear();
    EXPECT_FALSE(session->connectFtp("127.0.0.1", ntohs(addr.sin_port), "u", "p", true, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    close(fd);
}

}  // namespace
}  // namespace tw::transfer

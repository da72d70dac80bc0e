#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/local_servers.h"
#include "transfer/curl_transfer.h"

namespace tw::transfer {
namespace {

namespace fs = std::filesystem;
using test::FtpServerOptions;
using test::LocalFtpServer;
using test::ScratchDir;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Bytes a text-mode transfer would change: line ends of both kinds, a lone CR, NULs and bytes
// above 127, repeated past the size of one network read.
std::string awkwardBytes(std::size_t size) {
    static constexpr char kSeed[] = "line\r\nnext\nlone\rnul\0end\xff\xfe\x80\r\n";
    const std::string seed(kSeed, sizeof kSeed - 1);
    std::string out;
    std::uint32_t x = 12345;
    while (out.size() < size) {
        out += seed;
        x = x * 1103515245u + 12345u;
        out.push_back(static_cast<char>(x >> 24));
    }
    out.resize(size);
    return out;
}

std::int64_t nowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::vector<std::string> commandsAfter(const LocalFtpServer& server, std::size_t from) {
    auto all = server.commands();
    return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
}

bool contains(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

class CurlFtp : public ::testing::Test {
  protected:
    std::unique_ptr<FtpConnection> connect(const LocalFtpServer& server, bool passive = true,
                                           std::string* error = nullptr) {
        std::string ignored;
        if (!session_) session_ = transfer_.open("Tallyweb Tree Analyzer", "", &ignored);
        if (!session_) return nullptr;
        return session_->connectFtp("127.0.0.1", server.port(), server.options().user,
                                    server.options().password, passive, error ? error : &ignored);
    }

    ScratchDir root_;
    ScratchDir local_;
    CurlTransfer transfer_;
    std::unique_ptr<Session> session_;
};

TEST_F(CurlFtp, LoginFailuresCarryTheLibraryText) {
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    std::string error;
    auto session = transfer_.open("agent", "", &error);
    ASSERT_TRUE(session) << error;

    auto c = session->connectFtp("127.0.0.1", server.port(), "tally", "wrong", true, &error);
    EXPECT_FALSE(c);
    EXPECT_NE(error.find("530"), std::string::npos) << error;  // the server's refusal

    error.clear();
    c = session->connectFtp("127.0.0.1", server.port(), "nobody", "s3cret", true, &error);
    EXPECT_FALSE(c);
    EXPECT_FALSE(error.empty());

    error.clear();
    c = session->connectFtp("127.0.0.1", server.port(), "tally", "s3cret", true, &error);
    EXPECT_TRUE(c) << error;
}

TEST_F(CurlFtp, DirectoriesAreCheckedOnTheServerAndTrackedHere) {
    root_.write("home/logs/a.log", "a");
    root_.write("home/notes.txt", "n");
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT,
                          {.root = root_.path(), .startDirectory = "home"});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);
    std::string error;
    EXPECT_EQ(c->currentDirectory(&error), "/home") << error;

    const auto before = server.commands().size();
    ASSERT_TRUE(c->changeDirectory("logs", &error)) << error;  // relative to the login directory
    EXPECT_EQ(c->currentDirectory(&error), "/home/logs");
    EXPECT_TRUE(contains(commandsAfter(server, before), "CWD /home/logs"));

    std::vector<FtpEntry> entries;
    ASSERT_TRUE(c->list("", entries, &error)) << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "a.log");

    // Refusals leave the current directory where it was.
    error.clear();
    EXPECT_FALSE(c->changeDirectory("missing", &error));
    EXPECT_NE(error.find("550"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(c->changeDirectory("/home/notes.txt", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(c->changeDirectory("", &error));
    EXPECT_FALSE(c->changeDirectory("logs\r\nDELE a.log", &error));
    EXPECT_EQ(c->currentDirectory(&error), "/home/logs");
    EXPECT_TRUE(fs::exists(root_.path() / "home/logs/a.log"));

    // The server's own name for where it went, ".." resolved.
    ASSERT_TRUE(c->changeDirectory("/home/logs/..", &error)) << error;
    EXPECT_EQ(c->currentDirectory(&error), "/home");
    ASSERT_TRUE(c->changeDirectory("/", &error)) << error;
    EXPECT_EQ(c->currentDirectory(&error), "/");
    ASSERT_TRUE(c->changeDirectory("home", &error)) << error;
    EXPECT_EQ(c->currentDirectory(&error), "/home");

    // Everything went over one logged-in control connection.
    const auto all = server.commands();
    EXPECT_EQ(std::count(all.begin(), all.end(), "USER tally"), 1);
}

// The same listing read as MLSD and, from a server without it, as LIST.
TEST_F(CurlFtp, ListingsGiveNamesKindsSizesAndTimes) {
    const std::int64_t old = 1700000000;  // 2023-11-14 22:13:20 UTC, shown with its year by LIST
    const std::int64_t recent = (nowSeconds() - 7200) / 60 * 60;  // shown with its time
    root_.write("access.log", std::string(1234, 'x'), old);
    root_.write("error.log", "e", recent);
    root_.write("access.log.1", "", old);
    root_.write("sub/inner.log", "i", old);
    fs::last_write_time(root_.path() / "sub",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    // Names a later step must not trust as paths: returned as the server sent them.
    root_.write("..x", "1", old);
    root_.write("back\\slash.log", "22", old);
    root_.write("two  spaces.log", "333", old);

    for (const bool mlsd : {true, false}) {
        SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
        LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path(), .mlsd = mlsd});
        TALLYWEB_REQUIRE_SERVER(server);
        auto c = connect(server);
        ASSERT_TRUE(c);
        std::string error;
        std::vector<FtpEntry> entries{{.name = "stale"}};
        ASSERT_TRUE(c->list("", entries, &error)) << error;
        std::sort(entries.begin(), entries.end(),
                  [](const FtpEntry& a, const FtpEntry& b) { return a.name < b.name; });
        std::vector<std::string> names;
        for (const auto& e : entries) names.push_back(e.name);
        EXPECT_EQ(names,
                  (std::vector<std::string>{"..x", "access.log", "access.log.1", "back\\slash.log",
                                            "error.log", "sub", "two  spaces.log"}));
        if (names.size() != 7) continue;
        const FtpEntry& access = entries[1];
        EXPECT_FALSE(access.directory);
        EXPECT_EQ(access.size, 1234u);
        EXPECT_EQ(entries[2].size, 0u);
        EXPECT_EQ(entries[3].size, 2u);
        EXPECT_EQ(entries[6].size, 3u);
        EXPECT_TRUE(entries[5].directory);
        EXPECT_FALSE(entries[4].directory);
        EXPECT_EQ(entries[4].lastWrite, recent);
        if (mlsd) {
            EXPECT_EQ(access.lastWrite, old);
        } else {
            EXPECT_EQ(access.lastWrite, old - old % 86400);  // the day only
        }
        EXPECT_GT(entries[5].lastWrite, nowSeconds() - 2 * 3600);

        // Patterns are matched here, whatever the server does with them.
        ASSERT_TRUE(c->list("*.log", entries, &error)) << error;
        EXPECT_EQ(entries.size(), 4u);
        ASSERT_TRUE(c->list("?rror.log", entries, &error)) << error;
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "error.log");
        ASSERT_TRUE(c->list("access.log*", entries, &error)) << error;
        EXPECT_EQ(entries.size(), 2u);
        ASSERT_TRUE(c->list("nothing*", entries, &error)) << error;
        EXPECT_TRUE(entries.empty());

        // A server without MLSD is asked once; later listings go straight to LIST.
        const auto all = server.commands();
        const auto mlsdCount = std::count_if(
            all.begin(), all.end(), [](const std::string& l) { return l.rfind("MLSD", 0) == 0; });
        if (mlsd) {
            EXPECT_FALSE(contains(all, "LIST"));
        } else {
            EXPECT_EQ(mlsdCount, 1);
        }
        // A directory that went away is an error, not an empty listing.
        ASSERT_TRUE(c->changeDirectory("sub", &error)) << error;
        ASSERT_TRUE(c->list("", entries, &error)) << error;
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "inner.log");
        fs::rename(root_.path() / "sub", root_.path() / "gone");
        error.clear();
        EXPECT_FALSE(c->list("", entries, &error));
        EXPECT_FALSE(error.empty());
        fs::rename(root_.path() / "gone", root_.path() / "sub");
    }
}

TEST_F(CurlFtp, GetAndPutMoveBytesUnchanged) {
    const std::string content = awkwardBytes(300 * 1024);
    root_.write("home/logs/access.log", content);
    root_.write("home/logs/empty.log", "");
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT,
                          {.root = root_.path(), .startDirectory = "home"});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);
    std::string error;
    ASSERT_TRUE(c->changeDirectory("logs", &error)) << error;

    // A longer local file is replaced whole, not overwritten in place.
    const fs::path target = local_.write("access.log", std::string(400 * 1024, 'z'));
    ASSERT_TRUE(c->get("access.log", target.string(), &error)) << error;
    EXPECT_TRUE(readFile(target) == content);
    EXPECT_EQ(fs::file_size(target), content.size());
    ASSERT_TRUE(c->get("empty.log", (local_.path() / "empty.log").string(), &error)) << error;
    EXPECT_EQ(fs::file_size(local_.path() / "empty.log"), 0u);

    // A failed get leaves no local file behind, also none that was there before.
    error.clear();
    EXPECT_FALSE(c->get("missing.log", target.string(), &error));
    EXPECT_NE(error.find("550"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(c->get("access.log", (local_.path() / "no/such/dir/x").string(), &error));

    const fs::path report = local_.write("report.html", awkwardBytes(70 * 1024 + 3));
    ASSERT_TRUE(c->put(report.string(), "report.html", &error)) << error;
    EXPECT_TRUE(readFile(root_.path() / "home/logs/report.html") == readFile(report));
    EXPECT_FALSE(c->put((local_.path() / "absent.html").string(), "x.html", &error));
    EXPECT_FALSE(fs::exists(root_.path() / "home/logs/x.html"));

    const auto all = server.commands();
    EXPECT_TRUE(contains(all, "RETR /home/logs/access.log"));
    EXPECT_TRUE(contains(all, "STOR /home/logs/report.html"));
    // Binary type before each transfer.
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].rfind("RETR", 0) == 0 || all[i].rfind("STOR", 0) == 0) {
            const auto type =
                std::find_if(all.rend() - static_cast<long>(i), all.rend(),
                             [](const std::string& l) { return l.rfind("TYPE", 0) == 0; });
            ASSERT_NE(type, all.rend());
            EXPECT_EQ(*type, "TYPE I") << all[i];
        }
    }
    EXPECT_EQ(std::count(all.begin(), all.end(), "USER tally"), 1);
}

TEST_F(CurlFtp, PassiveAndActiveDataConnections) {
    const std::string content = awkwardBytes(40 * 1024);
    root_.write("a.log", content);
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);

    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const auto before = server.commands().size();
        auto c = connect(server, passive);
        ASSERT_TRUE(c);
        std::string error;
        std::vector<FtpEntry> entries;
        ASSERT_TRUE(c->list("*.log", entries, &error)) << error;
        EXPECT_EQ(entries.size(), 1u);
        const fs::path target = local_.path() / (passive ? "p.log" : "a.log");
        ASSERT_TRUE(c->get("a.log", target.string(), &error)) << error;
        EXPECT_TRUE(readFile(target) == content);
        const fs::path up = local_.write("up.txt", passive ? "passive" : "active");
        ASSERT_TRUE(c->put(up.string(), passive ? "p.txt" : "a.txt", &error)) << error;

        const auto used = commandsAfter(server, before);
        const bool sawPassive = contains(used, "EPSV") || contains(used, "PASV");
        const bool sawActive = contains(used, "EPRT") || contains(used, "PORT");
        EXPECT_EQ(sawPassive, passive);
        EXPECT_EQ(sawActive, !passive);
    }
    EXPECT_EQ(readFile(root_.path() / "a.txt"), "active");
}

class CancelWhenFileHasData final : public CancelCheck {
  public:
    explicit CancelWhenFileHasData(fs::path p) : path_(std::move(p)) {}
    bool cancelled() const override {
        ++polls_;
        std::error_code ec;
        const auto size = fs::file_size(path_, ec);
        if (!ec && size > 0) sawData_ = true;
        return sawData_;
    }
    int polls() const { return polls_; }
    bool sawData() const { return sawData_; }

  private:
    fs::path path_;
    mutable std::atomic<int> polls_{0};
    mutable std::atomic<bool> sawData_{false};
};

class AlwaysCancelled final : public CancelCheck {
  public:
    bool cancelled() const override { return true; }
};

TEST_F(CurlFtp, CancelStopsAGetAndRemovesThePartialFile) {
    const std::string big = awkwardBytes(16 * 1024 * 1024);
    root_.write("big.log", big);
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = root_.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    auto c = connect(server);
    ASSERT_TRUE(c);

    const fs::path target = local_.path() / "big.log";
    CancelWhenFileHasData cancel(target);
    std::string error;
    EXPECT_FALSE(c->get("big.log", target.string(), &error, &cancel));
    EXPECT_TRUE(cancel.sawData());  // it stopped mid-transfer, after the first chunk
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(error.empty());

    AlwaysCancelled always;
    std::vector<FtpEntry> entries;
    EXPECT_FALSE(c->list("", entries, &error, &always));

    // The connection is still usable afterwards.
    ASSERT_TRUE(c->list("", entries, &error)) << error;
    EXPECT_EQ(entries.size(), 1u);
    ASSERT_TRUE(c->get("big.log", target.string(), &error)) << error;
    EXPECT_EQ(fs::file_size(target), big.size());
}

TEST(CurlFtpParse, MlsdLines) {
    auto e = detail::parseMlsdLine("type=file;size=1234;modify=20231114221320;perm=r; a b;c.log");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "a b;c.log");
    EXPECT_EQ(e->size, 1234u);
    EXPECT_EQ(e->lastWrite, 1700000000);
    EXPECT_FALSE(e->directory);

    e = detail::parseMlsdLine("Type=dir;Modify=20231114221320.123; logs");
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->directory);
    EXPECT_EQ(e->lastWrite, 1700000000);
    EXPECT_EQ(detail::parseMlsdLine("type=file;size=1;  lead")->name, " lead");

    EXPECT_FALSE(detail::parseMlsdLine("type=cdir;modify=20231114221320; /logs"));
    EXPECT_FALSE(detail::parseMlsdLine("type=pdir; .."));
    EXPECT_FALSE(detail::parseMlsdLine("nonsense"));
    // Unusable facts are left unknown, the entry kept.
    e = detail::parseMlsdLine("type=file;size=big;modify=2023; x");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->size, 0u);
    EXPECT_EQ(e->lastWrite, 0);
}

TEST(CurlFtpParse, UnixAndDosListLines) {
    const std::int64_t now = 1700000000;  // 2023-11-14
    auto e = detail::parseListLine(
        "-rw-r--r--   1 owner    group        1234 Nov 10 08:05 access log.txt", now);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "access log.txt");
    EXPECT_EQ(e->size, 1234u);
    EXPECT_EQ(e->lastWrite, 1699603500);  // 2023-11-10 08:05 UTC
    EXPECT_FALSE(e->directory);

    // A time in the "future" is from last year; a year without a time is midnight.
    e = detail::parseListLine("-rw-r--r-- 1 o g 5 Dec 24 23:59 x", now);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->lastWrite, 1671926340);  // 2022-12-24 23:59
    e = detail::parseListLine("drwxr-xr-x 2 o g 4096 Jan  1  2020 logs", now);
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->directory);
    EXPECT_EQ(e->name, "logs");
    EXPECT_EQ(e->lastWrite, 1577836800);

    // No group column; a symbolic link named without its target.
    e = detail::parseListLine("-rw-r--r-- 1 owner 77 Nov 10 08:05 short.log", now);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->size, 77u);
    EXPECT_EQ(e->name, "short.log");
    e = detail::parseListLine("lrwxrwxrwx 1 o g 9 Nov 10 08:05 current -> 2023/x.log", now);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "current");

    e = detail::parseListLine("11-10-23  08:05PM       <DIR>          W3SVC1", now);
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->directory);
    EXPECT_EQ(e->name, "W3SVC1");
    EXPECT_EQ(e->lastWrite, 1699646700);  // 2023-11-10 20:05
    e = detail::parseListLine("01-02-2021  12:30AM              5120 ex210102.log", now);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->size, 5120u);
    EXPECT_EQ(e->name, "ex210102.log");
    EXPECT_EQ(e->lastWrite, 1609547400);  // 2021-01-02 00:30

    for (const char* junk :
         {"total 12", "", "-rw-r--r-- 1 o g 5 Foo 10 08:05 x", "-rw-r--r-- 1 o g 5 Nov 10 08:05",
          "13-45-23  08:05PM  1 x", "drwxr-xr-x 2 o g 4096 Feb 31 2020 bad-date"}) {
        EXPECT_FALSE(detail::parseListLine(junk, now)) << junk;
    }
}

}  // namespace
}  // namespace tw::transfer

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "transfer/transfer.h"

namespace tw::transfer {
namespace {

TEST(UrlParse, SchemesPortsAndObjectPaths) {
    auto u = parseUrl("http://www.example.com/logs/access.log");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->scheme, Scheme::Http);
    EXPECT_EQ(u->server, "www.example.com");
    EXPECT_EQ(u->port, 80);
    EXPECT_EQ(u->objectPath, "/logs/access.log");
    EXPECT_EQ(u->user, "");

    u = parseUrl("HTTPS://Example.COM");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->scheme, Scheme::Https);
    EXPECT_EQ(u->server, "Example.COM");  // the server keeps its letters; only the scheme folds
    EXPECT_EQ(u->port, 443);
    EXPECT_EQ(u->objectPath, "/");

    u = parseUrl("Ftp://ftp.example.com:2121/pub/x.gz");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->scheme, Scheme::Ftp);
    EXPECT_EQ(u->port, 2121);
    EXPECT_EQ(u->objectPath, "/pub/x.gz");
    EXPECT_EQ(parseUrl("ftp://h")->port, 21);

    // The query goes to the server; the fragment does not.
    u = parseUrl("http://h:8080/cgi/log?day=1&x=%20#top");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->port, 8080);
    EXPECT_EQ(u->objectPath, "/cgi/log?day=1&x=%20");
    EXPECT_EQ(parseUrl("http://h?x=1")->objectPath, "/?x=1");
    EXPECT_EQ(parseUrl("http://h#frag")->objectPath, "/");
    // An empty port stands for the default, as URLs allow.
    EXPECT_EQ(parseUrl("http://h:/a")->port, 80);
    EXPECT_EQ(parseUrl("http://h:65535/")->port, 65535);
    EXPECT_EQ(parseUrl("  http://h/a  ")->objectPath, "/a");
}

TEST(UrlParse, UserPasswordAndIpv6) {
    auto u = parseUrl("ftp://jo:pa%40ss:w@ftp.example.com/logs/");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->user, "jo");
    EXPECT_EQ(u->password, "pa@ss:w");  // escaped "@" decoded, a later ":" kept in the password
    EXPECT_EQ(u->server, "ftp.example.com");
    EXPECT_EQ(u->objectPath, "/logs/");

    u = parseUrl("http://only@h/");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->user, "only");
    EXPECT_EQ(u->password, "");

    // The last "@" ends the user part: an unescaped "@" in the password still works.
    u = parseUrl("http://a:b@c@h:81/");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->password, "b@c");
    EXPECT_EQ(u->server, "h");
    EXPECT_EQ(u->port, 81);

    u = parseUrl("http://[2001:db8::1]:8080/x");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->server, "2001:db8::1");
    EXPECT_EQ(u->port, 8080);
    EXPECT_EQ(u->objectPath, "/x");
    u = parseUrl("https://u:p@[::1]/");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->server, "::1");
    EXPECT_EQ(u->port, 443);
    EXPECT_EQ(u->user, "u");
}

TEST(UrlParse, RejectsWhatIsNotAUsableUrl) {
    for (const char* bad : {
             "",
             "www.example.com/logs",
             "http:/h/x",
             "http//h/x",
             "gopher://h/",
             "file:///etc",
             "mailto://x@y",
             "http://",        // no server
             "http:///path",   // no server
             "http://u:p@/x",  // no server after the login
             "http://h:0/",
             "http://h:65536/",
             "http://h:80x/",
             "http://h:-1/",
             "http://h:+80/",
             "http://h:123456/",
             "http://[::1/",        // unclosed bracket
             "http://[::1]x/",      // junk after the bracket
             "http://[zz::1]/",     // not an address
             "http://h h/",         // blank inside
             "http://h/a b",        // blank in the path cannot go into a request line
             "http://h/a\r\nX: y",  // header injection
             "http://h\\x/",
         }) {
        EXPECT_FALSE(parseUrl(bad)) << bad;
    }
}

TEST(UrlSplitHostPort, HostsWithAndWithoutPorts) {
    using Result = std::optional<std::pair<std::string, int>>;
    EXPECT_EQ(splitHostPort("ftp.example.com", 21), Result({"ftp.example.com", 21}));
    EXPECT_EQ(splitHostPort("ftp.example.com:2121", 21), Result({"ftp.example.com", 2121}));
    EXPECT_EQ(splitHostPort(" host ", 80), Result({"host", 80}));
    EXPECT_EQ(splitHostPort("[::1]:990", 21), Result({"::1", 990}));
    EXPECT_EQ(splitHostPort("[::1]", 21), Result({"::1", 21}));
    EXPECT_EQ(splitHostPort("fe80::1", 21), Result({"fe80::1", 21}));  // bare IPv6: no port
    for (const char* bad : {"", "   ", ":21", "host:", "host:x", "host:0", "host:70000",
                            "host:21:22x", "[::1]:", "a/b", "u@host"}) {
        EXPECT_FALSE(splitHostPort(bad, 21)) << bad;
    }
}

}  // namespace
}  // namespace tw::transfer

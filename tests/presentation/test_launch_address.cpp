#include "presentation/launch_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace tw::presentation {
namespace {

std::string addressOf(std::string_view text, std::string_view domain) {
    const LaunchTarget t = launchAddress(text, domain);
    EXPECT_FALSE(t.noReferrer) << text;
    return t.address;
}

TEST(LaunchAddress, RowTextsAndDomains) {
    EXPECT_TRUE(launchAddress("No referrer", "example.com").noReferrer);
    EXPECT_TRUE(launchAddress("No referrer", "example.com").address.empty());
    EXPECT_FALSE(launchAddress("No referrer ", "example.com").noReferrer) << "exact text only";

    // Site pages go behind the domain, with "www." only when the domain lacks it; the
    // domain's trailing "/" is dropped.
    EXPECT_EQ(addressOf("/a.html", "example.com"), "http://www.example.com/a.html");
    EXPECT_EQ(addressOf("/a.html", "example.com/"), "http://www.example.com/a.html");
    EXPECT_EQ(addressOf("/a.html", "www.example.com/"), "http://www.example.com/a.html");
    EXPECT_EQ(addressOf("/a.html", "WWW.Example.com"), "http://WWW.Example.com/a.html");
    EXPECT_EQ(addressOf("/a.html", "wwwide.org"), "http://wwwide.org/a.html");
    EXPECT_EQ(addressOf("/a.html", "www"), "http://www.www/a.html") << "too short to be a host";
    EXPECT_EQ(addressOf("/a.html", ""), "http://www./a.html");

    // A referring page that is already an address is opened as it stands.
    EXPECT_EQ(addressOf("http://ref.example/links.html", "example.com"),
              "http://ref.example/links.html");
    EXPECT_EQ(addressOf("HTTP://Ref.example/x", "example.com"), "HTTP://Ref.example/x");
    EXPECT_EQ(addressOf("http:/x", "example.com"), "http://www.example.comhttp:/x");

    // A text without "/" is a host name, such as a referring domain.
    EXPECT_EQ(addressOf("ref.example", "example.com"), "http://www.ref.example");
    EXPECT_EQ(addressOf("www.ref.example", "example.com"), "http://www.ref.example");
    EXPECT_EQ(addressOf("WwW.ref.example", "example.com"), "http://WwW.ref.example");
    EXPECT_EQ(addressOf("www", "example.com"), "http://www.www");
    EXPECT_EQ(addressOf("www.", "example.com"), "http://www.");
}

TEST(LaunchAddress, MessageFormAndLaunching) {
    EXPECT_EQ(addressForMessage("http://x/a b#c%d"), "http://x/a%20b%23c%25d");
    EXPECT_EQ(addressForMessage("%%"), "%25%25") << "no character is encoded twice";

    test::FakePrompter prompter;
    std::vector<std::string> opened;
    bool succeed = true;
    const auto open = [&](const std::string& a) {
        opened.push_back(a);
        return succeed;
    };
    launchRow("/a b.html", "example.com", prompter, open);
    EXPECT_EQ(opened, std::vector<std::string>{"http://www.example.com/a b.html"});
    EXPECT_TRUE(prompter.texts().empty());

    launchRow("No referrer", "example.com", prompter, open);
    EXPECT_EQ(opened.size(), 1u) << "nothing opened without a referrer";
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{std::string(kNoReferrerText)});

    prompter.clear();
    succeed = false;
    launchRow("/a b.html", "example.com", prompter, open);
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{std::string(kBrowserErrorText) +
                                       "\n\n\thttp://www.example.com/a%20b.html"});
}

}  // namespace
}  // namespace tw::presentation

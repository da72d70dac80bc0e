// tallyweb-genlog: writes a synthetic NCSA combined access log of a chosen size.
//
//   tallyweb-genlog --size 1G --seed 42 [--wide HOSTS,URLS] --out FILE
//
// The traffic is modelled as interleaved visits rather than independent lines, because the
// readers' and analysers' costs depend on what real logs look like: a page request followed by
// its embedded images with the page as referrer, crawlers that start with /robots.txt, a small
// set of hot URLs and a long tail (Zipf), and hosts that come back.
//
// Output depends only on the seed and the size (the size sets the pace of the clock), whichever
// compiler built the program: the random generator and the distributions are our own, since the
// standard library's distributions differ between implementations, and no expression draws twice,
// since compilers evaluate function arguments in different orders.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i64 = std::int64_t;

// xoshiro256** seeded through splitmix64.
class Rng {
  public:
    explicit Rng(u64 seed) {
        for (auto& w : s_) {
            seed += 0x9E3779B97F4A7C15ULL;
            u64 z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            w = z ^ (z >> 31);
        }
    }
    u64 next() {
        const u64 result = rotl(s_[1] * 5, 7) * 9;
        const u64 t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    // Uniform in [0, n). The multiply-shift bias is below 2^-32 for the sizes used here.
    u32 below(u32 n) { return static_cast<u32>(((next() >> 32) * n) >> 32); }
    u32 range(u32 lo, u32 hi) { return lo + below(hi - lo + 1); }  // inclusive
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }
    // Log-uniform, for sizes: small files are far more common than big ones.
    u64 logUniform(double lo, double hi) {
        return static_cast<u64>(std::exp(std::log(lo) + unit() * (std::log(hi) - std::log(lo))));
    }

  private:
    static u64 rotl(u64 x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<u64, 4> s_{};
};

// Picks from a short table by weight.
class Weighted {
  public:
    explicit Weighted(const std::vector<double>& weights) : cdf_(weights.size()) {
        double sum = 0;
        for (std::size_t i = 0; i < weights.size(); ++i) cdf_[i] = sum += weights[i];
        for (auto& c : cdf_) c /= sum;
    }
    u32 draw(Rng& r) const {
        const auto it = std::upper_bound(cdf_.begin(), cdf_.end(), r.unit());
        const auto i = static_cast<std::size_t>(it - cdf_.begin());
        return static_cast<u32>(std::min(i, cdf_.size() - 1));
    }

  private:
    std::vector<double> cdf_;
};

// Rank sampler with weight 1/(rank+1)^s.
class Zipf : public Weighted {
  public:
    Zipf(std::size_t n, double s) : Weighted(weights(n, s)) {}

  private:
    static std::vector<double> weights(std::size_t n, double s) {
        std::vector<double> w(n);
        for (std::size_t i = 0; i < n; ++i) w[i] = 1.0 / std::pow(static_cast<double>(i + 1), s);
        return w;
    }
};

template <std::size_t N>
std::string_view pick(Rng& r, const std::array<std::string_view, N>& a) {
    return a[r.below(static_cast<u32>(N))];
}

// ---------------------------------------------------------------------------------------------
// Vocabulary

constexpr std::array<std::string_view, 20> kSections = {
    "products", "news",   "support", "about", "blog",     "docs",    "downloads",
    "catalog",  "events", "gallery", "forum", "services", "press",   "jobs",
    "help",     "store",  "archive", "faq",   "contact",  "partners"};
constexpr std::array<std::string_view, 30> kWords = {
    "widgets", "gadgets",  "tools",    "parts",        "reviews",   "specials",
    "2021",    "2022",     "2023",     "spring",       "summer",    "manuals",
    "drivers", "release",  "photos",   "video",        "team",      "history",
    "pricing", "shipping", "returns",  "account",      "cart",      "wishlist",
    "compare", "brochure", "overview", "case-studies", "tutorials", "howto"};
constexpr std::array<std::string_view, 16> kUsers = {
    "alice", "bob",  "carol", "dave",    "erin",  "frank", "grace",  "heidi",
    "ivan",  "judy", "kevin", "mallory", "oscar", "peggy", "victor", "walter"};
constexpr std::array<std::string_view, 8> kSortKeys = {"price", "name",   "date",  "rating",
                                                       "size",  "newest", "brand", "popular"};
constexpr std::array<std::string_view, 40> kPhrases = {"blue+widgets",
                                                       "widget+repair+manual",
                                                       "cheap+gadgets+online",
                                                       "how+to+install+widget+driver",
                                                       "gadget+reviews+2023",
                                                       "widget",
                                                       "buy+widgets",
                                                       "widget+parts+catalog",
                                                       "best+gadget+for+kitchen",
                                                       "widget+spring+sale",
                                                       "gadget+shipping+rates",
                                                       "return+policy+widgets",
                                                       "widget+vs+gadget",
                                                       "free+widget+download",
                                                       "widget+tutorial+pdf",
                                                       "example+widgets+inc",
                                                       "widget+firmware+update",
                                                       "replacement+gadget+parts",
                                                       "widget+size+chart",
                                                       "gadget+warranty",
                                                       "%22blue+widget%22",
                                                       "widgets+near+me",
                                                       "gadget+forum",
                                                       "widget+pricing",
                                                       "tools+and+widgets",
                                                       "gadget+manual+model+200",
                                                       "widget+case+study",
                                                       "widget+company+jobs",
                                                       "gadget+press+release",
                                                       "widget+events+2023",
                                                       "how+do+widgets+work",
                                                       "widget+history",
                                                       "gadget+photos",
                                                       "widget+video+demo",
                                                       "widget+store+hours",
                                                       "compare+widgets",
                                                       "widget+wishlist",
                                                       "gadget+account+login",
                                                       "widgets%2C+gadgets",
                                                       "w%C3%BCrfel+widget"};

// "%s" stands for the search phrase.
constexpr std::array<std::string_view, 10> kSearchEngines = {
    "https://www.google.com/search?q=%s",
    "http://www.google.com/search?hl=en&q=%s&btnG=Google+Search",
    "https://www.google.co.uk/search?q=%s&ie=UTF-8&oe=UTF-8",
    "https://www.google.de/search?q=%s&hl=de",
    "https://www.bing.com/search?q=%s&form=QBLH",
    "http://search.msn.com/results.aspx?q=%s&FORM=MSNH",
    "http://search.yahoo.com/search?p=%s&fr=yfp-t&ei=UTF-8",
    "https://duckduckgo.com/?q=%s&t=h_",
    "http://www.ask.com/web?q=%s&qsrc=0&o=0",
    "https://yandex.ru/search/?text=%s&lr=213"};

// "%d" stands for a number.
constexpr std::array<std::string_view, 14> kExternalSites = {
    "http://forum.gadgetfans.org/viewtopic.php?t=%d",
    "https://www.reddit.com/r/gadgets/comments/%d/",
    "https://news.ycombinator.com/item?id=%d",
    "http://blog.widgetwatch.net/2023/03/best-widgets-%d.html",
    "https://www.facebook.com/",
    "https://t.co/%d",
    "http://www.dmoz.org/Shopping/Home_and_Garden/",
    "http://del.icio.us/popular/widgets",
    "https://en.wikipedia.org/wiki/Widget",
    "http://www.partner-shop.example.net/links.html",
    "android-app://com.google.android.gm/",
    "https://mail.yahoo.com/d/folders/1/messages/%d",
    "http://www.widgetdirectory.com/listing.php?id=%d&cat=7",
    "https://l.facebook.com/l.php?u=http%3A%2F%2Fwww.example.com%2F&h=AT%d"};

// ---------------------------------------------------------------------------------------------
// User agents

enum class Kind : std::uint8_t { Human, Crawler, ImageCrawler, Monitor, Script };
// Crawlers come from their operators' address blocks, with reverse names where they have them.
enum class Origin : std::uint8_t { Pool, Google, Msn, Baidu, Yandex, Block };

struct Agent {
    std::string_view text;
    double weight;
    Kind kind;
    Origin origin;
};

constexpr std::array<Agent, 38> kAgents = {{
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Safari/537.36",
     20, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/109.0.0.0 Safari/537.36",
     8, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Safari/537.36",
     6, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:109.0) Gecko/20100101 Firefox/110.0", 7,
     Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:109.0) Gecko/20100101 Firefox/110.0", 2,
     Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:102.0) Gecko/20100101 Firefox/102.0", 1,
     Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/16.3 Safari/605.1.15",
     6, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (iPhone; CPU iPhone OS 16_3_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) Version/16.3 Mobile/15E148 Safari/604.1",
     9, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (iPad; CPU OS 16_3 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/16.3 Mobile/15E148 Safari/604.1",
     2, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Linux; Android 13; SM-S901B) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Mobile Safari/537.36",
     7, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Mobile Safari/537.36",
     4, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Linux; Android 12; Pixel 6) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Mobile Safari/537.36",
     2, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Linux; Android 11; SAMSUNG SM-A515F) AppleWebKit/537.36 (KHTML, like Gecko) "
     "SamsungBrowser/20.0 Chrome/106.0.5249.126 Mobile Safari/537.36",
     2, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Safari/537.36 Edg/110.0.1587.57",
     5, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Safari/537.36 OPR/96.0.0.0",
     1, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/110.0.0.0 "
     "Safari/537.36",
     2, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (X11; CrOS x86_64 14541.0.0) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0.0.0 Safari/537.36",
     1, Kind::Human, Origin::Pool},
    {"Mozilla/5.0 (Windows NT 6.1; WOW64; Trident/7.0; rv:11.0) like Gecko", 1, Kind::Human,
     Origin::Pool},
    {"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)", 0.5, Kind::Human, Origin::Pool},
    {"Opera/9.80 (Windows NT 6.1; U; en) Presto/2.10.289 Version/12.02", 0.3, Kind::Human,
     Origin::Pool},
    {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", 4, Kind::Crawler,
     Origin::Google},
    {"Googlebot-Image/1.0", 1, Kind::ImageCrawler, Origin::Google},
    {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", 3, Kind::Crawler,
     Origin::Msn},
    {"msnbot/2.0b (+http://search.msn.com/msnbot.htm)", 0.3, Kind::Crawler, Origin::Msn},
    {"Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)", 1,
     Kind::Crawler, Origin::Block},
    {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)", 1,
     Kind::Crawler, Origin::Baidu},
    {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", 1, Kind::Crawler,
     Origin::Yandex},
    {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", 1.5, Kind::Crawler,
     Origin::Block},
    {"Mozilla/5.0 (compatible; SemrushBot/7~bl; +http://www.semrush.com/bot.html)", 1,
     Kind::Crawler, Origin::Block},
    {"Mozilla/5.0 (compatible; DuckDuckBot-Https/1.1; https://duckduckgo.com/duckduckbot)", 0.5,
     Kind::Crawler, Origin::Block},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/13.1.1 Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
     0.5, Kind::Crawler, Origin::Block},
    {"facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)", 0.5, Kind::Script,
     Origin::Block},
    {"Mozilla/5.0 (compatible; UptimeRobot/2.0; http://www.uptimerobot.com/)", 0.5, Kind::Monitor,
     Origin::Block},
    {"curl/7.88.1", 0.5, Kind::Script, Origin::Pool},
    {"Wget/1.21.3", 0.3, Kind::Script, Origin::Pool},
    {"python-requests/2.28.2", 0.5, Kind::Script, Origin::Pool},
    {"Java/1.8.0_352", 0.2, Kind::Script, Origin::Pool},
    {"-", 0.3, Kind::Script, Origin::Pool},
}};

// ---------------------------------------------------------------------------------------------
// Calendar (proleptic Gregorian, days since 1970-01-01)

i64 daysFromCivil(i64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const i64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<i64>(doe) - 719468;
}

void civilFromDays(i64 z, i64& y, unsigned& m, unsigned& d) {
    z += 719468;
    const i64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<i64>(yoe) + era * 400 + (m <= 2);
}

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// ---------------------------------------------------------------------------------------------
// Output

class Sink {
  public:
    static constexpr std::size_t kBuffer = 16u << 20;
    static constexpr std::size_t kMaxLine = 8192;  // every line is far shorter

    explicit Sink(std::FILE* f) : f_(f), buf_(new char[kBuffer]) {}
    char* cursor() { return buf_.get() + used_; }
    // Accepts the line [cursor(), end) or, when it would pass the size limit, rejects it.
    bool commit(char* end, u64 limit) {
        const auto n = static_cast<std::size_t>(end - cursor());
        if (written_ + n > limit) return false;
        used_ += n;
        written_ += n;
        if (used_ + kMaxLine > kBuffer) flush();
        return true;
    }
    bool flush() {
        if (used_ > 0 && std::fwrite(buf_.get(), 1, used_, f_) != used_) ok_ = false;
        used_ = 0;
        return ok_;
    }
    u64 written() const { return written_; }
    bool ok() const { return ok_; }

  private:
    std::FILE* f_;
    std::unique_ptr<char[]> buf_;
    std::size_t used_ = 0;
    u64 written_ = 0;
    bool ok_ = true;
};

struct Out {
    char* p;
    void put(std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        p += s.size();
    }
    void ch(char c) { *p++ = c; }
    void num(u64 v) { p = std::to_chars(p, p + 20, v).ptr; }
    void two(unsigned v) {
        p[0] = static_cast<char>('0' + v / 10);
        p[1] = static_cast<char>('0' + v % 10);
        p += 2;
    }
    // A template with one "%s" (text) or "%d" (number) hole.
    void fill(std::string_view tmpl, std::string_view text, u64 number) {
        const std::size_t hole = tmpl.find('%');
        if (hole == std::string_view::npos || hole + 1 >= tmpl.size() ||
            (tmpl[hole + 1] != 's' && tmpl[hole + 1] != 'd')) {
            put(tmpl);
            return;
        }
        put(tmpl.substr(0, hole));
        if (tmpl[hole + 1] == 's')
            put(text);
        else
            num(number);
        // Templates may hold percent-encoded bytes after the hole; copy them as they are.
        put(tmpl.substr(hole + 2));
    }
};

// ---------------------------------------------------------------------------------------------
// The site

struct Resource {
    std::string url;
    u64 bytes;
};

struct Page {
    std::string url;
    u64 bytes;
    u32 firstImage, imageCount;  // into Site::embedded
    bool php, directory;
};

std::string concat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (auto part : parts) s.append(part);
    return s;
}

class Site {
  public:
    static constexpr std::size_t kPages = 12000, kImages = 8000, kDownloads = 60, kMissing = 120;

    explicit Site(Rng& r)
        : pageRank_(kPages, 1.0),
          imageRank_(kImages, 0.9),
          downloadRank_(kDownloads, 1.1),
          missingRank_(kMissing, 0.7) {
        makeImages(r);
        makePages(r);
        makeDownloads(r);
        makeMissing(r);
        for (u32 i = 0; i < pages_.size(); ++i)
            if (pages_[i].directory && pages_[i].url.size() > 1) directories_.push_back(i);
    }

    std::vector<Page> pages_;
    std::vector<Resource> images_, downloads_, missing_;
    std::vector<u32> embedded_;
    std::vector<u32> directories_;
    Zipf pageRank_, imageRank_, downloadRank_, missingRank_;

  private:
    static std::string n(u64 v) { return std::to_string(v); }

    void makeImages(Rng& r) {
        // The site furniture that every page shows comes first, so it gets the top ranks.
        const std::array<std::pair<std::string_view, u64>, 10> furniture = {{
            {"/images/logo.gif", 4372},
            {"/css/site.css", 18234},
            {"/js/site.js", 61552},
            {"/images/spacer.gif", 43},
            {"/images/nav/home.gif", 812},
            {"/images/nav/products.gif", 905},
            {"/images/banner.png", 48211},
            {"/js/jquery.min.js", 89476},
            {"/images/bg.jpg", 22740},
            {"/images/nav/search.gif", 731},
        }};
        for (const auto& [url, bytes] : furniture) images_.push_back({std::string(url), bytes});
        while (images_.size() < kImages) {
            const u32 k = r.below(100);
            Resource res;
            if (k < 40) {
                res.url = concat({"/images/", pick(r, kSections), "/", pick(r, kWords),
                                  n(r.below(500)), ".jpg"});
                res.bytes = r.logUniform(8000, 400000);
            } else if (k < 60) {
                res.url = concat({"/images/", pick(r, kWords), n(r.below(200)), ".gif"});
                res.bytes = r.logUniform(60, 9000);
            } else if (k < 80) {
                res.url = concat({"/images/", pick(r, kSections), "/", pick(r, kWords), "_",
                                  n(r.below(300)), ".png"});
                res.bytes = r.logUniform(900, 150000);
            } else if (k < 92) {
                res.url =
                    concat({"/~", pick(r, kUsers), "/photos/img_", n(r.range(1000, 9999)), ".jpg"});
                res.bytes = r.logUniform(30000, 900000);
            } else if (k < 97) {
                res.url = concat({"/icons/", pick(r, kWords), ".gif"});
                res.bytes = r.logUniform(80, 2000);
            } else {
                // Cache-busting version strings.
                res.url = concat({"/images/", pick(r, kWords), ".png?v=", n(r.range(1, 40))});
                res.bytes = r.logUniform(900, 60000);
            }
            images_.push_back(std::move(res));
        }
    }

    void makePages(Rng& r) {
        auto add = [&](std::string url, bool php, bool dir, u32 minImg, u32 maxImg, u64 bytes) {
            Page p;
            p.url = std::move(url);
            p.bytes = bytes;
            p.php = php;
            p.directory = dir;
            p.firstImage = static_cast<u32>(embedded_.size());
            p.imageCount = r.range(minImg, maxImg);
            // A page names each image once; a few redraws keep the popular ones from repeating.
            for (u32 i = 0; i < p.imageCount; ++i) {
                u32 img = imageRank_.draw(r);
                for (int tries = 0; tries < 8; ++tries) {
                    const auto from = embedded_.begin() + p.firstImage;
                    if (std::find(from, embedded_.end(), img) == embedded_.end()) break;
                    img = imageRank_.draw(r);
                }
                embedded_.push_back(img);
            }
            pages_.push_back(std::move(p));
        };
        add("/", false, true, 4, 10, 14502);
        add("/index.html", false, false, 4, 10, 14502);
        while (pages_.size() < kPages) {
            const u32 k = r.below(100);
            const std::string_view sec = pick(r, kSections);
            const std::string_view word = pick(r, kWords);
            const u64 bytes = r.logUniform(1500, 90000);
            if (k < 10) {
                std::string url = concat({"/", sec, "/"});
                if (r.chance(0.5)) url.append(pick(r, kWords)).push_back('/');
                add(std::move(url), false, true, 1, 6, bytes);
            } else if (k < 13) {
                std::string url = concat({"/~", pick(r, kUsers), "/"});
                if (r.chance(0.4)) url.append(word).push_back('/');
                add(std::move(url), false, true, 0, 4, bytes);
            } else if (k < 50) {
                std::string url = concat({"/", sec, "/"});
                if (r.chance(0.6)) url.append(pick(r, kWords)).push_back('/');
                url.append(word).append(n(r.below(400)));
                url.append(r.chance(0.25) ? ".htm" : ".html");
                add(std::move(url), false, false, 1, 8, bytes);
            } else if (k < 75) {
                std::string url = concat({"/", sec, "/", word, ".php"});
                const u32 q = r.below(4);
                if (q == 1)
                    url.append("?id=").append(n(r.below(5000)));
                else if (q == 2)
                    url.append("?id=")
                        .append(n(r.below(5000)))
                        .append("&sort=")
                        .append(pick(r, kSortKeys));
                else if (q == 3)
                    url.append("?cat=")
                        .append(pick(r, kWords))
                        .append("&page=")
                        .append(n(r.range(1, 30)));
                add(std::move(url), true, false, 1, 5, bytes);
            } else if (k < 86) {
                std::string url = concat({"/~", pick(r, kUsers), "/"});
                if (r.chance(0.3)) url.append(pick(r, kWords)).push_back('/');
                url.append(word).append(".html");
                add(std::move(url), false, false, 0, 5, bytes);
            } else if (k < 92) {
                add(concat({"/search.php?q=", pick(r, kPhrases)}), true, false, 1, 2, bytes);
            } else if (k < 95) {
                add(concat({"/", sec, "/", word, "%20", pick(r, kWords), ".html"}), false, false, 1,
                    4, bytes);
            } else {
                add(concat({"/cgi-bin/", word, ".cgi?", pick(r, kSortKeys), "=", n(r.below(100))}),
                    false, false, 0, 2, bytes);
            }
        }
    }

    void makeDownloads(Rng& r) {
        constexpr std::array<std::string_view, 5> ext = {".pdf", ".zip", ".tar.gz", ".exe", ".mp4"};
        while (downloads_.size() < kDownloads) {
            downloads_.push_back({concat({"/downloads/", pick(r, kWords), "-", n(r.range(1, 20)),
                                          ".", n(r.below(10)), pick(r, ext)}),
                                  r.logUniform(200e3, 80e6)});
        }
    }

    void makeMissing(Rng& r) {
        constexpr std::array<std::string_view, 14> probes = {"/wp-login.php",
                                                             "/xmlrpc.php",
                                                             "/phpmyadmin/index.php",
                                                             "/scripts/root.exe?/c+dir",
                                                             "/_vti_bin/owssvr.dll",
                                                             "/.env",
                                                             "/admin/config.php",
                                                             "/MSOffice/cltreq.asp",
                                                             "/cgi-bin/test-cgi",
                                                             "/apple-touch-icon.png",
                                                             "/apple-touch-icon-precomposed.png",
                                                             "/wp-content/plugins/x/readme.txt",
                                                             "/.git/config",
                                                             "/sitemap.xml.gz"};
        for (auto p : probes) missing_.push_back({std::string(p), 0});
        while (missing_.size() < kMissing) {
            const u32 k = r.below(3);
            std::string url;
            if (k == 0)
                url = concat(
                    {"/", pick(r, kSections), "/", pick(r, kWords), n(r.below(900)), ".html"});
            else if (k == 1)
                url = concat({"/images/", pick(r, kWords), n(r.below(900)), "_old.gif"});
            else
                url = concat({"/~", pick(r, kUsers), "/", pick(r, kWords), ".htm"});
            missing_.push_back({std::move(url), 0});
        }
        // Apache's "Not Found" page echoes the URL.
        for (auto& m : missing_) m.bytes = 196 + m.url.size();
    }
};

// ---------------------------------------------------------------------------------------------
// Visitors

std::string ipv4(u32 a, u32 b, u32 c, u32 d) {
    return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
           std::to_string(d);
}

// A public-looking first octet: no private, loopback, multicast or reserved blocks.
u32 publicOctet(Rng& r) {
    for (;;) {
        const u32 a = r.range(1, 223);
        if (a != 10 && a != 127 && a != 100 && a != 169 && a != 172 && a != 192) return a;
    }
}

class Hosts {
  public:
    static constexpr std::size_t kPool = 60000;

    explicit Hosts(Rng& r) : rank_(kPool, 0.6) {
        constexpr std::array<std::string_view, 20> isps = {
            "comcast.net",      "verizon.net", "rr.com",        "btcentralplus.com",
            "t-dialin.net",     "wanadoo.fr",  "shawcable.net", "rogers.com",
            "bigpond.net.au",   "ocn.ne.jp",   "telia.com",     "optusnet.com.au",
            "sbcglobal.net",    "cox.net",     "charter.com",   "virginm.net",
            "telecomitalia.it", "qwest.net",   "att.net",       "earthlink.net"};
        constexpr std::array<std::string_view, 10> orgs = {
            "acme-corp.com", "globex.com", "initech.com", "stateu.edu",      "techuni.ac.uk",
            "umbrella.de",   "hooli.com",  "city.gov",    "cyberdyne.co.jp", "wayne-ent.com"};
        constexpr std::array<std::string_view, 8> roles = {"proxy", "gw", "fw",  "cache",
                                                           "lab",   "ws", "nat", "vpn"};
        pool_.reserve(kPool);
        while (pool_.size() < kPool) {
            const u32 a = publicOctet(r), b = r.below(256), c = r.below(256), d = r.range(1, 254);
            const u32 k = r.below(100);
            std::string h;
            if (k < 55) {
                h = ipv4(a, b, c, d);
            } else if (k < 70) {
                h = concat({"pool-", std::to_string(a), "-", std::to_string(b), "-",
                            std::to_string(c), "-", std::to_string(d), ".", pick(r, isps)});
            } else if (k < 82) {
                h = concat({"host", std::to_string(a), "-", std::to_string(b), "-",
                            std::to_string(c), "-", std::to_string(d), ".dsl.", pick(r, isps)});
            } else if (k < 90) {
                h = concat({"cpe-", std::to_string(a), "-", std::to_string(b), "-",
                            std::to_string(c), "-", std::to_string(d), ".res.", pick(r, isps)});
            } else if (k < 95) {
                h = concat({"ppp-", std::to_string(r.range(1, 9999)), ".dialup.", pick(r, isps)});
            } else {
                h = concat({pick(r, roles), std::to_string(r.range(1, 40)), ".", pick(r, orgs)});
            }
            pool_.push_back(std::move(h));
        }
        // Each crawler operator sends from a few dozen machines.
        for (u32 i = 0; i < 40; ++i) {
            google_.push_back(concat({"crawl-66-249-", std::to_string(r.range(64, 79)), "-",
                                      std::to_string(r.range(1, 254)), ".googlebot.com"}));
            msn_.push_back(
                concat({"msnbot-157-55-39-", std::to_string(r.range(1, 254)), ".search.msn.com"}));
            baidu_.push_back(concat(
                {"baiduspider-180-76-15-", std::to_string(r.range(1, 254)), ".crawl.baidu.com"}));
            yandex_.push_back(
                concat({"5-255-253-", std::to_string(r.range(1, 254)), ".spider.yandex.com"}));
            const u32 a = publicOctet(r), b = r.below(256), c = r.below(256), d = r.range(1, 254);
            block_.push_back(ipv4(a, b, c, d));
        }
    }

    const std::string& draw(Rng& r, Origin o) const {
        switch (o) {
            case Origin::Google:
                return google_[r.below(40)];
            case Origin::Msn:
                return msn_[r.below(40)];
            case Origin::Baidu:
                return baidu_[r.below(40)];
            case Origin::Yandex:
                return yandex_[r.below(40)];
            case Origin::Block:
                return block_[r.below(40)];
            case Origin::Pool:
                break;
        }
        return pool_[rank_.draw(r)];
    }

  private:
    Zipf rank_;
    std::vector<std::string> pool_, google_, msn_, baidu_, yandex_, block_;
};

// ---------------------------------------------------------------------------------------------
// The generator

constexpr std::string_view kSiteBase = "http://www.example.com";

class Generator {
  public:
    Generator(u64 seed, u64 targetBytes)
        : rng_(seed), site_(rng_), hosts_(rng_), agentPick_(agentWeights()) {
        // Spread the log over six weeks whatever its size, so day, week and hour tables fill.
        const double estimatedLines = std::max(1.0, static_cast<double>(targetBytes) / 250.0);
        meanGapMs_ = 42.0 * 86400e3 / estimatedLines;
        // 1 Mar 2023 00:00 Pacific standard time; daylight time starts 12 Mar 2023 at 02:00
        // local (10:00 UTC), so the zone field changes and the local clock skips an hour.
        clockMs_ = static_cast<double>((daysFromCivil(2023, 3, 1) * 86400 + 8 * 3600)) * 1e3;
        dstStart_ = daysFromCivil(2023, 3, 12) * 86400 + 10 * 3600;
        for (auto& s : sessions_) startVisit(s);
    }

    // Writes one line at `at`; returns the end of it.
    char* line(char* at) {
        Out o{at};
        advanceClock();
        if (rng_.chance(0.002)) {
            // A connection that sent no usable request line.
            o.put(hosts_.draw(rng_, Origin::Pool));
            o.put(" - - ");
            putTime(o);
            o.put(" \"-\" 400 ");
            if (rng_.chance(0.5))
                o.ch('-');
            else
                o.ch('0');
            o.put(" \"-\" \"-\"\n");
            return o.p;
        }
        // A browser fetches a page's images right after the page, so the visit that just
        // showed a page mostly keeps the next lines; other visits still cut in between.
        const Session& h = sessions_[hot_];
        if (h.imgNext == h.imgEnd || !rng_.chance(0.8))
            hot_ = rng_.below(static_cast<u32>(sessions_.size()));
        Session& s = sessions_[hot_];
        if (s.imgNext == s.imgEnd && s.redirectTo < 0 && s.pagesLeft <= 0) startVisit(s);
        request(o, s);
        return o.p;
    }

  private:
    struct Session {
        const std::string* host = nullptr;
        u32 agent = 0;
        Kind kind = Kind::Human;
        std::string_view user = "-";
        bool http10 = false;
        bool returning = false;
        int pagesLeft = 0;
        i64 page = -1;  // page now shown, for the referrer of what follows; -1 none
        i64 redirectTo = -1;
        u32 imgNext = 0, imgEnd = 0;
        bool first = true;
        std::string entryReferrer;  // referrer of the first request
    };

    static std::vector<double> agentWeights() {
        std::vector<double> w;
        for (const auto& a : kAgents) w.push_back(a.weight);
        return w;
    }

    void startVisit(Session& s) {
        s.agent = agentPick_.draw(rng_);
        const Agent& a = kAgents[s.agent];
        s.kind = a.kind;
        s.host = &hosts_.draw(rng_, a.origin);
        s.user = rng_.chance(0.01) ? pick(rng_, kUsers) : std::string_view("-");
        s.http10 = a.kind == Kind::Human ? rng_.chance(0.08) : rng_.chance(0.3);
        s.returning = rng_.chance(0.35);
        s.page = -1;
        s.redirectTo = -1;
        s.imgNext = s.imgEnd = 0;
        s.first = true;
        switch (a.kind) {
            case Kind::Human: {
                const u32 shortVisit = rng_.below(3);
                s.pagesLeft = 1 + static_cast<int>(shortVisit + rng_.below(6));
                break;
            }
            case Kind::Crawler:
                s.pagesLeft = 5 + static_cast<int>(rng_.below(40));
                break;
            case Kind::ImageCrawler:
                s.pagesLeft = 3 + static_cast<int>(rng_.below(20));
                break;
            case Kind::Monitor:
                s.pagesLeft = 1;
                break;
            case Kind::Script:
                s.pagesLeft = 1 + static_cast<int>(rng_.below(3));
                break;
        }
        s.entryReferrer.clear();
        if (a.kind != Kind::Human) return;
        const u32 k = rng_.below(100);
        char tmp[512];
        Out o{tmp};
        if (k < 35) {
            return;  // typed in or bookmarked
        } else if (k < 65) {
            const std::string_view engine = pick(rng_, kSearchEngines);
            o.fill(engine, pick(rng_, kPhrases), 0);
        } else if (k < 88) {
            const std::string_view site = pick(rng_, kExternalSites);
            o.fill(site, {}, rng_.range(1000, 39999999));
        } else {
            // Arrived from another of the site's pages before this log began.
            o.put(kSiteBase);
            o.put(site_.pages_[site_.pageRank_.draw(rng_)].url);
        }
        s.entryReferrer.assign(tmp, static_cast<std::size_t>(o.p - tmp));
    }

    void advanceClock() {
        // Fewer visitors at night: the gap is stretched by the local hour's quietness.
        static constexpr std::array<double, 24> quiet = {2.2, 2.8, 3.4, 3.8, 3.6, 3.0, 2.0, 1.4,
                                                         1.0, 0.8, 0.7, 0.7, 0.7, 0.7, 0.7, 0.7,
                                                         0.8, 0.9, 1.0, 1.0, 1.1, 1.3, 1.6, 1.9};
        const i64 local = localSeconds();
        const auto hour = static_cast<std::size_t>((local % 86400) / 3600);
        clockMs_ += -std::log(1.0 - rng_.unit()) * meanGapMs_ * quiet[hour] / 1.13;
    }

    i64 utcSeconds() const { return static_cast<i64>(clockMs_ / 1e3); }
    bool daylight() const { return utcSeconds() >= dstStart_; }
    i64 localSeconds() const { return utcSeconds() + (daylight() ? -7 : -8) * 3600; }

    void putTime(Out& o) {
        const i64 local = localSeconds();
        const i64 day = local / 86400;
        if (day != cachedDay_) {
            i64 y;
            unsigned m, d;
            civilFromDays(day, y, m, d);
            Out c{dayText_};
            c.two(d);
            c.ch('/');
            c.put(kMonths[m - 1]);
            c.ch('/');
            c.num(static_cast<u64>(y));
            c.ch(':');
            dayLength_ = static_cast<std::size_t>(c.p - dayText_);
            cachedDay_ = day;
        }
        const auto sec = static_cast<unsigned>(local % 86400);
        o.ch('[');
        o.put({dayText_, dayLength_});
        o.two(sec / 3600);
        o.ch(':');
        o.two(sec / 60 % 60);
        o.ch(':');
        o.two(sec % 60);
        o.put(daylight() ? " -0700]" : " -0800]");
    }

    enum class Ref { None, Entry, Page };

    // host ident user [time] "METHOD url PROTO" status bytes "referrer" "agent"
    void emit(Out& o, const Session& s, std::string_view method, std::string_view url, int status,
              u64 bytes, bool bytesDash, Ref ref, i64 refPage) {
        o.put(*s.host);
        o.put(" - ");
        o.put(s.user);
        o.ch(' ');
        putTime(o);
        o.put(" \"");
        o.put(method);
        o.ch(' ');
        o.put(url);
        o.put(s.http10 ? " HTTP/1.0\" " : " HTTP/1.1\" ");
        o.num(static_cast<u64>(status));
        o.ch(' ');
        if (bytesDash)
            o.ch('-');
        else
            o.num(bytes);
        o.put(" \"");
        if (ref == Ref::Page && refPage >= 0) {
            o.put(kSiteBase);
            o.put(site_.pages_[static_cast<std::size_t>(refPage)].url);
        } else if (ref == Ref::Entry && !s.entryReferrer.empty()) {
            o.put(s.entryReferrer);
        } else {
            o.ch('-');
        }
        o.put("\" \"");
        o.put(kAgents[s.agent].text);
        o.put("\"\n");
    }

    void request(Out& o, Session& s) {
        const Ref fromHere = s.first ? Ref::Entry : Ref::Page;
        const bool first = s.first;
        s.first = false;

        if (s.imgNext < s.imgEnd) {
            const Resource& img = site_.images_[site_.embedded_[s.imgNext++]];
            const bool cached = rng_.chance(s.returning ? 0.6 : 0.04);
            emit(o, s, "GET", img.url, cached ? 304 : 200, img.bytes, cached, Ref::Page, s.page);
            return;
        }
        if (s.redirectTo >= 0) {
            const i64 to = s.redirectTo;
            s.redirectTo = -1;
            showPage(o, s, to, Ref::Page, s.page);
            return;
        }
        --s.pagesLeft;

        switch (s.kind) {
            case Kind::Monitor:
                emit(o, s, "HEAD", "/", 200, 0, true, Ref::None, -1);
                return;
            case Kind::Crawler:
                if (first) {
                    emit(o, s, "GET", "/robots.txt", 200, 612, false, Ref::None, -1);
                    return;
                }
                if (rng_.chance(0.03)) {
                    const Resource& m = site_.missing_[site_.missingRank_.draw(rng_)];
                    emit(o, s, "GET", m.url, 404, m.bytes, false, Ref::None, -1);
                    return;
                }
                {
                    const Page& p = site_.pages_[site_.pageRank_.draw(rng_)];
                    const bool head = rng_.chance(0.01);
                    const bool notModified = !head && rng_.chance(0.1);
                    emit(o, s, head ? "HEAD" : "GET", p.url, notModified ? 304 : 200, p.bytes,
                         head || notModified, Ref::None, -1);
                }
                return;
            case Kind::ImageCrawler: {
                const Resource& img = site_.images_[site_.imageRank_.draw(rng_)];
                emit(o, s, "GET", img.url, 200, img.bytes, false, Ref::None, -1);
                return;
            }
            case Kind::Script: {
                if (rng_.chance(0.3)) {
                    const Resource& d = site_.downloads_[site_.downloadRank_.draw(rng_)];
                    emit(o, s, "GET", d.url, 200, d.bytes, false, Ref::None, -1);
                } else {
                    const Page& p = site_.pages_[site_.pageRank_.draw(rng_)];
                    emit(o, s, "GET", p.url, 200, p.bytes, false, Ref::None, -1);
                }
                return;
            }
            case Kind::Human:
                break;
        }

        const u32 k = rng_.below(1000);
        if (k < 15) {
            // A stale link.
            const Resource& m = site_.missing_[site_.missingRank_.draw(rng_)];
            emit(o, s, "GET", m.url, 404, m.bytes, false, fromHere, s.page);
        } else if (k < 21 && !site_.directories_.empty()) {
            // A directory asked for without its slash; the browser follows the redirect.
            const u32 dir =
                site_.directories_[rng_.below(static_cast<u32>(site_.directories_.size()))];
            const std::string& url = site_.pages_[dir].url;
            const std::string_view bare(url.data(), url.size() - 1);
            emit(o, s, "GET", bare, 301, 233 + 2 * url.size(), false, fromHere, s.page);
            s.redirectTo = dir;
        } else if (k < 29) {
            const Resource& d = site_.downloads_[site_.downloadRank_.draw(rng_)];
            if (rng_.chance(0.4)) {
                // Resumed or seeking downloads ask for a range.
                emit(o, s, "GET", d.url, 206, rng_.logUniform(4096, static_cast<double>(d.bytes)),
                     false, fromHere, s.page);
            } else {
                emit(o, s, "GET", d.url, 200, d.bytes, false, fromHere, s.page);
            }
        } else if (k < 33) {
            emit(o, s, "GET", "/favicon.ico", s.returning ? 304 : 200, 1406, s.returning, Ref::None,
                 -1);
        } else {
            showPage(o, s, site_.pageRank_.draw(rng_), fromHere, s.page);
        }
    }

    void showPage(Out& o, Session& s, i64 index, Ref ref, i64 refPage) {
        const Page& p = site_.pages_[static_cast<std::size_t>(index)];
        if (p.php && rng_.chance(0.004)) {
            emit(o, s, "GET", p.url, 500, 535, false, ref, refPage);
            return;  // an error page embeds nothing
        }
        const bool post = p.php && rng_.chance(0.08);
        const bool notModified = !post && s.returning && rng_.chance(0.15);
        emit(o, s, post ? "POST" : "GET", p.url, notModified ? 304 : 200, p.bytes, notModified, ref,
             refPage);
        s.page = index;
        s.imgNext = p.firstImage;
        s.imgEnd = p.firstImage + p.imageCount;
    }

    Rng rng_;
    Site site_;
    Hosts hosts_;
    Weighted agentPick_;
    std::array<Session, 200> sessions_{};  // visits in progress at once
    u32 hot_ = 0;
    double meanGapMs_ = 1000;
    double clockMs_ = 0;
    i64 dstStart_ = 0;
    i64 cachedDay_ = -1;
    char dayText_[32] = {};
    std::size_t dayLength_ = 0;
};

// ---------------------------------------------------------------------------------------------

bool parseSize(std::string_view text, u64& out) {
    if (text.empty()) return false;
    u64 v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end == text.data()) return false;
    std::string_view rest(end, static_cast<std::size_t>(text.data() + text.size() - end));
    u64 mult = 1;
    if (!rest.empty()) {
        switch (rest[0]) {
            case 'k':
            case 'K':
                mult = 1ULL << 10;
                break;
            case 'm':
            case 'M':
                mult = 1ULL << 20;
                break;
            case 'g':
            case 'G':
                mult = 1ULL << 30;
                break;
            default:
                return false;
        }
        rest.remove_prefix(1);
        if (rest == "B" || rest == "iB") rest = {};
        if (!rest.empty()) return false;
    }
    if (v > UINT64_MAX / mult) return false;
    out = v * mult;
    return true;
}

// The wide variant of a line: the same line with an evenly drawn host and URL, written back
// in place. Lines without a request are left as they are.
char* widen(char* begin, char* end, Rng& rng, u32 hosts, u32 urls) {
    const std::string_view line(begin, static_cast<std::size_t>(end - begin));
    const std::size_t hostEnd = line.find(' ');
    const std::size_t quote = line.find('"');
    const std::size_t urlStart = quote == std::string_view::npos ? quote : line.find(' ', quote);
    const std::size_t urlEnd =
        urlStart == std::string_view::npos ? urlStart : line.find(' ', urlStart + 1);
    if (hostEnd == std::string_view::npos || urlEnd == std::string_view::npos) return end;
    const u32 h = rng.below(hosts);
    const u32 u = rng.below(urls);
    char out[Sink::kMaxLine];
    Out o{out};
    o.num(11 + (h >> 24)), o.ch('.'), o.num((h >> 16) & 255), o.ch('.'), o.num((h >> 8) & 255);
    o.ch('.'), o.num(h & 255);
    o.put(line.substr(hostEnd, urlStart + 1 - hostEnd));
    o.put("/w/"), o.num(u), o.put(".html");
    o.put(line.substr(urlEnd));
    const auto n = static_cast<std::size_t>(o.p - out);
    if (n >= Sink::kMaxLine) return end;
    std::memcpy(begin, out, n);
    return begin + n;
}

int usage() {
    std::fputs(
        "usage: tallyweb-genlog --size SIZE [--seed N] --out FILE\n"
        "  SIZE   bytes, or with suffix K, M or G (powers of 1024), e.g. 50M, 1G\n"
        "  N      random seed (default 1); the same seed and size give the same file\n"
        "  FILE   output path, or - for standard output\n"
        "  --wide HOSTS,URLS  replace each line's host by one of HOSTS distinct addresses and\n"
        "         its URL by one of URLS distinct pages, drawn evenly: the worst case for the\n"
        "         tables' memory and caches (e.g. --wide 1000000,2000000)\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    u64 size = 0, seed = 1;
    bool haveSize = false;
    std::string out;
    u32 wideHosts = 0, wideUrls = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--size" && hasValue) {
            if (!parseSize(argv[++i], size)) return usage();
            haveSize = true;
        } else if (a == "--seed" && hasValue) {
            const std::string_view v = argv[++i];
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
            if (ec != std::errc() || end != v.data() + v.size()) return usage();
        } else if (a == "--wide" && hasValue) {
            const std::string_view v = argv[++i];
            const std::size_t comma = v.find(',');
            if (comma == std::string_view::npos) return usage();
            const auto h = std::from_chars(v.data(), v.data() + comma, wideHosts);
            const auto u = std::from_chars(v.data() + comma + 1, v.data() + v.size(), wideUrls);
            if (h.ec != std::errc() || u.ec != std::errc() || h.ptr != v.data() + comma ||
                u.ptr != v.data() + v.size() || wideHosts == 0 || wideUrls == 0)
                return usage();
        } else if (a == "--out" && hasValue) {
            out = argv[++i];
        } else {
            return usage();
        }
    }
    if (!haveSize || out.empty()) return usage();

    std::FILE* f = out == "-" ? stdout : std::fopen(out.c_str(), "wb");
    if (f == nullptr) {
        std::perror(out.c_str());
        return 1;
    }
    const auto t0 = std::chrono::steady_clock::now();
    Generator gen(seed, size);
    Sink sink(f);
    u64 lines = 0;
    Rng wide(seed ^ 0x5DEECE66DULL);
    while (sink.ok()) {
        char* end = gen.line(sink.cursor());
        if (wideHosts > 0) end = widen(sink.cursor(), end, wide, wideHosts, wideUrls);
        if (!sink.commit(end, size)) break;
        ++lines;
    }
    bool ok = sink.flush();
    if (f != stdout)
        ok = std::fclose(f) == 0 && ok;
    else
        ok = std::fflush(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "tallyweb-genlog: write to %s failed\n", out.c_str());
        return 1;
    }
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr, "wrote %llu bytes, %llu lines in %.2f s (%.0f MB/s, MB = 10^6 bytes)\n",
                 static_cast<unsigned long long>(sink.written()),
                 static_cast<unsigned long long>(lines), secs,
                 secs > 0 ? static_cast<double>(sink.written()) / 1e6 / secs : 0.0);
    return 0;
}

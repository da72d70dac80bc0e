#!/usr/bin/env python3
"""Computes the General Statistics of a combined log independently of the program, from the
rules a user can check by hand: which lines count, how visits, days and file kinds are told
apart. Writes the rows the program prints (without the run's own start time), or with --pages the
whole pages table: one line per page, "hits<TAB>bytes<TAB>partial<TAB>URL", by URL.

With --visitors DOMAIN it writes what the agents and referrers give, for a site of that
domain: "os", "browser", "site", "engine" and "phrase" lines with their counts.

usage: compute.py LOG > expected.txt
       compute.py --pages LOG > pages.txt
       compute.py --visitors DOMAIN LOG > visitors.txt"""
import calendar
import re
import sys

LINE = re.compile(r'^(\S+) \S+ \S+ \[([^\]]*)\] "([^"]*)" (\S+) (\S+) "([^"]*)" "([^"]*)"')
MONTHS = {m: i for i, m in enumerate(
    ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"], 1)}


def amount(b):
    if b >= 1 << 30:
        return "%.2f gigabytes" % (b / (1 << 30))
    if b >= 1 << 20:
        return "%.2f megabytes" % (b / (1 << 20))
    if b >= 1024:
        return "%.2f kilobytes" % (b / 1024)
    return "%.2f bytes" % b


def when(t):
    import time
    return time.strftime("%B %d, %Y, %I:%M %p", time.gmtime(t))


def main(path, list_pages=False):
    hits = bytes_ = cached = partial = notfound = pages = images = others = 0
    page_table = {}  # URL -> [hits, bytes, partial]; URLs kept as logged, letter case too

    def count_page(page, size, status):
        entry = page_table.setdefault(page, [0, 0, 0])
        entry[0] += 1
        entry[1] += size
        entry[2] += 1 if status == 206 else 0
    last_seen, visits, raw_hosts = {}, 0, set()
    rejected = 0  # lines with text that are no record
    earliest = latest = None
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            m = LINE.match(raw)
            if not m:
                rejected += 1 if raw.strip("\x00\x01\x02\x03\x04\x05\x06\x07\x08\t\x0b\x0c\x0e\x0f") else 0
                continue
            host, date, request, status, nbytes = m.group(1, 2, 3, 4, 5)
            slash = request.find("/")
            if slash < 0:
                rejected += 1
                continue  # a request without a path ("-") is no request
            url = request[slash:].split(" ")[0]
            d, mon, rest = date.split("/", 2)
            y, hh, mm, ss = rest.split(" ")[0].split(":")
            t = calendar.timegm((int(y), MONTHS[mon], int(d), int(hh), int(mm), int(ss)))
            status = int(status)
            size = int(nbytes) if nbytes.isdigit() else 0
            hits += 1
            bytes_ += size
            if status == 304:
                cached += 1
            if status == 206:
                partial += 1
            if status == 404:
                notfound += 1
            # Hosts are counted as logged (names lowercased); a new visit after 1800 s.
            key = host if re.fullmatch(r"[0-9.]+|[0-9a-fA-F:]+", host) else host.lower()
            raw_hosts.add(key)
            # The gap is taken from the host's latest request so far, not its last line.
            if key not in last_seen or t - last_seen[key] > 1800:
                visits += 1
            last_seen[key] = max(t, last_seen.get(key, t))
            earliest = t if earliest is None else min(earliest, t)
            latest = t if latest is None else max(latest, t)
            if status == 404:
                continue
            if not url.endswith("/") and "." in url:
                ext = url.rsplit(".", 1)[1].lower()
                if any(e in ext for e in ("htm", "asp", "cfm", "shtml")):
                    pages += 1
                    count_page(url, size, status)
                elif any(e in ext for e in ("gif", "jpg", "jpeg")):
                    images += 1
                else:
                    others += 1
            else:
                pages += 1  # a directory request counts as its default page
                count_page(url + ("" if url.endswith("/") else "/") + "index.html", size, status)
    if list_pages:
        for url in sorted(page_table):
            h, b, p = page_table[url]
            print("%d\t%d\t%d\t%s" % (h, b, p, url))
        return
    days = max(1, 1 + (latest - earliest) // 86400)
    hosts = len(raw_hosts)

    def share(n, none):
        return none if hits == 0 else "%d (%.2f%%)" % (n, n * 100 / hits)

    rows = [
        ("Hits", str(hits)),
        ("Total Data Transferred", amount(bytes_)),
        ("Total Visiting Users", str(visits)),
        ("Time Period", when(earliest) + " to " + when(latest)),
        ("Average Hits per User", "%.2f" % (hits / visits) if visits else "0%"),
        ("Average Users per Day", "%.2f" % (visits / days)),
        ("Average Data Transferred per Day", amount(bytes_ // days)),
        ("Hits cached by Client", share(cached, "0 (0%)")),
        ("Incomplete downloads/file requests", share(partial, "0%")),
        ("Log spans a period of", "1 day" if days == 1 else "%d days" % days),
        ("Total failed requests", share(notfound, "0 (0%)")),
        ("Unique IP Addresses", str(hosts)),
        ("Average Data Transferred per User", amount(bytes_ // visits) if visits else "0 bytes"),
        ("Average Hits per Day", "%.2f" % (hits / days)),
        ("Average Data Transferred per Hit", amount(bytes_ // hits) if hits else "0 bytes"),
        ("Each user has visited approximately", "%.2f times" % (visits / hosts) if hosts else "0 times"),
        ("Hits on Pages", str(pages)),
        ("Hits on Files", str(others)),
        ("Hits on Images", str(images)),
        ("Rejected log lines", "%d (%.2f%%)" % (rejected, rejected * 100 / (rejected + hits))
         if rejected + hits else "0 (0%)"),
    ]
    for label, value in rows:
        print(label + "\t" + value)

OS_CLASSES = [
    ("Windows 98", ["Win98", "Windows 98"]), ("Windows 95", ["Win95", "Windows 95"]),
    ("Windows NT", ["WinNT", "Windows NT"]), ("Macintosh", ["Mac"]), ("Linux", ["Linux"]),
    ("Windows CE", ["WinCE", "Windows CE"]), ("Windows 3.1", ["Win16", "Windows 3.1"]),
    ("SunOS", ["SunOS"]), ("IRIX", ["IRIX"]), ("WebTV", ["WebTV"]), ("HP-UX", ["HP-UX"]),
    ("OS/2", ["OS/2"]), ("OSF1", ["OSF1"]), ("Other", [])]
BROWSER_CLASSES = [
    ("IE 5.x", ["MSIE 5."]), ("IE 4.x", ["MSIE 4."]), ("IE 3.x", ["MSIE 3."]),
    ("IE 2.x", ["MSIE 2."]), ("Opera", ["Opera"]), ("Navigator 4.x", ["Mozilla/4."]),
    ("Navigator 3.x", ["Mozilla/3."]), ("Navigator 2.x", ["Mozilla/2."]),
    ("Navigator 5.x", ["Mozilla/5."]), ("Lynx", ["Lynx"]), ("NCSA Mosaic", ["Mosaic"]),
    ("Other", [])]
# (host fragments, name, key, second key), in the order they are tried.
ENGINES = [
    (["search.yahoo."], "Yahoo/Inktomi", "p=", None), (["www.yahoo."], "Yahoo", "p=", None),
    (["altavista."], "AltaVista", "&q=", "s="), (["go.com"], "GO Network (Infoseek)", "qt=", None),
    (["goto."], "GoTo.com", "Keywords=", None), (["hotbot.com"], "HotBot", "MT=", None),
    (["search.aol."], "AOL Search", "query=", None), (["netfind."], "AOL Netfind", "search=", "s="),
    (["hotbot.lycos.com"], "hotbot.lycos.com", "MT=", None), (["lycos."], "Lycos", "query=", None),
    (["magellan.excite."], "Magellan Internet Guide", "search=", None),
    (["excite."], "Excite", "search=", "s="), (["msn."], "MSN Search", "q=", None),
    (["webcrawler."], "WebCrawler", "searchText=", None), (["infoseek."], "Infoseek", "qt=", None),
    (["metacrawler."], "Metacrawler (go2net Network)", "general=", None),
    (["go2net."], "Go2Net.com", "general=", "q="), (["mamma."], "Mamma.com", "general=", None),
    (["northernlight."], "Northern Light", "qr=", None),
    (["yahooligans."], "Yahooligans", "p=", None), (["yahoo."], "Yahoo/AltaVista", "p=", None),
    (["snap."], "Snap", "keyword=", None), (["iwon."], "iWon", "searchfor=", None),
    (["directhit."], "Direct Hit", "qry=", None), (["google."], "Google", "q=", None),
    (["alltheweb."], "AllTheWeb", "query=", None), (["compuserve."], "Compuserve", "sTerm=", None),
    (["savvysearch."], "SavvySearch", "q=", None), (["dmoz."], "Open Directory Project", "search=", None),
    (["search.com"], "Search.com", "MT=", None), (["infospace."], "Infospace", "QKW=", None),
    (["ukplus."], "UK Plus", "search=", None), (["freeserve."], "Freeserve", "query=", None),
    (["ask.com", "askjeeves."], "Ask Jeeves", "ask=", None), (["dogpile."], "Dogpile", "q=", None),
    (["euroseek."], "Euroseek.com", "QUERY=", None), (["looksmart."], "LookSmart", "key=", None),
    (["search.netscape."], "Netscape Search", "search=", None)]


def first_class(classes, agent):
    low = agent.lower()
    for label, tokens in classes:
        if not tokens or any(t.lower() in low for t in tokens):
            return label


def query_value(ref, key):
    q = ref.find("?")
    if q < 0:
        return ""
    at = ref.find(key, q + 1)
    return "" if at < 0 else ref[at + len(key):].split("&")[0]


def search_words(value):
    phrase, i = "", 0
    while i < len(value):
        if value[i] == "%":
            i += 3
            continue
        phrase += " " if value[i] == "+" else value[i]
        i += 1
    return phrase, [w for w in phrase.split(" ") if len(w) > 3]


def visitors(domain, path):
    """Agents and referrers, from the combined lines that count as requests."""
    from collections import Counter
    oses, browsers, sites, engines, phrases = Counter(), Counter(), Counter(), Counter(), Counter()
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            m = LINE.match(raw)
            if not m or m.group(3).find("/") < 0:
                continue
            ref, agent = m.group(6), m.group(7)
            if len(agent) > 1:
                oses[first_class(OS_CLASSES, agent)] += 1
                browsers[first_class(BROWSER_CLASSES, agent)] += 1
            if ref in ("", "-"):
                continue
            if "#" in ref:
                ref = ref[:ref.rindex("#")]
            if domain.lower() in ref.lower():
                continue  # the site's own pages
            parts = ref.split("/", 3)  # scheme:, "", host, rest
            if len(parts) < 4 or parts[1] != "" or ref.find("/") != len(parts[0]):
                continue
            host = parts[2]
            if host[:3].lower() == "www":
                host = host[3:]
                if host[:1] in "123456789" and host[:1]:
                    host = host[1:]
                if host[:1] == ".":
                    host = host[1:]
            sites[host.lower()] += 1  # referring sites are counted ignoring case
            for fragments, name, key, key2 in ENGINES:
                if any(fr.lower() in host.lower() for fr in fragments):
                    value = query_value(ref, key)
                    if not value and key2:
                        value = query_value(ref, key2)
                    if value:
                        engines[name] += 1
                        phrase, _ = search_words(value)
                        if phrase:
                            phrases[(name, phrase.lower())] += 1
                    break
    for label, _ in OS_CLASSES:
        print("os\t%s\t%d" % (label, oses[label]))
    for label, _ in BROWSER_CLASSES:
        print("browser\t%s\t%d" % (label, browsers[label]))
    for host in sorted(sites):
        print("site\t%s\t%d" % (host, sites[host]))
    for name in sorted(engines):
        print("engine\t%s\t%d" % (name, engines[name]))
    for (name, phrase) in sorted(phrases):
        print("phrase\t%s\t%s\t%d" % (name, phrase, phrases[(name, phrase)]))


if __name__ == "__main__":
    if sys.argv[1] == "--visitors":
        visitors(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "--pages":
        main(sys.argv[2], list_pages=True)
    else:
        main(sys.argv[1])

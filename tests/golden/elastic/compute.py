#!/usr/bin/env python3
"""Computes the General Statistics of a combined log independently of the program, from the
rules a user can check by hand: which lines count, how visits, days and file kinds are told
apart. Writes the rows the program prints (without the run's own start time), or with --pages the
whole pages table: one line per page, "hits<TAB>bytes<TAB>partial<TAB>URL", by URL.

usage: compute.py LOG > expected.txt
       compute.py --pages LOG > pages.txt"""
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
    earliest = latest = None
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            m = LINE.match(raw)
            if not m:
                continue
            host, date, request, status, nbytes = m.group(1, 2, 3, 4, 5)
            slash = request.find("/")
            if slash < 0:
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
            if key not in last_seen or t - last_seen[key] > 1800:
                visits += 1
            last_seen[key] = t
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
    ]
    for label, value in rows:
        print(label + "\t" + value)


if __name__ == "__main__":
    if sys.argv[1] == "--pages":
        main(sys.argv[2], list_pages=True)
    else:
        main(sys.argv[1])

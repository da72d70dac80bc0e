#!/usr/bin/env python3
"""Writes data/suffixdata.dat, the names the domain-suffix report puts beside each suffix.

Country names come from Debian's iso-codes package (ISO 3166-1); the generic top-level domains
are listed below. Each line is the name, a TAB and the suffix with its leading ".". The reader
takes everything before a line's first "." less one character as the name, so a name may not
hold a "." itself: such names are rewritten, and every line written is parsed back with the
reader's rule before the file is replaced.

Usage: scripts/make-suffixdata.py [iso_3166-1.json] [output]
"""
import json
import os
import sys
import tempfile

DEFAULT_SOURCE = "/usr/share/iso-codes/json/iso_3166-1.json"
DEFAULT_OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data",
                              "suffixdata.dat")
SEPARATOR = "\t"

GENERIC = {
    ".com": "Commercial",
    ".net": "Network",
    ".org": "Organization",
    ".edu": "Educational",
    ".gov": "US Government",
    ".mil": "US Military",
    ".int": "International organisations",
    ".arpa": "ARPA",
    ".info": "Information",
    ".biz": "Business",
    ".name": "Individuals",
    ".pro": "Professions",
    ".mobi": "Mobile devices",
    ".aero": "Air transport industry",
    ".coop": "Cooperatives",
    ".museum": "Museums",
    ".travel": "Travel industry",
    ".jobs": "Employment",
    ".tel": "Contact data",
    ".asia": "Asia-Pacific region",
    ".cat": "Catalan language and culture",
    ".eu": "European Union",
}

# The United Kingdom uses .uk although its ISO code is GB; .gb is kept as well.
EXTRA_COUNTRY_SUFFIXES = {"GB": [".uk"]}


def without_dots(name):
    # "St." is spelt out so the name still reads naturally; any other dot ("U.S.") is dropped.
    name = name.replace("St. ", "Saint ")
    return name.replace(".", "")


def parse(text):
    """The reader's rule, kept here so the file is checked against it rather than against intent."""
    table = {}
    for line in text.replace("\r\n", "\n").replace("\r", "\n").split("\n"):
        if not line:
            continue
        dot = line.find(".")
        if dot < 0:
            continue
        table[line[dot:].lower()] = line[:dot][:-1]
    return table


def build(source):
    with open(source, encoding="utf-8") as f:
        countries = json.load(f)["3166-1"]
    names = {}
    for entry in countries:
        name = without_dots(entry.get("common_name") or entry["name"]).strip()
        code = entry["alpha_2"]
        for suffix in ["." + code.lower()] + EXTRA_COUNTRY_SUFFIXES.get(code, []):
            if suffix in names:
                raise SystemExit(f"suffix {suffix} given twice")
            names[suffix] = name
    for suffix, name in GENERIC.items():
        if suffix in names:
            raise SystemExit(f"generic suffix {suffix} is also a country code")
        names[suffix] = name
    return names


def render(names):
    lines = []
    for suffix in sorted(names):
        name = names[suffix]
        if not name or any(c in name for c in ".\r\n"):
            raise SystemExit(f"name {name!r} for {suffix} cannot be written")
        if suffix != suffix.lower() or suffix.count(".") != 1 or not suffix.startswith("."):
            raise SystemExit(f"suffix {suffix!r} cannot be written")
        line = name + SEPARATOR + suffix
        if parse(line) != {suffix: name}:
            raise SystemExit(f"line {line!r} does not parse back to {name!r}")
        lines.append(line)
    text = "\n".join(lines) + "\n"
    if parse(text) != names:
        raise SystemExit("the file as a whole does not parse back to the table")
    return text


def main(argv):
    if len(argv) > 3:
        raise SystemExit(__doc__)
    source = argv[1] if len(argv) > 1 else DEFAULT_SOURCE
    output = os.path.normpath(argv[2] if len(argv) > 2 else DEFAULT_OUTPUT)
    names = build(source)
    text = render(names)
    # Written beside the target and renamed, so a failed run never leaves half a file.
    fd, tmp = tempfile.mkstemp(dir=os.path.dirname(output), prefix=".suffixdata.")
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        os.chmod(tmp, 0o644)
        os.replace(tmp, output)
    except BaseException:
        os.unlink(tmp)
        raise
    print(f"{output}: {len(names)} suffixes")


if __name__ == "__main__":
    main(sys.argv)

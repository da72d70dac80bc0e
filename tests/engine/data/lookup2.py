#!/usr/bin/env python3
"""Reference values of the 1996 lookup2 hash, written independently of the C++ code, for the
engine tests. Run it to print the table that test_lookup2 checks."""
M = 0xFFFFFFFF

def mix(a, b, c):
    a = (a - b - c) & M; a ^= c >> 13
    b = (b - c - a) & M; b ^= (a << 8) & M
    c = (c - a - b) & M; c ^= b >> 13
    a = (a - b - c) & M; a ^= c >> 12
    b = (b - c - a) & M; b ^= (a << 16) & M
    c = (c - a - b) & M; c ^= b >> 5
    a = (a - b - c) & M; a ^= c >> 3
    b = (b - c - a) & M; b ^= (a << 10) & M
    c = (c - a - b) & M; c ^= b >> 15
    return a, b, c

def lookup2(data: bytes, initval=0xDEADBEEF):
    a = b = 0x9E3779B9
    c = initval
    n = len(data)
    i = 0
    while n - i >= 12:
        a = (a + int.from_bytes(data[i:i + 4], "little")) & M
        b = (b + int.from_bytes(data[i + 4:i + 8], "little")) & M
        c = (c + int.from_bytes(data[i + 8:i + 12], "little")) & M
        a, b, c = mix(a, b, c)
        i += 12
    c = (c + n) & M
    tail = data[i:]
    # a takes tail bytes 0-3, b bytes 4-7, c bytes 8-10 shifted past its length byte.
    for j, byte in enumerate(tail):
        if j < 4:
            a = (a + (byte << (8 * j))) & M
        elif j < 8:
            b = (b + (byte << (8 * (j - 4)))) & M
        else:
            c = (c + (byte << (8 * (j - 7)))) & M
    a, b, c = mix(a, b, c)
    return c

if __name__ == "__main__":
    for text in [b"", b"a", b"/index.html", b"www.example.com", b"0123456789ab",
                 b"0123456789abc", b"/images/logo.gif?size=large&v=2", bytes(range(256))]:
        print(f'{{"{text[:40]!r}", {len(text)}, 0x{lookup2(text):08X}u}},')

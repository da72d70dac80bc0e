#pragma once
// Logged texts are bytes as the client sent them; the XML formats we write (Word's parts, the
// SVG pictures of the HTML export) accept only valid UTF-8 of the characters XML 1.0 allows,
// and JSON only valid UTF-8.
//
// Contract: pure functions, safe from any thread. They allocate and so may throw only
// std::bad_alloc.
#include <cstddef>
#include <string>
#include <string_view>

namespace tw::exporter {

// Length of the valid UTF-8 sequence of two to four bytes at text[i] that XML 1.0 allows, or 0
// (also for any single byte, ASCII included: callers handle those themselves).
std::size_t validUtf8Sequence(std::string_view text, std::size_t i);

// `text` with every byte that starts no valid sequence replaced by U+FFFD and the control
// characters XML refuses (all below 0x20 but tab and line feed, and 0x7F) left out.
std::string xmlSafeText(std::string_view text);

// `text` with every byte that starts no valid sequence replaced by U+FFFD, as xmlSafeText()
// does, but every ASCII character kept: JSON can escape all of them.
std::string utf8Text(std::string_view text);

}  // namespace tw::exporter

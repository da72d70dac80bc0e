#include "export/utf8_text.h"

#include <cstdint>

namespace tw::exporter {

std::size_t validUtf8Sequence(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3Fu);
    }
    // Overlong forms would let a "<" past a byte-wise escape in a lenient reader.
    if (code < minimum || code > 0x10FFFF) return 0;
    if (code >= 0xD800 && code <= 0xDFFF) return 0;
    if (code == 0xFFFE || code == 0xFFFF) return 0;
    return length;
}

namespace {

std::string replacingInvalid(std::string_view text, bool xmlControls) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = validUtf8Sequence(text, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        ++i;
        if (!xmlControls || c == '\t' || c == '\n' || (c >= 0x20 && c != 0x7F))
            out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

std::string xmlSafeText(std::string_view text) {
    return replacingInvalid(text, true);
}

std::string utf8Text(std::string_view text) {
    return replacingInvalid(text, false);
}

}  // namespace tw::exporter

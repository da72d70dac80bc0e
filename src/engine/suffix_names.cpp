#include "engine/suffix_names.h"

#include <fstream>

#include "ingest/text_search.h"

namespace tw::engine {

void SuffixNames::parse(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        // A CR LF pair ends one line; the empty "line" between a lone CR and a LF would be
        // skipped anyway, so any run of line-end bytes can be stepped over together.
        pos = text.find_first_not_of("\r\n", end);
        if (pos == std::string_view::npos) pos = text.size();

        const std::size_t dot = line.find('.');
        if (dot == std::string_view::npos) continue;
        // A line starting with "." (or with no separator before it) gives an empty name. It is
        // still an entry, so it replaces an earlier name of that suffix as any later line does;
        // label() then shows the suffix alone rather than " (.xx)".
        const std::string_view name = dot == 0 ? std::string_view{} : line.substr(0, dot - 1);
        std::string suffix(line.substr(dot));
        ingest::lowerAscii(suffix);
        names_.insert_or_assign(std::move(suffix), std::string(name));
    }
}

bool SuffixNames::load(const std::string& path) {
    clear();
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    // Read in pieces rather than by the size the file claims, so a device or a file still
    // growing cannot make us take in more than the limit.
    std::string text;
    char buffer[1 << 16];
    while (f.read(buffer, sizeof buffer) || f.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(f.gcount()));
        if (text.size() > kMaxFileBytes) return false;
    }
    if (f.bad()) return false;
    parse(text);
    return true;
}

const std::string* SuffixNames::find(std::string_view suffix) const {
    std::string key(suffix);
    ingest::lowerAscii(key);
    const auto it = names_.find(key);
    return it == names_.end() ? nullptr : &it->second;
}

std::string SuffixNames::label(std::string_view suffix) const {
    const std::string* name = find(suffix);
    if (name == nullptr || name->empty()) return std::string(suffix);
    std::string out;
    out.reserve(name->size() + suffix.size() + 3);
    out.append(*name).append(" (").append(suffix).append(")");
    return out;
}

}  // namespace tw::engine

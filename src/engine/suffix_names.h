#pragma once
// The names the domain-suffix report shows beside each suffix (".de" as "Germany (.de)"), read
// from "suffixdata.dat" in the data folder.
//
// File format: one entry a line, lines ended by CR, LF or both; a line is the name, one
// separator character, then the suffix from its "." on. The name is everything before the
// line's first "." less one character, so a name cannot hold a "." itself.
//
// Loaded once before a run and only read during it; not safe to load while others read.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tw::engine {

class SuffixNames {
  public:
    static constexpr const char* kFileName = "suffixdata.dat";
    // A real table is a few kilobytes; anything far bigger is not one, and is not read.
    static constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

    // Adds the entries of `text`; a suffix seen again, here or in an earlier call, takes the
    // later name.
    void parse(std::string_view text);
    // Replaces the table with the file's entries. A file that is missing, unreadable or too
    // big leaves the table empty and gives false, so the caller can say why the report shows
    // bare suffixes; the run goes on either way. An empty file is not a failure.
    bool load(const std::string& path);

    // "Name (.xx)" when the suffix is known (compared ignoring ASCII case) and has a name;
    // otherwise the suffix alone. The suffix is shown as the caller spelt it.
    std::string label(std::string_view suffix) const;
    // The name of a suffix, or null when it is not in the table.
    const std::string* find(std::string_view suffix) const;

    std::size_t size() const { return names_.size(); }
    void clear() { names_.clear(); }

  private:
    // Keyed by the lowercased suffix with its ".". A plain map rather than one of the analysis
    // tables: a few hundred entries, read once per report row, never under the analysis lock.
    std::unordered_map<std::string, std::string> names_;
};

}  // namespace tw::engine

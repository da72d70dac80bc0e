#pragma once
// Well-formedness as a real XML parser sees it (Python's, present wherever the tests run),
// rather than as our own writer believes it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tw::exporter::test {

inline ::testing::AssertionResult parsesAsXml(const std::string& text,
                                              const std::filesystem::path& scratch) {
    static int serial = 0;
    const std::filesystem::path file = scratch / ("check" + std::to_string(++serial) + ".xml");
    const std::filesystem::path errors = file.string() + ".err";
    std::ofstream(file, std::ios::binary) << text;
    const std::string command =
        "python3 -c 'import sys,xml.etree.ElementTree as E; E.parse(sys.argv[1])' '" +
        file.string() + "' 2>'" + errors.string() + "'";
    if (std::system(command.c_str()) == 0) return ::testing::AssertionSuccess();
    std::ifstream in(errors);
    return ::testing::AssertionFailure()
           << "not well-formed: "
           << std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
           << "in: " << text.substr(0, 400);
}

// Every "<svg ...>...</svg>" element of a page, in order.
inline std::vector<std::string> svgElements(const std::string& page) {
    std::vector<std::string> out;
    for (std::size_t at = page.find("<svg"); at != std::string::npos;
         at = page.find("<svg", at + 1)) {
        const std::size_t end = page.find("</svg>", at);
        if (end == std::string::npos) break;
        out.push_back(page.substr(at, end + 6 - at));
    }
    return out;
}

inline std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace tw::exporter::test

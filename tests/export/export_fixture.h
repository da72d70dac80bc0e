#pragma once
// A document analysed from a small generated log, for the export tests.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "document/document.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"

namespace tw::exporter::test {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/tallyweb-export-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string logLine(const std::string& host, const std::string& page, int second,
                           const std::string& referrer = "-",
                           const std::string& agent = "Mozilla/4.0 (compatible; MSIE 5.0)") {
    const std::string s = second < 10 ? "0" + std::to_string(second) : std::to_string(second);
    return host + " - - [10/Oct/2020:13:55:" + s + " +0000] \"GET " + page +
           " HTTP/1.0\" 200 100 \"" + referrer + "\" \"" + agent + "\"\n";
}

struct DocumentFixture {
    TempDir data, logs;
    platform::MemorySettings settings;
    tw::test::FakePrompter prompter;
    tw::test::FakeProgressDialog progress;
    tw::test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    tw::test::ScriptedResolver resolver;
    std::unique_ptr<document::Document> doc;

    DocumentFixture() { settings.setDataFolder(data.path.string()); }

    document::Document& analyse(const std::string& log, config::ReportDefinition d = {}) {
        doc = std::make_unique<document::Document>(document::DocumentServices{settings,
                                                                              prompter,
                                                                              progress,
                                                                              clock,
                                                                              files,
                                                                              sources,
                                                                              measure,
                                                                              spider,
                                                                              resolver,
                                                                              nullptr,
                                                                              {}});
        d.Name = "Weekly";
        d.Path = logs.file("access.log", log);
        d.File = 1;
        d.DefaultPage = "index.html";
        doc->generate(d, ingest::RunMode::Unattended);
        return *doc;
    }
};

}  // namespace tw::exporter::test

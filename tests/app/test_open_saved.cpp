// Saved reports opened from the headless program: only a regular file that reads whole is a
// report, anything else is refused at once with its message and status 1, and a huge file is
// refused without being read through.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/strings.h"

namespace tw::app {
namespace {

namespace fs = std::filesystem;

struct Home {
    fs::path dir;
    Home() {
        char pattern[] = "/tmp/tallyweb-open-XXXXXX";
        dir = mkdtemp(pattern);
    }
    ~Home() { fs::remove_all(dir); }
};

struct CliRun {
    int status = -1;
    bool timedOut = false;
    long peakKib = 0;  // the program's peak resident memory
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Runs the program with `args` in an environment of the test's own, killing it after 20 s:
// a program that hangs fails the test rather than holding it.
CliRun runCli(const Home& home, const std::vector<std::string>& args) {
    std::vector<std::string> env = {"HOME=" + home.dir.string(),
                                    "XDG_CONFIG_HOME=" + (home.dir / "config").string(),
                                    "XDG_DATA_HOME=" + (home.dir / "data").string()};
    if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
    std::vector<char*> envp, argv = {const_cast<char*>(TALLYWEB_CLI)};
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> own = args;
    for (std::string& a : own) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string errFile = (home.dir / "err").string();

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int out = ::open("/dev/null", O_WRONLY);
        if (err < 0 || out < 0 || ::dup2(err, 2) < 0 || ::dup2(out, 1) < 0) ::_exit(126);
        ::execve(TALLYWEB_CLI, argv.data(), envp.data());
        ::_exit(127);
    }
    CliRun r;
    if (pid < 0) return r;
    int raw = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::wait4(pid, &raw, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            r.timedOut = true;
            ::kill(pid, SIGKILL);
            ::wait4(pid, &raw, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.peakKib = usage.ru_maxrss;
    r.err = slurp(errFile);
    return r;
}

std::string incomplete(const std::string& file) {
    return platform::format(platform::text(platform::sid::SavedFileIncomplete).data(),
                            file.c_str());
}

// The console shows a tab as it comes; compare the message up to it, and the file name after.
void expectIncomplete(const CliRun& r, const std::string& file) {
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string text = incomplete(file);
    EXPECT_NE(r.err.find(text.substr(0, text.find('\t'))), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(platform::txt::FailedToOpenDocument), std::string::npos) << r.err;
}

TEST(OpenSaved, OnlyARegularFileThatReadsWholeOpens) {
    Home home;
    const fs::path log = home.dir / "access.log";
    std::ofstream(log) << "192.0.2.7 - - [10/Oct/2020:13:55:36 +0000] \"GET /a.html HTTP/1.0\" "
                          "200 100\n"
                          "192.0.2.8 - - [10/Oct/2020:13:55:37 +0000] \"GET /b.html HTTP/1.0\" "
                          "200 300\n";
    const std::string whole = (home.dir / "whole.twb").string();
    CliRun r = runCli(home, {"--save", whole, log.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    r = runCli(home, {"--open", whole});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Opened " + whole), std::string::npos) << r.err;

    const std::string bytes = slurp(whole);
    const std::string empty = (home.dir / "empty.twb").string();
    std::ofstream(empty).flush();
    expectIncomplete(runCli(home, {"--open", empty}), empty);
    const std::string half = (home.dir / "half.twb").string();
    std::ofstream(half, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    expectIncomplete(runCli(home, {"--open", half}), half);

    // Nobody writes to the FIFO: a program that waited for its bytes would be killed above.
    const std::string fifo = (home.dir / "pipe.twb").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    r = runCli(home, {"--open", fifo});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a regular file: " + fifo), std::string::npos) << r.err;

    // 1 GiB files that take no disk room: all zeros (too old a version), and a good version
    // with zeros behind it (damaged where the first table should start). Either read through
    // would take that much memory.
    const auto sparse = [&](const std::string& name, const std::string& head) {
        const std::string file = (home.dir / name).string();
        std::ofstream(file, std::ios::binary) << head;
        EXPECT_EQ(::truncate(file.c_str(), off_t{1} << 30), 0);
        return file;
    };
    const std::string zeros = sparse("zeros.twb", "");
    r = runCli(home, {"--open", zeros});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(platform::text(platform::sid::SavedFileTooOld)), std::string::npos)
        << r.err;
    EXPECT_LT(r.peakKib, 200 * 1024);
    const std::string headed = sparse("headed.twb", std::string("\x09\0\0\0", 4));
    r = runCli(home, {"--open", headed});
    expectIncomplete(r, headed);
    EXPECT_LT(r.peakKib, 200 * 1024);
}

}  // namespace
}  // namespace tw::app

#include "support/local_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace tw::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr auto kStartLimit = std::chrono::seconds(15);

std::filesystem::path makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tallyweb-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    return pattern;
}

bool acceptsConnections(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace

ScratchDir::ScratchDir() : path_(makeTempDir()) {}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchDir::write(const std::string& relative, const std::string& content,
                                        long long mtime) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    if (mtime != 0) {
        timespec times[2] = {{static_cast<time_t>(mtime), 0}, {static_cast<time_t>(mtime), 0}};
        utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
    return file;
}

LocalServer::~LocalServer() {
    stop();
}

void LocalServer::start(const std::string& script, const std::vector<std::string>& arguments) {
    if (access(kPython, X_OK) != 0) {
        unavailable_ = true;
        error_ = std::string(kPython) + " is not installed";
        return;
    }
    if (access(script.c_str(), R_OK) != 0) {
        error_ = "cannot read the server script " + script;
        return;
    }
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return;
    }
    std::vector<std::string> argvText = {kPython, "-I", script};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdinFd_ = in[1];
    stdoutFd_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        error_ = std::string("cannot start ") + kPython + ": " + std::strerror(rc);
        return;
    }

    // The first line says where the server listens, or why it cannot run here.
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error_ = "the server did not say its port in time";
            return;
        }
        pollfd p{stdoutFd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
        if (n <= 0) {
            error_ = "the server ended before it said its port";
            return;
        }
        line.append(buffer, static_cast<std::size_t>(n));
    }
    line.erase(line.find('\n'));
    if (line.rfind("UNAVAILABLE ", 0) == 0) {
        unavailable_ = true;
        error_ = line.substr(12);
        return;
    }
    if (line.rfind("PORT ", 0) != 0) {
        error_ = "unexpected first line from the server: " + line;
        return;
    }
    const int port = std::atoi(line.c_str() + 5);
    while (!acceptsConnections(port)) {
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "the server does not accept connections on port " + std::to_string(port);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    port_ = port;
}

void LocalServer::stop() {
    if (stdinFd_ >= 0) close(stdinFd_);
    stdinFd_ = -1;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        pid_t done = 0;
        while ((done = waitpid(pid_, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (done == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
    if (stdoutFd_ >= 0) close(stdoutFd_);
    stdoutFd_ = -1;
    port_ = 0;
}

LocalFtpServer::LocalFtpServer(const std::string& script, FtpServerOptions options)
    : options_(std::move(options)) {
    const int fd = [&] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tallyweb-ftp-XXXXXX").string();
        const int f = mkstemp(pattern.data());
        if (f >= 0) log_ = pattern;
        return f;
    }();
    if (fd >= 0) close(fd);
    std::vector<std::string> args = {"ftp",         "--root",     options_.root.string(), "--user",
                                     options_.user, "--password", options_.password};
    if (!options_.startDirectory.empty()) {
        args.push_back("--start");
        args.push_back(options_.startDirectory);
    }
    if (!options_.mlsd) args.push_back("--no-mlsd");
    if (!log_.empty()) {
        args.push_back("--log");
        args.push_back(log_.string());
    }
    start(script, args);
}

LocalFtpServer::~LocalFtpServer() {
    if (!log_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(log_, ignored);
    }
}

std::vector<std::string> LocalFtpServer::commands() const {
    std::vector<std::string> out;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

LocalHttpServer::LocalHttpServer(const std::string& script, HttpServerOptions options) {
    std::vector<std::string> args = {"http", "--root", options.root.string()};
    if (!options.authPrefix.empty()) {
        args.insert(args.end(), {"--auth-prefix", options.authPrefix, "--user", options.user,
                                 "--password", options.password});
    }
    start(script, args);
}

}  // namespace tw::test

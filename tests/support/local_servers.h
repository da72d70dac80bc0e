#pragma once
// Real FTP and HTTP servers on 127.0.0.1 for tests, run by tests/support/servers.py (its header
// says what each server can be asked to do). Each server listens on a port the system picks,
// so tests may run side by side; the destructor stops and reaps it.
//
// A machine without /usr/bin/python3 (or, for FTP, without pyftpdlib) cannot run them:
// unavailable() is then true and error() says why, for GTEST_SKIP. Any other failure to start
// is a failure (running() false, unavailable() false).
#include <sys/types.h>
#include <filesystem>
#include <string>
#include <vector>

// In a GoogleTest test: skips when this machine cannot run the server at all, fails when it
// could but the server did not start.
#define TALLYWEB_REQUIRE_SERVER(server)                                                  \
    do {                                                                                 \
        if ((server).unavailable()) GTEST_SKIP() << (server).error();                    \
        ASSERT_TRUE((server).running()) << "server did not start: " << (server).error(); \
    } while (0)

namespace tw::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Writes `content` to `relative` (directories created), with the given modification time
    // when it is not 0.
    std::filesystem::path write(const std::string& relative, const std::string& content,
                                long long mtime = 0) const;

  private:
    std::filesystem::path path_;
};

class LocalServer {
  public:
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    bool running() const { return port_ > 0; }
    bool unavailable() const { return unavailable_; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }

  protected:
    LocalServer() = default;
    // Starts `/usr/bin/python3 script arguments...` and waits (a few seconds at most) for its
    // port and for a first accepted connection.
    void start(const std::string& script, const std::vector<std::string>& arguments);

  private:
    void stop();
    pid_t pid_ = -1;
    int stdinFd_ = -1;  // closing it ends the server, even if this process dies
    int stdoutFd_ = -1;
    int port_ = 0;
    bool unavailable_ = false;
    std::string error_;
};

struct FtpServerOptions {
    std::filesystem::path root{};
    std::string user = "tally";
    std::string password = "s3cret";
    std::string startDirectory{};  // the login directory below the root; empty: the root
    bool mlsd = true;              // false: MLSD is answered with 500, as older servers do
};

class LocalFtpServer final : public LocalServer {
  public:
    LocalFtpServer(const std::string& script, FtpServerOptions options);
    ~LocalFtpServer();
    const FtpServerOptions& options() const { return options_; }
    // Every command the server has received so far, in order ("PASS ******" masked).
    std::vector<std::string> commands() const;

  private:
    FtpServerOptions options_;
    std::filesystem::path log_;
};

struct HttpServerOptions {
    std::filesystem::path root{};
    std::string authPrefix{};  // paths beginning with it need `user` and `password`
    std::string user = "tally";
    std::string password = "s3cret";
};

class LocalHttpServer final : public LocalServer {
  public:
    LocalHttpServer(const std::string& script, HttpServerOptions options);
};

}  // namespace tw::test

#pragma once
// Message boxes, questions and one-time notices, answered by whoever fronts the program: the
// desktop window, the command line, or a test.
//
// Contract: called from the user-interface thread, or from a run's job thread while the
// user-interface thread waits in the progress dialog (the implementation then carries the
// prompt over to the user-interface thread). Calls never overlap. Every call blocks until
// answered. Texts arrive fully formatted.
#include <optional>
#include <string>
#include <string_view>

namespace tw::platform {

enum class Icon { None, Information, Warning, Error };
enum class Answer { Ok, Cancel, Yes, No };

// A new login for a server that refused the last one (HTTP 401).
struct LoginAnswer {
    std::string user;
    std::string password;
};

struct NoticeResult {
    Answer answer = Answer::Ok;
    bool doNotRemind = false;  // state of the "&Do not remind me again" box when closed
};

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A message with an OK button; helpContext != 0 adds a Help button for that topic.
    virtual void message(std::string_view text, Icon icon, int helpContext = 0) = 0;
    // caption empty: the application's title.
    virtual void messageWithCaption(std::string_view text, std::string_view caption, Icon icon) = 0;
    virtual Answer askYesNo(std::string_view text, Icon icon) = 0;
    virtual Answer askOkCancel(std::string_view text, Icon icon) = 0;
    virtual Answer askYesNoCancel(std::string_view text, Icon icon) = 0;
    // A notice with a "Do not remind me again" box; okCancel adds a Cancel button.
    virtual NoticeResult notice(std::string_view text, bool okCancel, int helpContext = 0) = 0;
    virtual void openHelp(int helpContext) = 0;
    // Asks for a user name and password for `server` (the last user name offered); empty when
    // the user gives up, and the request is then not retried.
    virtual std::optional<LoginAnswer> askLogin(std::string_view server, std::string_view user) = 0;
};

}  // namespace tw::platform

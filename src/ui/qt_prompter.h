#pragma once
// The desktop program's answers to the program's prompts: message boxes, questions, one-time
// notices and the login dialog.
//
// Threads: every call may come from any thread. Off the user-interface thread the prompt is
// carried over to it and the caller blocks until the user answered, which requires the
// user-interface thread to run an event loop meanwhile (it does: it waits in a progress dialog).
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/prompts.h"

namespace tw::ui {

class QtPrompter final : public platform::Prompter {
  public:
    explicit QtPrompter(QWidget* parent) : parent_(parent) {}
    // Where the help pages are (see HelpWindow); without one, asking for help shows nothing.
    void setHelpFolder(QString folder) { helpFolder_ = std::move(folder); }

    void message(std::string_view text, platform::Icon icon, int helpContext = 0) override;
    void messageWithCaption(std::string_view text, std::string_view caption,
                            platform::Icon icon) override;
    platform::Answer askYesNo(std::string_view text, platform::Icon icon) override;
    platform::Answer askOkCancel(std::string_view text, platform::Icon icon) override;
    platform::Answer askYesNoCancel(std::string_view text, platform::Icon icon) override;
    platform::NoticeResult notice(std::string_view text, bool okCancel,
                                  int helpContext = 0) override;
    void openHelp(int helpContext) override;
    std::optional<platform::LoginAnswer> askLogin(std::string_view server,
                                                  std::string_view user) override;

  private:
    // The window the prompt stands over: the topmost modal dialog when there is one (a run's
    // progress dialog), else the window given.
    QWidget* owner() const;
    QPointer<QWidget> parent_;
    QString helpFolder_;
};

// Converts a program text for display; carriage returns of the stored texts are dropped.
QString toDisplay(std::string_view text);

}  // namespace tw::ui

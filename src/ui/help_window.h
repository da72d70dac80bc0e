#pragma once
// The help shipped with the program: HTML pages in one folder, shown in a browser window of our
// own so that links between the pages, Back and Forward work without a web browser.
//
// One window per program: asking for another topic shows it in the window already open. The
// window is not modal, so help can stay open beside a wizard or a message. User-interface
// thread only.
#include <QDialog>
#include <QString>

class QTextBrowser;

namespace tw::ui {

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    // The folder the pages are read from: the installed one beside the program when it exists,
    // else `fallback` (the source tree's, for a program run from its build folder).
    static QString findFolder(const QString& fallback);

    // Shows `topic` (see presentation/help_topics.h) from the pages in `folder`, opening the
    // window when it is not open. Returns the window.
    static HelpWindow* showTopic(const QString& folder, int topic, QWidget* parent = nullptr);
    // The window now open, or null.
    static HelpWindow* current();

    QTextBrowser* browser() const { return browser_; }

  private:
    explicit HelpWindow(QWidget* parent);
    void show(const QString& folder, int topic);

    QTextBrowser* browser_;
};

}  // namespace tw::ui

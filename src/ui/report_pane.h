#pragma once
// A view in the right pane of the main window. The frame asks for a pane of the kind the fill
// step chose and keeps the one it has when the kind is unchanged; every fill step is followed
// by load(), which shows the document's report table as it now stands.
//
// Threads: the user-interface thread only. A pane reads the document during load() and keeps
// copies of what it shows; it never holds on to the document between loads.
#include <QWidget>
#include <functional>
#include <string>

#include "document/document.h"
#include "platform/prompts.h"
#include "presentation/report_rows.h"

namespace tw::ui {

// What a pane needs beyond the document: where messages go, and how an address is opened in
// the browser (false when it could not be). Both outlive the pane.
struct PaneServices {
    platform::Prompter& prompter;
    std::function<bool(const std::string& address)> openAddress;
};

class ReportPane : public QWidget {
  public:
    using QWidget::QWidget;
    virtual presentation::ViewKind kind() const = 0;
    virtual void load(const document::Document& document) = 0;

    // The Copy command: whether it is enabled now, and carrying it out (the clipboard is left
    // as it was when it cannot be written).
    virtual bool canCopy() const { return false; }
    virtual void copySelection() {}
    // The Launch command (enabled where the pane lists rows), and its check mark.
    virtual bool canLaunch() const { return false; }
    virtual void launch() {}
    virtual bool launchArmed() const { return false; }
};

}  // namespace tw::ui

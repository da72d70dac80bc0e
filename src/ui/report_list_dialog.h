#pragma once
// The Report List dialog: the stored report definitions as a table, with Add, Edit, Copy,
// Delete, "Generate Report" and Cancel. Everything the buttons do is the report list's; this
// window only shows its rows and keeps the table's selection and the list's in step.
//
// An unattended start names the report to generate: once the dialog is on the screen it is
// generated without a click when the list has it; otherwise the list's message is shown and
// the dialog stays for the user (requestMissed() then tells the caller to forget the name).
#include <QDialog>
#include <optional>
#include <string>

#include "config/report_list.h"
#include "platform/prompts.h"
#include "platform/settings.h"

class QPushButton;
class QTableWidget;

namespace tw::ui {

class ReportListDialog : public QDialog {
    Q_OBJECT

  public:
    ReportListDialog(platform::SettingsProfile& settings, platform::Prompter& prompter,
                     std::optional<std::string> requested, QWidget* parent = nullptr);

    // The definition "Generate Report" chose; empty unless the dialog closed with OK.
    std::optional<config::ReportDefinition> chosen() const { return chosen_; }
    bool requestMissed() const { return requestMissed_; }

  public slots:
    // Cancel, Escape and the close button: the list may ask whether to save its changes first.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void fill();
    void addReport();
    void editReport();
    void copyReport();
    void deleteReport();
    void generate();
    void generateRequested();
    void selectionChanged();

    platform::SettingsProfile& settings_;
    platform::Prompter& prompter_;
    std::optional<std::string> requested_;
    config::ReportList list_;
    std::optional<config::ReportDefinition> chosen_;
    bool requestMissed_ = false;
    bool filling_ = false;
    QTableWidget* table_;
};

}  // namespace tw::ui

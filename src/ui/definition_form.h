#pragma once
// A plain tabbed form over every field of one report definition, for adding and editing rows of
// the report list. OK applies the checks of the report wizard's pages, in page order; a refused
// page shows its message and puts the focus on the field at fault instead of closing.
#include <QDialog>

#include "config/report_definition.h"
#include "config/wizard_checks.h"
#include "platform/prompts.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;

namespace tw::ui {

class DefinitionForm : public QDialog {
    Q_OBJECT

  public:
    DefinitionForm(const config::ReportDefinition& initial, platform::Prompter& prompter,
                   QWidget* parent = nullptr);

    // The definition as the form shows it; after OK, with the values the checks tidied.
    config::ReportDefinition definition() const;

  public slots:
    void accept() override;

  private:
    QWidget* buildSourceTab();
    QWidget* buildSiteTab();
    QWidget* buildTrackedTab();
    QWidget* buildTreeTab();
    QWidget* buildExportTab();
    void load(const config::ReportDefinition& def);
    // The first refused page of `def`, in the wizard's page order; tidies `def` on the way.
    config::PageCheck check(config::ReportDefinition& def) const;
    QWidget* widgetFor(config::PageField field) const;

    platform::Prompter& prompter_;
    config::FilterList filters_;
    QTabWidget* tabs_;
    QComboBox* local_;
    QComboBox* file_;
    QLineEdit* path_;
    QLineEdit* sitename_;
    QLineEdit* username_;
    QLineEdit* password_;
    QCheckBox* passwordProtected_;
    QCheckBox* apache_;
    QLineEdit* domain_;
    QLineEdit* defaultPage_;
    QCheckBox* dns_;
    QLineEdit* name_;
    QPlainTextEdit* tracked_;
    QComboBox* internet_;
    QLineEdit* root_;
    QSpinBox* depth_;
    QCheckBox* export_;
    QComboBox* exportType_;
    QLineEdit* exportLocation_;
    QComboBox* serviceType_;
    QLineEdit* exportUser_;
    QLineEdit* exportPassword_;
};

}  // namespace tw::ui

#pragma once
// The form that edits one filter: include or exclude, its kind, and the values of that kind,
// with the filter's one-line description kept up to date beneath them.
//
// OK stays disabled while the values would not make a usable filter; the reason is shown in
// the form instead of a message box, so nothing modal stacks on top of it. Child widgets carry
// object names ("include", "kind", "text", "choices", "agentText", "begin", "end", "weekday",
// "hour", "ampm", "method", "low", "high", "description", "problem") for the tests.
#include <QDialog>

#include "config/filter.h"

class QComboBox;
class QDateTimeEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QStackedWidget;

namespace tw::ui {

class FilterForm : public QDialog {
    Q_OBJECT

  public:
    explicit FilterForm(const config::Filter& initial, QWidget* parent = nullptr);

    // The filter as the form shows it; fields its kind does not use are 0 or empty.
    config::Filter filter() const;

    void accept() override;

  private:
    QWidget* makeTextPage();
    QWidget* makeAgentPage();
    QWidget* makeDatePage();
    QWidget* makeWeekdayPage();
    QWidget* makeHourPage();
    QWidget* makeMethodPage();
    QWidget* makeStatusPage();
    void load(const config::Filter& f);
    void kindChanged();
    void refresh();

    QComboBox* include_ = nullptr;
    QComboBox* kind_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* textPrompt_ = nullptr;
    QLineEdit* text_ = nullptr;
    QListWidget* choices_ = nullptr;
    QLineEdit* agentText_ = nullptr;
    QDateTimeEdit* begin_ = nullptr;
    QDateTimeEdit* end_ = nullptr;
    QComboBox* weekday_ = nullptr;
    QComboBox* hour_ = nullptr;
    QComboBox* ampm_ = nullptr;
    QComboBox* method_ = nullptr;
    QSpinBox* low_ = nullptr;
    QSpinBox* high_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* problem_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace tw::ui

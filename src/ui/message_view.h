#pragma once
// What the right pane shows when there is no table: the product banner and a message, such as
// why the selected entry has no report.
#include <QString>

#include "ui/report_pane.h"

namespace tw::ui {

class MessageView final : public ReportPane {
    Q_OBJECT
  public:
    explicit MessageView(QWidget* parent = nullptr);

    presentation::ViewKind kind() const override { return presentation::ViewKind::Message; }
    void load(const document::Document& document) override;

    // The text as drawn.
    const QString& text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect bannerRect() const;

    QString text_;
};

}  // namespace tw::ui

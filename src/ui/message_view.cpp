#include "ui/message_view.h"

#include <QLinearGradient>
#include <QPainter>

namespace tw::ui {

namespace {
constexpr int kBannerWidth = 360;
constexpr int kBannerHeight = 64;
}  // namespace

MessageView::MessageView(QWidget* parent) : ReportPane(parent) {
    // Drawn over whatever is behind the pane.
    setAutoFillBackground(false);
}

void MessageView::load(const document::Document& document) {
    const presentation::ReportTable& table = document.table();
    text_ = QString::fromStdString(table.message.empty() ? table.title : table.message);
    // Some messages break their lines the Windows way; the painter wants plain line feeds.
    text_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    update();
}

QRect MessageView::bannerRect() const {
    const int w = std::min(kBannerWidth, width());
    return {(width() - w) / 2, 0, w, kBannerHeight};
}

void MessageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRect banner = bannerRect();
    QLinearGradient band(banner.topLeft(), banner.topRight());
    band.setColorAt(0, QColor(16, 56, 120));
    band.setColorAt(1, QColor(44, 128, 196));
    p.fillRect(banner, band);
    QFont product(QStringLiteral("Arial"), 22, QFont::Bold);
    p.setFont(product);
    p.setPen(Qt::white);
    p.drawText(banner, Qt::AlignCenter, QStringLiteral("Tallyweb"));

    const int side = width() / 10;
    const int top = banner.bottom() + 1 + height() / 10;
    const QRect box(side, top, width() - 2 * side, std::max(0, height() - top));
    p.setFont(QFont(QStringLiteral("Arial"), 12));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text_);
}

}  // namespace tw::ui

#include "ui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>

#include "presentation/catalogue.h"

namespace tw::ui {
namespace {

const QColor kInk(40, 60, 110);
const QColor kPaper(250, 250, 245);
const QColor kFolder(232, 190, 80);
const QColor kAccent(0, 0, 153);

QPixmap canvas(int size) {
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    return p;
}

void folder(QPainter& g, bool open) {
    g.setPen(QPen(kFolder.darker(160), 1));
    g.setBrush(kFolder);
    g.drawRect(1, 4, 13, 10);
    g.drawRect(1, 3, 5, 2);
    if (open) {
        QPainterPath flap;
        flap.moveTo(3, 14);
        flap.lineTo(5, 7);
        flap.lineTo(15, 7);
        flap.lineTo(13, 14);
        flap.closeSubpath();
        g.setBrush(kFolder.lighter(125));
        g.drawPath(flap);
    }
}

void sheet(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(3, 1, 10, 14);
    for (int y = 4; y <= 12; y += 3) g.drawLine(5, y, 11, y);
}

void bars(QPainter& g) {
    g.setPen(Qt::NoPen);
    const std::array<int, 3> heights{6, 11, 8};
    for (int i = 0; i < 3; ++i) {
        g.setBrush(i == 1 ? kAccent : kInk.lighter(160));
        g.drawRect(2 + 4 * i, 15 - heights[static_cast<std::size_t>(i)], 3,
                   heights[static_cast<std::size_t>(i)]);
    }
}

void clock(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawEllipse(1, 1, 13, 13);
    g.drawLine(8, 8, 8, 4);
    g.drawLine(8, 8, 11, 9);
}

void calendar(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(1, 3, 13, 11);
    g.setBrush(kAccent);
    g.drawRect(1, 3, 13, 3);
    g.setPen(Qt::NoPen);
    g.setBrush(kInk);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) g.drawRect(3 + 3 * c, 8 + 3 * r, 2, 2);
}

void globe(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(QColor(170, 205, 240));
    g.drawEllipse(1, 1, 13, 13);
    g.setBrush(Qt::NoBrush);
    g.drawEllipse(5, 1, 5, 13);
    g.drawLine(1, 8, 14, 8);
}

void people(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(QColor(120, 160, 210));
    g.drawEllipse(3, 2, 5, 5);
    g.drawRoundedRect(1, 8, 9, 7, 3, 3);
    g.setBrush(QColor(90, 130, 190));
    g.drawEllipse(9, 4, 4, 4);
    g.drawRoundedRect(8, 9, 7, 6, 2, 2);
}

void magnifier(QPainter& g) {
    g.setPen(QPen(kInk, 2));
    g.setBrush(kPaper);
    g.drawEllipse(2, 2, 8, 8);
    g.drawLine(9, 9, 14, 14);
}

void treeIcon(QPainter& g) {
    g.setPen(QPen(kAccent, 1));
    g.drawLine(4, 4, 4, 12);
    g.drawLine(4, 8, 10, 8);
    g.drawLine(4, 12, 10, 12);
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(1, 1, 6, 4);
    g.drawRect(9, 6, 6, 4);
    g.drawRect(9, 10, 6, 4);
}

void pie(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kInk.lighter(170));
    g.drawEllipse(1, 1, 13, 13);
    g.setBrush(kAccent);
    g.drawPie(1, 1, 13, 13, 90 * 16, 120 * 16);
}

void picker(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(1, 1, 13, 13);
    for (int y = 4; y <= 11; y += 3) {
        g.setBrush(y == 7 ? kAccent : kInk.lighter(160));
        g.drawRect(3, y, 2, 2);
        g.drawLine(7, y + 1, 12, y + 1);
    }
}

void exportSheet(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(1, 1, 9, 13);
    for (int y = 4; y <= 10; y += 3) g.drawLine(3, y, 8, y);
    g.setPen(QPen(kAccent, 2));
    g.drawLine(7, 9, 14, 9);
    g.drawLine(11, 6, 14, 9);
    g.drawLine(11, 12, 14, 9);
}

void copySheets(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper.darker(110));
    g.drawRect(1, 1, 8, 10);
    g.setBrush(kPaper);
    g.drawRect(6, 5, 8, 10);
    for (int y = 8; y <= 12; y += 2) g.drawLine(8, y, 12, y);
}

void grid(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(1, 2, 13, 12);
    g.setBrush(kAccent);
    g.drawRect(1, 2, 13, 3);
    for (int y = 8; y <= 11; y += 3) g.drawLine(1, y, 14, y);
    g.drawLine(6, 5, 6, 14);
}

QIcon paint(void (*draw)(QPainter&)) {
    QPixmap p = canvas(16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing, true);
    draw(g);
    g.end();
    return QIcon(p);
}

}  // namespace

QIcon reportIcon(int index) {
    switch (index) {
        case presentation::kClosedFolderIcon:
            return paint([](QPainter& g) { folder(g, false); });
        case presentation::kOpenFolderIcon:
            return paint([](QPainter& g) { folder(g, true); });
        case 3:
            return paint(clock);
        case 5:
            return paint(globe);
        case 6:
            return paint(calendar);
        case 9:
            return paint(people);
        case 11:
        case 13:
            return paint(pie);
        case 12:
        case 15:
            return paint(magnifier);
        case 16:
            return paint(treeIcon);
        case 7:
        case 10:
            return paint(bars);
        default:
            return paint(sheet);
    }
}

QIcon commandIcon(CommandIcon command) {
    switch (command) {
        case CommandIcon::SwitchReports:
            return paint(picker);
        case CommandIcon::Open:
            return paint([](QPainter& g) { folder(g, true); });
        case CommandIcon::Export:
            return paint(exportSheet);
        case CommandIcon::Copy:
            return paint(copySheets);
        case CommandIcon::ChartView:
            return paint(grid);
        case CommandIcon::GraphView:
            return paint(bars);
    }
    return paint(sheet);
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap p = canvas(size);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing, true);
        g.scale(size / 16.0, size / 16.0);
        g.setPen(Qt::NoPen);
        g.setBrush(kAccent);
        g.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
        g.setBrush(QColor(255, 210, 80));
        const std::array<int, 3> heights{5, 10, 7};
        for (int i = 0; i < 3; ++i)
            g.drawRect(QRectF(3 + 3.5 * i, 13 - heights[static_cast<std::size_t>(i)], 2.5,
                              heights[static_cast<std::size_t>(i)]));
        g.end();
        icon.addPixmap(p);
    }
    return icon;
}

}  // namespace tw::ui

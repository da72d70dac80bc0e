#include "ui/help_window.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "presentation/help_topics.h"

namespace tw::ui {

namespace {
QPointer<HelpWindow> tOpen;
}  // namespace

QString HelpWindow::findFolder(const QString& fallback) {
    // An installed program finds its pages under share/ beside its bin/ folder.
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../share/tallyweb/help"));
    if (QFileInfo::exists(installed + QStringLiteral("/index.html")))
        return QDir::cleanPath(installed);
    return fallback;
}

HelpWindow* HelpWindow::current() {
    return tOpen.data();
}

HelpWindow* HelpWindow::showTopic(const QString& folder, int topic, QWidget* parent) {
    if (!tOpen) tOpen = new HelpWindow(parent);
    tOpen->show(folder, topic);
    return tOpen.data();
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
    setWindowTitle(tr("Tallyweb Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    browser_->setObjectName(QStringLiteral("helpText"));
    browser_->setOpenExternalLinks(true);

    auto* back = new QPushButton(tr("&Back"), this);
    auto* forward = new QPushButton(tr("&Forward"), this);
    auto* contents = new QPushButton(tr("&Contents"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* row = new QHBoxLayout;
    row->addWidget(back);
    row->addWidget(forward);
    row->addWidget(contents);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addLayout(row);
    resize(640, 560);
}

void HelpWindow::show(const QString& folder, int topic) {
    const presentation::HelpPage page = presentation::helpPage(topic);
    browser_->setSearchPaths({folder});
    QUrl url = QUrl::fromLocalFile(QDir(folder).absoluteFilePath(
        QString::fromUtf8(page.file.data(), static_cast<qsizetype>(page.file.size()))));
    if (!page.anchor.empty())
        url.setFragment(
            QString::fromUtf8(page.anchor.data(), static_cast<qsizetype>(page.anchor.size())));
    browser_->setSource(url);
    QDialog::show();
    raise();
    activateWindow();
}

}  // namespace tw::ui

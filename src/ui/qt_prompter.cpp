#include "ui/qt_prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <utility>

#include "platform/strings.h"
#include "ui/help_window.h"
#include "ui/ui_text.h"

namespace tw::ui {

using platform::Answer;
using platform::Icon;

namespace {

// Runs `f` on the user-interface thread and waits for it; directly when already there.
template <typename F>
void onGuiThread(F&& f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Error:
            return QMessageBox::Critical;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

Answer answerOf(QMessageBox::StandardButton button, Answer onEscape) {
    switch (button) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return onEscape;
    }
}

QString caption(std::string_view text) {
    return toDisplay(text.empty() ? platform::txt::AppTitle : text);
}

// Shows the box until it is closed by another button than Help, which opens its topic and
// leaves the box on the screen.
QMessageBox::StandardButton run(QMessageBox& box, QtPrompter& prompter, int helpContext) {
    if (helpContext != 0) box.addButton(QMessageBox::Help);
    for (;;) {
        box.exec();
        const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
        if (pressed != QMessageBox::Help) return pressed;
        prompter.openHelp(helpContext);
    }
}

}  // namespace

QString toDisplay(std::string_view text) {
    QString s = fromText(text);
    s.remove(QLatin1Char('\r'));
    return s;
}

QWidget* QtPrompter::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return parent_.data();
}

void QtPrompter::message(std::string_view text, Icon icon, int helpContext) {
    onGuiThread([&] {
        QMessageBox box(boxIcon(icon), caption({}), toDisplay(text), QMessageBox::Ok, owner());
        run(box, *this, helpContext);
    });
}

void QtPrompter::messageWithCaption(std::string_view text, std::string_view title, Icon icon) {
    onGuiThread([&] {
        QMessageBox box(boxIcon(icon), caption(title), toDisplay(text), QMessageBox::Ok, owner());
        box.exec();
    });
}

namespace {

Answer ask(QWidget* owner, std::string_view text, Icon icon, QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton escape, Answer onEscape) {
    QMessageBox box(boxIcon(icon), caption({}), toDisplay(text), buttons, owner);
    box.setEscapeButton(escape);
    box.exec();
    return answerOf(box.standardButton(box.clickedButton()), onEscape);
}

}  // namespace

Answer QtPrompter::askYesNo(std::string_view text, Icon icon) {
    Answer answer = Answer::No;
    onGuiThread([&] {
        answer = ask(owner(), text, icon, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                     Answer::No);
    });
    return answer;
}

Answer QtPrompter::askOkCancel(std::string_view text, Icon icon) {
    Answer answer = Answer::Cancel;
    onGuiThread([&] {
        answer = ask(owner(), text, icon, QMessageBox::Ok | QMessageBox::Cancel,
                     QMessageBox::Cancel, Answer::Cancel);
    });
    return answer;
}

Answer QtPrompter::askYesNoCancel(std::string_view text, Icon icon) {
    Answer answer = Answer::Cancel;
    onGuiThread([&] {
        answer = ask(owner(), text, icon, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                     QMessageBox::Cancel, Answer::Cancel);
    });
    return answer;
}

platform::NoticeResult QtPrompter::notice(std::string_view text, bool okCancel, int helpContext) {
    platform::NoticeResult result;
    onGuiThread([&] {
        QMessageBox box(QMessageBox::Information, caption({}), toDisplay(text),
                        okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                        owner());
        // The box takes ownership of the check box.
        auto* remind = new QCheckBox(toDisplay(platform::txt::DoNotRemind));
        box.setCheckBox(remind);
        box.setEscapeButton(okCancel ? QMessageBox::Cancel : QMessageBox::Ok);
        const QMessageBox::StandardButton pressed = run(box, *this, helpContext);
        result.answer = okCancel ? answerOf(pressed, Answer::Cancel) : Answer::Ok;
        result.doNotRemind = remind->isChecked();
    });
    return result;
}

// The program ships no help files yet, so a help request shows nothing.
void QtPrompter::openHelp(int helpContext) {
    if (helpFolder_.isEmpty()) return;
    onGuiThread([&] { HelpWindow::showTopic(helpFolder_, helpContext, parent_.data()); });
}

std::optional<platform::LoginAnswer> QtPrompter::askLogin(std::string_view server,
                                                          std::string_view user) {
    std::optional<platform::LoginAnswer> answer;
    onGuiThread([&] {
        QDialog dialog(owner());
        dialog.setWindowTitle(caption({}));
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(
            QStringLiteral("%1 refused the login. Enter another one:").arg(toDisplay(server))));
        auto* form = new QFormLayout;
        auto* userEdit = new QLineEdit(toDisplay(user));
        userEdit->setObjectName(QStringLiteral("user"));
        auto* passwordEdit = new QLineEdit;
        passwordEdit->setObjectName(QStringLiteral("password"));
        passwordEdit->setEchoMode(QLineEdit::Password);
        form->addRow(QStringLiteral("&User name:"), userEdit);
        form->addRow(QStringLiteral("&Password:"), passwordEdit);
        layout->addLayout(form);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(buttons);
        if (dialog.exec() == QDialog::Accepted)
            answer = platform::LoginAnswer{userEdit->text().toStdString(),
                                           passwordEdit->text().toStdString()};
    });
    return answer;
}

}  // namespace tw::ui

#pragma once
// The modal progress dialog a background job reports to: a main text, a bar with its
// percentage, optionally the reverse-lookup status line, and Cancel.
//
// Threads: progress(), status() and completed() come from the job thread and never wait for
// the user-interface thread. progress() leaves its values for the dialog, which takes the
// newest of them every kRefreshMs (a new main text is sent at once); on the dialog's own thread
// they are applied at once. status() and completed() arrive as queued signals, completed()
// after every value sent before it. waitUntilShown() blocks the job thread; exec() runs the
// dialog's event loop on the user-interface thread, so the window keeps repainting and the
// job's prompts get answered while the job works.
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "platform/progress.h"

class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace tw::ui {

class QtProgressDialog final : public QDialog, public platform::ProgressDialog {
    Q_OBJECT

  public:
    static constexpr int kRefreshMs = 30;

    explicit QtProgressDialog(QWidget* parent);

    void progress(int percent, std::optional<std::string_view> text) override;
    void status(std::string_view text) override;
    void completed() override;
    void waitUntilShown() override;
    void exec(Layout layout) override;

  signals:
    void textArrived();
    void statusArrived(const QString& text);
    void completionArrived();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  public slots:
    // Escape and the window's close button ask like Cancel; only completion closes the dialog.
    void reject() override;

  private:
    void applyProgress(int percent, const QString& text, bool hasText);
    void takePending();
    void applyStatus(const QString& text);
    void finish();
    void confirmCancel();
    void setShown(bool shown);

    QLabel* mainText_;
    QProgressBar* bar_;
    QLabel* percentText_;
    QLabel* statusCaption_;
    QLabel* statusText_;
    QPushButton* cancel_;
    QPointer<QMessageBox> confirmation_;
    int percent_ = -1;
    bool finished_ = false;

    QTimer refresh_;

    std::mutex mutex_;
    std::condition_variable shownChanged_;
    bool shown_ = false;
    // The job's newest values, not yet on screen.
    struct Pending {
        bool dirty = false;
        int percent = 0;
        bool hasText = false;
        QString text;
        bool sent = false;  // a textArrived() not yet handled
    } pending_;
};

}  // namespace tw::ui

#pragma once
// Answers modal dialogs in widget tests: every active modal widget is handed to the handler,
// every 10 ms, for as long as the driver lives.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>

namespace tw::ui {

class ModalDriver {
  public:
    explicit ModalDriver(std::function<void(QWidget*)> handler) : handler_(std::move(handler)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) handler_(w);
        });
        timer_.start(10);
    }

  private:
    std::function<void(QWidget*)> handler_;
    QTimer timer_;
};

}  // namespace tw::ui

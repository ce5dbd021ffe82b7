#pragma once
// The application's error box for exceptions that escape a handler or the start-up.

#include <QApplication>
#include <exception>

namespace qv {

// The text shown for an exception: its message for a std::exception, else empty.
QString ExceptionMessage(std::exception_ptr error);
void ShowExceptionBox(std::exception_ptr error);

// Shows the box for an exception thrown by a handler and goes on with the message loop.
class GuardedApplication final : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace qv

#include "app/ExceptionBox.h"

#include <QMessageBox>

namespace qv {

QString ExceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QString();
    }
}

void ShowExceptionBox(std::exception_ptr error) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), ExceptionMessage(error));
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowExceptionBox(std::current_exception());
        return false;
    }
}

}  // namespace qv

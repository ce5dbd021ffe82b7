#include "app/KeyRoute.h"

#include <QKeyEvent>

namespace qv {

int VirtualKeyOf(const QKeyEvent& event) {
    const int key = event.key();
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kVkReturn;
        case Qt::Key_Insert:
            return kVkInsert;
        case Qt::Key_Delete:
            return kVkDelete;
        default:
            break;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return key;  // Qt and virtual-key codes agree for these
    }
    return 0;
}

KeyRoute::KeyRoute(QObject* control, Handler handler)
    : QObject(control), handler_(std::move(handler)) {
    control->installEventFilter(this);
}

bool KeyRoute::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        handler_(watched, VirtualKeyOf(*static_cast<QKeyEvent*>(event)));
    }
    return false;
}

}  // namespace qv

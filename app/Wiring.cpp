#include "app/Wiring.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <memory>

namespace qv {

void ConnectClick(QObject* owner, QAbstractButton* control, ClickHandler handler) {
    if (qobject_cast<QCheckBox*>(control) != nullptr) {
        QObject::connect(control, &QAbstractButton::toggled, owner,
                         [control, handler](bool) { handler(control); });
    } else if (qobject_cast<QRadioButton*>(control) != nullptr) {
        QObject::connect(control, &QAbstractButton::toggled, owner, [control, handler](bool on) {
            if (on) handler(control);
        });
        // A click on the button that is already checked runs the handler too (it takes the
        // range edits again, for one); it changes no state, so `toggled` does not tell of it.
        auto checkedAtPress = std::make_shared<bool>(false);
        QObject::connect(control, &QAbstractButton::pressed, owner,
                         [control, checkedAtPress] { *checkedAtPress = control->isChecked(); });
        QObject::connect(control, &QAbstractButton::clicked, owner,
                         [control, handler, checkedAtPress] {
                             if (*checkedAtPress) handler(control);
                         });
    } else {
        QObject::connect(control, &QAbstractButton::clicked, owner,
                         [control, handler] { handler(control); });
    }
}

void RouteKeyDown(QWidget* control, KeyRoute::Handler handler) {
    new KeyRoute(control, std::move(handler));
}

}  // namespace qv

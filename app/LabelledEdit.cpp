#include "app/LabelledEdit.h"

#include <QLabel>
#include <QLineEdit>

namespace qv {

void SetLabelledEnabled(QLineEdit* edit, bool enabled) {
    edit->setEnabled(enabled);
    if (auto* caption = edit->parentWidget()->findChild<QLabel*>(edit->objectName() +
                                                                 QStringLiteral("Label"))) {
        caption->setEnabled(enabled);
    }
}

}  // namespace qv

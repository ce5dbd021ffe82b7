#include "app/FittedText.h"

#include <QFontMetrics>
#include <QLabel>

namespace qv {

bool TextFits(const QLabel* label) {
    if (label->wordWrap()) return label->heightForWidth(label->width()) <= label->height();
    const QSize hint = label->sizeHint();
    return hint.width() <= label->width() && hint.height() <= label->height();
}

void ShowFitted(QLabel* label, const QString& text) {
    label->setWordWrap(true);
    label->setText(text);
    label->setToolTip(QString());
    if (TextFits(label)) return;
    const QFontMetrics metrics(label->font());
    // Each try gives the shortened text a narrower budget until the wrapped result fits.
    for (int budget = metrics.horizontalAdvance(text); budget > 0 && !TextFits(label);
         budget -= metrics.averageCharWidth()) {
        label->setText(metrics.elidedText(text, Qt::ElideMiddle, budget));
    }
    label->setToolTip(text);
}

}  // namespace qv

#include "app/Colors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace qv {

QColor ButtonFaceColor() {
    return QApplication::palette().color(QPalette::Button);
}

void SetPanelColor(QWidget* panel, const QColor& color) {
    QPalette palette = panel->palette();
    palette.setColor(panel->backgroundRole(), color);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
}

}  // namespace qv

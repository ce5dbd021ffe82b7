#pragma once
// The colours of the presence indicator.

#include <QColor>

class QWidget;

namespace qv {

inline const QColor kColorGrey{0x80, 0x80, 0x80};
inline const QColor kColorLime{0x00, 0xFF, 0x00};

// The system button-face colour: the indicator's colour while no device is present.
QColor ButtonFaceColor();
// Fills the panel's background with `color`.
void SetPanelColor(QWidget* panel, const QColor& color);

}  // namespace qv

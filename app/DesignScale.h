#pragma once
// The Designer forms place every control in pixels at 96 per inch. With Qt's high-DPI scaling
// on, Qt draws the whole window larger on a denser screen; with it off, fonts grow with the
// screen's pixels per inch while the pixels of the forms stay, so texts no longer fit. Scaling
// the forms by the same ratio as the fonts gives them back their room.

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace qv {

// The screen's pixels per inch over 96; 1 on a screen of 96 or less.
double DesignScale(int logicalDpi);

QPoint Scaled(QPoint point, double scale);
QSize Scaled(QSize size, double scale);
// Scales the rectangle's edges, so controls that touch at 96 per inch still touch.
QRect Scaled(const QRect& rect, double scale);

// Scales the control's position and size (and a grid's cells). The forms give fonts in points,
// which follow the screen by themselves.
void ScaleControl(QWidget* control, double scale);
// Scales every control inside `root` (not `root` itself), the cells of grids included.
void ScaleControlsInside(QWidget* root, double scale);

}  // namespace qv

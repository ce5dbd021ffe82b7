#include "app/DesignScale.h"

#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace qv {

namespace {

constexpr double kDesignDpi = 96;

int Scaled(int value, double scale) {
    return static_cast<int>(std::lround(value * scale));
}

// Controls whose children come from the form (group boxes, panels, pages), not from Qt itself.
bool HoldsFormControls(const QWidget* control) {
    const QMetaObject* type = control->metaObject();
    return qobject_cast<const QGroupBox*>(control) != nullptr ||
           type == &QFrame::staticMetaObject || type == &QWidget::staticMetaObject;
}

void ScaleCells(QTableWidget* grid, double scale) {
    for (QHeaderView* header : {grid->horizontalHeader(), grid->verticalHeader()}) {
        // A new default size resizes the sections that have it; the others keep theirs.
        std::vector<int> sizes;
        for (int i = 0; i < header->count(); ++i) sizes.push_back(header->sectionSize(i));
        // Rounded down: sections that keep the default size must never add up to more than the
        // scaled grid.
        header->setMinimumSectionSize(static_cast<int>(header->minimumSectionSize() * scale));
        header->setDefaultSectionSize(static_cast<int>(header->defaultSectionSize() * scale));
        // Each section from its scaled edges, so that the sections still add up to the scaled
        // whole instead of gaining a pixel of rounding each.
        int edge = 0;
        for (int i = 0; i < header->count(); ++i) {
            const int next = edge + sizes[static_cast<std::size_t>(i)];
            header->resizeSection(i, Scaled(next, scale) - Scaled(edge, scale));
            edge = next;
        }
    }
}

}  // namespace

double DesignScale(int logicalDpi) {
    return std::max(1.0, logicalDpi / kDesignDpi);
}

QPoint Scaled(QPoint point, double scale) {
    return {Scaled(point.x(), scale), Scaled(point.y(), scale)};
}

QSize Scaled(QSize size, double scale) {
    return {Scaled(size.width(), scale), Scaled(size.height(), scale)};
}

QRect Scaled(const QRect& rect, double scale) {
    const QPoint topLeft = Scaled(rect.topLeft(), scale);
    const QPoint end = Scaled(rect.topLeft() + QPoint(rect.width(), rect.height()), scale);
    return {topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y())};
}

void ScaleControl(QWidget* control, double scale) {
    control->setGeometry(Scaled(control->geometry(), scale));
    if (auto* grid = qobject_cast<QTableWidget*>(control)) ScaleCells(grid, scale);
}

void ScaleControlsInside(QWidget* root, double scale) {
    for (QWidget* control : root->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->objectName().startsWith(QLatin1String("qt_"))) continue;
        ScaleControl(control, scale);
        if (HoldsFormControls(control)) ScaleControlsInside(control, scale);
    }
}

}  // namespace qv

#pragma once
// Texts in labels of fixed size: a long text wraps onto the label's further lines; one that
// still does not fit is shortened in the middle, keeping its end (where a reason stands), and
// its whole text is a hover away in the tooltip.

class QLabel;
class QString;

namespace qv {

void ShowFitted(QLabel* label, const QString& text);
// Whether the label's text, wrapped as the label wraps it, fits inside the label.
bool TextFits(const QLabel* label);

}  // namespace qv

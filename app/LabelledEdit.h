#pragma once
// An edit with a caption label beside it, named after the edit with "Label" appended.

class QLineEdit;

namespace qv {

// Enables a labelled edit together with its caption label.
void SetLabelledEnabled(QLineEdit* edit, bool enabled);

}  // namespace qv

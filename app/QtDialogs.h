#pragma once
// The message boxes and file dialogs on the screen.

#include <QStringList>

#include "app/Dialogs.h"

namespace qv {

class QtDialogs final : public Dialogs {
  public:
    void ShowMessage(const QString& text) override;
    bool ConfirmWarning(const QString& text) override;
    bool ConfirmStop(const QString& text) override;
    void ShowError(const QString& text) override;
    std::optional<QString> OpenFile(const FileDialogRequest& request) override;
    std::optional<QString> SaveFile(const FileDialogRequest& request) override;
};

// "Hex File|*.hex;*.h00|Binary File|*.bin" as Qt name filters:
// {"Hex File (*.hex *.h00)", "Binary File (*.bin)"}.
QStringList QtNameFilters(const QString& filter);

}  // namespace qv

#pragma once
// The window's message boxes and file dialogs, behind one interface so that tests can answer
// them. QtDialogs shows the real ones.

#include <QString>
#include <optional>

namespace qv {

// A file dialog as the form declares it: filter in "Name|*.a;*.b|Name|*.c" form and the
// default extension ("*.hex").
struct FileDialogRequest {
    const char* filter;
    const char* defaultExt;
};

inline constexpr FileDialogRequest OpenBinFileDialog{"Hex File|*.hex;*.h00|Binary File|*.bin",
                                                     "*.hex"};
inline constexpr FileDialogRequest SaveBinFIleDialog{"Binary File|*.bin", "*.bin"};
// "Read Flash" writes a text dump of the flash, not its bytes.
inline constexpr FileDialogRequest SaveFlashDumpDialog{"Flash Dump (text)|*.txt", "*.txt"};

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // Caption "Dialog", one OK button, no owner window: only "no device" and "no program file".
    virtual void ShowMessage(const QString& text) = 0;
    // Caption "Warning", warning icon, OK (default) and Cancel; true on OK.
    virtual bool ConfirmWarning(const QString& text) = 0;
    // Caption "Warning", warning icon, the buttons "Stop the update" and "Continue the update"
    // (the default, and what Escape or the close box answers); true to stop.
    virtual bool ConfirmStop(const QString& text) = 0;
    // The application's error box (caption: the application's name), as for a number that does
    // not convert; every refusal of bad input uses it too, so they all look alike.
    virtual void ShowError(const QString& text) = 0;
    // The chosen full file name, or nothing when the user cancels.
    virtual std::optional<QString> OpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> SaveFile(const FileDialogRequest& request) = 0;
};

}  // namespace qv

// The update panel's firmware file: the catalogue file of the product found, and the name of the
// image "Start" writes. Loads are all or nothing: a file that cannot be opened or is refused
// leaves the image, its length and its path as they were, and says why.

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "app/Colors.h"
#include "app/FirmwareFileLoad.h"
#include "app/FittedText.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "catalog/FirmwareFiles.h"
#include "flash/UpdateSequences.h"
#include "system/CurrentDirectory.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {

// What the panel calls a firmware file: by its extension, as the loaders choose.
QString FileKind(const QString& fileName) {
    return fileName.section(QLatin1Char('.'), -1).startsWith(QLatin1Char('b'), Qt::CaseInsensitive)
               ? QStringLiteral("Bin file")
               : QStringLiteral("Hex file");
}

}  // namespace

// Only while "Start" can write the image: until the product is found, the next catalogue load
// names its file, and after the update the panel keeps naming what was written.
void TForm1::ShowProgramImage(const QString& name, const QString& kind) {
    unit_.programImageName = name;
    if (!unit_.firmwareFileReady || unit_.updateFinished) return;
    ShowFitted(panel_->lblUpdaeFileStatus, QStringLiteral("Update ") + kind +
                                               QStringLiteral("   ") + name +
                                               QStringLiteral("    is Ready!"));
}

void TForm1::ShowProgramFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    ShowProgramImage(name, FileKind(name));
}

// Beside the program first, where README-Windows tells a technician to put the file (a
// shortcut or the Start menu starts the window in another folder), then the current folder; a
// folder is looked in once. Paths are in the system's narrow encoding, as the loaders open them.
std::vector<std::string> TForm1::FirmwareFolders() {
    std::vector<std::string> folders;
    if (!unit_.programFolder.empty()) folders.push_back(unit_.programFolder);
    // A current folder that was deleted holds no file; the panel names what was looked in.
    const Expected<std::string> current = CurrentDirectory();
    if (!current.ok()) return folders;
    const auto same = [&](const std::string& folder) {
        return QDir(QString::fromLocal8Bit(folder)) == QDir(QString::fromLocal8Bit(*current));
    };
    if (std::none_of(folders.begin(), folders.end(), same)) folders.push_back(*current);
    return folders;
}

// The catalogue firmware file of the product detection found, from the first of
// FirmwareFolders() that holds it. While it is missing or refused, "Start" stays disabled, the
// panel says why (naming the folders looked in), and the next tick tries again.
void TForm1::ReadProgramFile1() {
    Ui::UpdatePanel& panel = *panel_;
    const QString fileName = QString::fromStdString(
        CatalogFirmwareFileName(static_cast<std::size_t>(unit_.catalogIndex)));
    const std::vector<std::string> folders = FirmwareFolders();
    std::string path;
    QStringList lookedIn;
    for (const std::string& folder : folders) {
        const std::string candidate = folder + PathSeparator() + fileName.toStdString();
        if (QFileInfo::exists(QString::fromLocal8Bit(candidate))) {
            path = candidate;
            break;
        }
        lookedIn << QString::fromLocal8Bit(folder);
    }
    if (path.empty()) {
        // No folder at all: there is no program folder and the current one was deleted.
        if (lookedIn.isEmpty())
            lookedIn << QStringLiteral("the current folder, which cannot be read");
        ShowFitted(panel.lblUpdaeFileStatus, QStringLiteral("No Updated File !"));
        ShowUpdateProblem(fileName + QStringLiteral(" is not in ") +
                          lookedIn.join(QStringLiteral(" nor in ")));
        return;
    }
    FirmwareImage& image = unit_.firmwareImage;
    const LoadResult result = LoadFirmwareFile(image, path);
    if (!result.ok()) {
        ShowFitted(panel.lblUpdaeFileStatus, QStringLiteral("No Updated File !"));
        ShowUpdateProblem(QStringLiteral("Cannot use ") + QString::fromStdString(result.text()));
        return;
    }
    // A refusal of an earlier try goes; the outcome of an update stays.
    ShowFitted(panel.lblISPProcStatus, unit_.updateOutcome);
    image.path = path;
    SetPanelColor(panel.pnlUSBExist, kColorLime);
    unit_.firmwareFileReady = true;
    unit_.programFileReady = true;
    ShowProgramFile(fileName);
    panel.btnSimpleAuto->setEnabled(true);
    // Enter starts the update unless the focus is already somewhere else.
    if (focusWidget() == nullptr) panel.btnSimpleAuto->setFocus();
}

QString TForm1::UpdateQuestion() const {
    const QString question = QString::fromUtf8(kUpdateWarningText);
    if (!unit_.usb.InPropertyMode()) return question;  // a bare chip takes any file
    const auto fileRow = OtherProductOfFirmwareFile(unit_.firmwareImage.path, unit_.catalogIndex);
    if (!fileRow) return question;
    return QString::fromStdString(
               OtherProductFirmwareText(unit_.firmwareImage.path, *fileRow, unit_.catalogIndex) +
               ".\n\n") +
           question;
}

}  // namespace qv

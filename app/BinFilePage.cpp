// Gen. Bin File page: loads a firmware file into the modify image and looks for its
// user-parameter table; " Save" puts the built-in default image back at the start of both
// images. Both change the image "Start" writes too, and the update panel says so.

#include "app/BinFilePage.h"

#include <algorithm>

#include "app/Dialogs.h"
#include "app/FirmwareFileLoad.h"
#include "app/UnitState.h"
#include "app/Wiring.h"
#include "image/DefaultImage.h"
#include "image/ParameterTableScan.h"
#include "ui_BinFilePage.h"

namespace qv {

BinFilePage::BinFilePage(const PageContext& context)
    : ServicePage(context), binFilePage_(std::make_unique<Ui::BinFilePage>()) {
    binFilePage_->setupUi(this);
    ConnectBinFilePage();
}

BinFilePage::~BinFilePage() = default;

void BinFilePage::FormCreate() {
    btnSaveBinClick(this);
}

void BinFilePage::ConnectBinFilePage() {
    Ui::BinFilePage& page = *binFilePage_;
    ConnectClick(this, page.CurrentFileBitBtn, &BinFilePage::CurrentFileBitBtnClick);
    ConnectClick(this, page.btnCheck, &BinFilePage::btnCheckClick);
    ConnectClick(this, page.btnSaveBitBin, &BinFilePage::btnSaveBitBinClick);
    ConnectClick(this, page.btnSaveBin, &BinFilePage::btnSaveBinClick);
}

void BinFilePage::CurrentFileBitBtnClick(QObject*) {
    const std::optional<QString> chosen = dialogs_.OpenFile(OpenBinFileDialog);
    if (!chosen) return;
    unit_.ModifyFileName = *chosen;
    if (!ReadModifyFile()) return;

    Ui::BinFilePage& page = *binFilePage_;
    if (FindUserParameterTable(unit_.modifyImage)) {
        page.GroupBox9->setEnabled(true);
        page.btnSaveBitBin->setEnabled(true);
        page.lblStatusReport->setText(QStringLiteral("Load file ready"));
    } else {
        page.lblStatusReport->setText(QStringLiteral("Load file is invalid for modify"));
    }
}

bool BinFilePage::ReadModifyFile() {
    Ui::BinFilePage& page = *binFilePage_;
    page.lblCurrentFilePath->setText(unit_.ModifyFileName);

    FirmwareImage& image = unit_.firmwareImage;
    const LoadResult result = LoadFirmwareFile(image, unit_.ModifyFileName.toStdString());
    if (!result.ok()) {
        page.lblStatusReport->setText(QString::fromStdString(result.text()));
        return false;
    }
    ModifyImage& modify = unit_.modifyImage;
    modify.data.assign(image.data.begin(), image.data.begin() + image.length);
    modify.length = image.length;
    modify.erasedFrom = image.length;
    page.btnCheck->setEnabled(true);
    host_.ShowProgramFile(unit_.ModifyFileName);
    return true;
}

void BinFilePage::btnCheckClick(QObject*) {
    Ui::BinFilePage& page = *binFilePage_;
    page.lblSaveDone->setText(QString());
    if (FindUserParameterTable(unit_.modifyImage)) page.GroupBox9->setEnabled(true);
}

void BinFilePage::btnSaveBitBinClick(QObject*) {
    const std::optional<QString> chosen = dialogs_.SaveFile(SaveBinFIleDialog);
    if (!chosen) return;
    unit_.NewBinFileName = *chosen;
    binFilePage_->lblSaveBinPath->setText(unit_.NewBinFileName);
    binFilePage_->btnSaveBin->setEnabled(true);
}

// The image to program then holds the whole default image (a shorter file would cut it off),
// followed by what a longer file had past it.
void BinFilePage::btnSaveBinClick(QObject*) {
    const QString defaultName = QStringLiteral("built-in default image");
    FirmwareImage& image = unit_.firmwareImage;
    QString name = defaultName;
    if (image.length > kDefaultImageSize) {
        name = unit_.programImageName.startsWith(defaultName)
                   ? unit_.programImageName
                   : defaultName + QStringLiteral(" + ") + unit_.programImageName +
                         QStringLiteral(" past 32 KB");
    }
    CopyDefaultImage(image);
    image.length = std::max<std::uint32_t>(image.length, kDefaultImageSize);
    CopyDefaultImage(unit_.modifyImage);
    host_.ShowProgramImage(name, QStringLiteral("image"));
}

}  // namespace qv

// ISP page: the flash access range and the page's file buttons.

#include "app/Dialogs.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "ui_IspPage.h"

namespace qv {

namespace {
constexpr std::uint32_t kWholeImageRange = 0x8000;
constexpr std::uint32_t kKilobyte = 1024;
// The largest range edit whose byte count still fits 32 bits.
constexpr std::uint32_t kMaxRangeKilobytes = 0xFFFFFFFFu / kKilobyte;
}  // namespace

void TForm1::ConnectIspPage() {
    Ui::IspPage& isp = *ispPage_;
    ConnectClick(isp.rbnRange0, &TForm1::rbnRangeClick);
    ConnectClick(isp.rbnRange1, &TForm1::rbnRangeClick);
    ConnectClick(isp.USBLoadFileBitBtn, &TForm1::USBLoadFileBitBtnClick);
    ConnectClick(isp.Button1, &TForm1::btnSaveBinClick);
}

void TForm1::rbnRangeClick(QObject*) {
    Ui::IspPage& isp = *ispPage_;
    const bool assigned = !isp.rbnRange0->isChecked();
    SetLabelledEnabled(isp.lbledISPStart, assigned);
    SetLabelledEnabled(isp.lbledISPRange, assigned);
    isp.Label20->setEnabled(assigned);
    isp.Label21->setEnabled(assigned);

    if (!assigned) {
        unit_.flashRangeStart = 0;
        unit_.flashRangeSize = kWholeImageRange;
        return;
    }
    // Each value is taken as soon as it converts, so a good start stays set before a bad size.
    for (auto [edit, target] : {std::pair{isp.lbledISPStart, &unit_.flashRangeStart},
                                std::pair{isp.lbledISPRange, &unit_.flashRangeSize}}) {
        const auto kilobytes = ConvertDecimal(edit->text());
        if (!kilobytes) return;
        if (*kilobytes > kMaxRangeKilobytes) {
            dialogs_.ShowError(
                QStringLiteral("'%1' KB is beyond the 4 GiB address range").arg(edit->text()));
            return;
        }
        *target = *kilobytes * kKilobyte;
    }
}

}  // namespace qv

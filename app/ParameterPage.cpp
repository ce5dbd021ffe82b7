// Parameter page: the audio output settings record and the product ids and strings.

#include "app/TForm1.h"
#include "app/UnitState.h"
#include "ui_ParameterPage.h"

namespace qv {

// Shows SystemSettings in the page's controls. Every setting handler derives its bits from the
// controls' state, so a handler run by this refresh leaves the record unchanged.
void TForm1::UpdateParameterPage() {
    Ui::ParameterPage& page = *parameterPage_;
    const std::array<std::uint8_t, 4>& settings = unit_.SystemSettings;
    const std::uint8_t output = settings[0];
    const std::uint8_t switches = settings[1];

    page.lblEepAvail->setText((settings[3] & 0x80) != 0 ? QStringLiteral("EEPROM Exist")
                                                        : QStringLiteral("EEPROM not Available"));
    ((output & 0x01) != 0 ? page.rbnI2Slen0 : page.rbnI2Slen1)->setChecked(true);
    ((output & 0x02) != 0 ? page.rbnSPDIFlen0 : page.rbnSPDIFlen1)->setChecked(true);
    page.chkI2SLRSwap->setChecked((output & 0x04) != 0);
    page.chkDSDLRSwap->setChecked((output & 0x08) != 0);
    ((output & 0x40) != 0 ? page.rbnI2SFormat1 : page.rbnI2SFormat0)->setChecked(true);
    ((output & 0x80) != 0 ? page.rbnDSDOut0 : page.rbnDSDOut1)->setChecked(true);
    const int mclk = (output >> 4) & 0x03;
    if (auto* button = findChild<QRadioButton*>(QStringLiteral("rbnMCLKOutFreq%1").arg(mclk))) {
        button->setChecked(true);
    }
    page.chkMCLKOutOff->setChecked((switches & 0x80) != 0);
    page.chkI2SOutOff->setChecked((switches & 0x40) != 0);
    page.chkSPDIFOutOff->setChecked((switches & 0x20) != 0);
}

}  // namespace qv

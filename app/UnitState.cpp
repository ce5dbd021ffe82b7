#include "app/UnitState.h"

#include "chip/AudioStatus.h"

namespace qv {

UnitState::UnitState(DeviceApi& deviceApi)
    : api(deviceApi),
      usb(deviceApi),
      connectTexts{QString::fromLatin1(kConnectTexts[0]), QString::fromLatin1(kConnectTexts[1])},
      muteTexts{QString::fromLatin1(kMuteTexts[0]), QString::fromLatin1(kMuteTexts[1])},
      formatTexts{QString::fromLatin1(kFormatTexts[0]), QString::fromLatin1(kFormatTexts[1])} {
    for (int format = 0; format < 2; ++format) {
        for (int code = 0; code < 16; ++code) {
            freqTexts[format][code] = QString::fromLatin1(RateName(format, code));
        }
    }
}

}  // namespace qv

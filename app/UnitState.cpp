#include "app/UnitState.h"

namespace qv {

namespace {

// Rate names by 4-bit rate code, PCM row then DSD row; "" stands for eight blanks.
constexpr std::array<std::array<const char*, 16>, 2> kRateNames{{
    {" 44.1KHz", "   48KHz", " 88.2KHz", "   96KHz", "176.4KHz", "  192KHz", "352.8KHz", "  384KHz",
     "705.6KHz", "  768KHz", "", "", "", "", "", ""},
    {" DoP  64", " DoP 128", " DoP 256", " DoP 512", "", "", "", "", " DSD  64", " DSD 128",
     " DSD 256", " DSD 512", "", "", "", ""},
}};

}  // namespace

UnitState::UnitState(DeviceApi& deviceApi)
    : api(deviceApi),
      usb(deviceApi),
      connectTexts{QStringLiteral("USB connected"), QStringLiteral("USB Disconnected")},
      muteTexts{QStringLiteral("Playing"), QStringLiteral("Mute")},
      formatTexts{QStringLiteral("PCM"), QStringLiteral("DSD")} {
    for (std::size_t format = 0; format < kRateNames.size(); ++format) {
        for (std::size_t code = 0; code < kRateNames[format].size(); ++code) {
            const QString name = QString::fromLatin1(kRateNames[format][code]);
            freqTexts[format][code] = name.isEmpty() ? QString(8, QLatin1Char(' ')) : name;
        }
    }
}

}  // namespace qv

#include "app/ServicePage.h"

#include "app/Dialogs.h"
#include "app/HexText.h"
#include "app/TypedNumberField.h"
#include "app/UnitState.h"

namespace qv {

ServicePage::ServicePage(const PageContext& context)
    : unit_(context.unit), dialogs_(context.dialogs), host_(context.host) {}

std::optional<std::uint32_t> ServicePage::ConvertTypedHex(const QString& text) {
    const auto value = TypedHexValue(text);
    if (!value) dialogs_.ShowError(InvalidIntegerMessage(QStringLiteral("0x") + text));
    return value;
}

std::optional<std::uint32_t> ServicePage::ConvertTypedByte(const QString& text) {
    const auto value = ConvertTypedHex(text);
    if (value && *value > 0xFF) {
        dialogs_.ShowError(ByteRangeMessage(text));
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> ServicePage::ConvertDecimal(const QString& text) {
    const auto value = TypedDecimalValue(text);
    if (!value) dialogs_.ShowError(InvalidIntegerMessage(text));
    return value;
}

// What qvtool says of a slave that does not answer, in the error box.
void ServicePage::ShowNoAcknowledge(const QString& what) {
    dialogs_.ShowError(QStringLiteral("The I2C slave at 0x") + HexByte(unit_.i2cSlaveAddress) +
                       QStringLiteral(" did not acknowledge: ") + what);
}

}  // namespace qv

#include "cli/ServiceSupport.h"

namespace qv {

void Refuse(Report& report, const std::string& message) {
    report.Fail(Outcome::kUsage, message + ". Nothing was sent.");
}

std::optional<std::uint32_t> HexArgument(Report& report, const std::string& name,
                                         const std::string& text, std::uint32_t max) {
    const auto value = ParseHex(text);
    if (!value) {
        Refuse(report, name + " '" + text + "' is not a hexadecimal number");
    } else if (*value > max) {
        Refuse(report, name + " " + HexText(*value) + " is above " + HexText(max));
    } else {
        return value;
    }
    return std::nullopt;
}

}  // namespace qv

#include "flash/ReadBackDump.h"

#include "system/OutputFile.h"
#include "text/HexFormat.h"

namespace qv {
namespace {

constexpr std::uint32_t kRowBytes = 16;

// "0xHH, " for each of the 16 bytes, then a carriage return.
void AppendRow(std::string& text, const std::uint8_t* row) {
    for (std::uint32_t k = 0; k < kRowBytes; ++k) {
        text += "0x";
        AppendHexBytes(text, row + k, 1);
        text += ", ";
    }
    text.push_back('\r');
}

}  // namespace

Expected<void> WriteReadBackDump(const std::vector<std::uint8_t>& buffer, std::uint32_t end,
                                 const std::string& path) {
    const auto refuse = [](const std::string& why) {
        return Problem{FailureKind::kOther, "Cannot write " + why};
    };
    const std::uint64_t rowsEnd = (std::uint64_t{end} + kRowBytes - 1) / kRowBytes * kRowBytes;
    if (rowsEnd > buffer.size()) return refuse(path + ": the range passes the buffer");
    const Expected<OutputTarget> target = CheckOutputFile(path);
    if (!target.ok()) return refuse(target.text());
    std::string text;
    text.reserve(rowsEnd / kRowBytes * (kRowBytes * 6 + 1));
    for (std::uint64_t p = 0; p < end; p += kRowBytes) AppendRow(text, buffer.data() + p);
    if (const Expected<void> written = ReplaceFileContents(*target, text); !written.ok())
        return refuse(written.text());
    return {};
}

}  // namespace qv

#include "app/QStringWindows1252.h"

#include "text/Windows1252.h"

namespace qv {

std::optional<std::uint8_t> Windows1252Byte(QChar c) {
    return Windows1252Byte(static_cast<char32_t>(c.unicode()));
}

EncodedText EncodeWindows1252(const QString& text) {
    EncodedText encoded;
    encoded.bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = Windows1252Byte(text[i]);
        if (!byte) {
            // A character beyond the basic plane is named whole, not by half a surrogate pair.
            const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
            encoded.refused = text.mid(i, pair ? 2 : 1);
            break;
        }
        encoded.bytes.push_back(*byte);
    }
    return encoded;
}

}  // namespace qv

#include "platform/DeviceApi.h"

#include <cstdio>

namespace qv {

std::string GuidText(const Guid& guid) {
    const auto& b = guid.bytes;
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

}  // namespace qv

#include "platform/RecordingDeviceApi.h"

#include <cerrno>
#include <cstring>

#include "platform/TrafficLog.h"

namespace qv {

std::unique_ptr<RecordingDeviceApi> RecordingDeviceApi::Create(DeviceApi& inner,
                                                               const std::string& fileName,
                                                               std::string& error) {
    // Binary: the same bytes on every system (no CR LF on Windows).
    std::FILE* file = std::fopen(fileName.c_str(), "ab");
    if (file == nullptr) {
        error = "cannot open the traffic log '" + fileName + "': " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<RecordingDeviceApi>(new RecordingDeviceApi(inner, file));
}

RecordingDeviceApi::~RecordingDeviceApi() {
    std::fclose(file_);
}

// Each line goes out at once, so a capture survives a crash or an unplugged device.
void RecordingDeviceApi::WriteLine(const std::string& line) {
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

DeviceResult RecordingDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    DeviceResult result = Inner().OpenPath(path, handle);
    if (result.ok()) WriteLine(FormatOpenLine(path));
    return result;
}

DeviceResult RecordingDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                           const std::uint8_t* in, std::uint32_t inSize,
                                           std::uint8_t* out, std::uint32_t outSize) {
    DeviceResult result = Inner().IoControl(handle, code, in, inSize, out, outSize);
    WriteLine(FormatTrafficLine(code, in, inSize, outSize, result.ok(), out));
    return result;
}

}  // namespace qv

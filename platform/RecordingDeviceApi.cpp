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

DeviceResult RecordingDeviceApi::OpenInterfaceSet(const Guid& interfaceClass,
                                                  DeviceSetHandle& set) {
    return inner_.OpenInterfaceSet(interfaceClass, set);
}

DeviceResult RecordingDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    return inner_.EnumerateInterface(set, index);
}

DeviceResult RecordingDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                                     std::string& path) {
    return inner_.InterfaceDetailPath(set, index, path);
}

void RecordingDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    inner_.DestroyInterfaceSet(set);
}

DeviceResult RecordingDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    DeviceResult result = inner_.OpenPath(path, handle);
    if (result.ok()) WriteLine(FormatOpenLine(path));
    return result;
}

DeviceResult RecordingDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                           const std::uint8_t* in, std::uint32_t inSize,
                                           std::uint8_t* out, std::uint32_t outSize) {
    DeviceResult result = inner_.IoControl(handle, code, in, inSize, out, outSize);
    WriteLine(FormatTrafficLine(code, in, inSize, outSize, result.ok(), out));
    return result;
}

void RecordingDeviceApi::CloseHandle(FileHandle handle) {
    inner_.CloseHandle(handle);
}

void RecordingDeviceApi::Sleep(std::uint32_t milliseconds) {
    inner_.Sleep(milliseconds);
}

std::string RecordingDeviceApi::CurrentDirectory() {
    return inner_.CurrentDirectory();
}

char RecordingDeviceApi::PathSeparator() const {
    return inner_.PathSeparator();
}

}  // namespace qv

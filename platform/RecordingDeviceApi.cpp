#include "platform/RecordingDeviceApi.h"

#include <cerrno>
#include <cstring>

#include "platform/TrafficLog.h"
#include "system/RegularFile.h"

namespace qv {
namespace {

// Whether a log that already holds lines is one of this version, so lines may be added to it.
bool StartsWithVersionLine(std::FILE* file) {
    std::string first(kTrafficLogVersionLine.size() + 1, '\0');
    if (std::fseek(file, 0, SEEK_SET) != 0) return false;
    const std::size_t got = std::fread(first.data(), 1, first.size(), file);
    return got == first.size() && first.starts_with(kTrafficLogVersionLine) &&
           (first.back() == '\n' || first.back() == '\r');
}

}  // namespace

Expected<std::unique_ptr<RecordingDeviceApi>> RecordingDeviceApi::Create(
    DeviceApi& inner, const std::string& fileName) {
    // Binary: the same bytes on every system (no CR LF on Windows). Writes go to the end.
    const Expected<std::FILE*> opened = OpenRegularFileToAppend(fileName);
    if (!opened.ok())
        return Problem{FailureKind::kOther, "cannot record the traffic log: " + opened.text()};
    std::FILE* file = *opened;
    // Not every file can tell its size (a pipe); such a one is a new log.
    const bool empty = std::fseek(file, 0, SEEK_END) != 0 || std::ftell(file) <= 0;
    if (!empty && !StartsWithVersionLine(file)) {
        std::fclose(file);
        return Problem{FailureKind::kOther,
                       "the traffic log '" + fileName +
                           "' holds something other than a log of this version (\"" +
                           std::string(kTrafficLogVersionLine) +
                           "\" first): record into a new file"};
    }
    std::fseek(file, 0, SEEK_END);  // from reading to writing
    auto recorder =
        std::unique_ptr<RecordingDeviceApi>(new RecordingDeviceApi(inner, file, fileName));
    if (empty) recorder->WriteLine(std::string(kTrafficLogVersionLine));
    // A disk that is full now refuses the log before any traffic.
    if (!recorder->Written().ok()) return recorder->Written().problem();
    return recorder;
}

RecordingDeviceApi::~RecordingDeviceApi() {
    std::fclose(file_);
}

// Each line goes out at once, so a capture survives a crash or an unplugged device. After a
// failed write nothing more is written: a log with a gap would replay as a different session.
void RecordingDeviceApi::WriteLine(const std::string& line) {
    if (!written_.ok()) return;
    errno = 0;
    if (std::fputs(line.c_str(), file_) < 0 || std::fputc('\n', file_) == EOF ||
        std::fflush(file_) != 0) {
        written_ =
            Problem{FailureKind::kOther, "the traffic log '" + name_ + "' could not be written: " +
                                             std::strerror(errno != 0 ? errno : EIO) +
                                             "; it ends before that point"};
    }
}

DeviceResult RecordingDeviceApi::OpenInterfaceSet(const Guid& interfaceClass,
                                                  DeviceSetHandle& set) {
    DeviceResult result = Inner().OpenInterfaceSet(interfaceClass, set);
    const std::string classText = GuidText(interfaceClass);
    WriteLine(FormatListLine(classText, result));
    if (result.ok()) setClasses_[set] = classText;
    return result;
}

// A set the recorder did not see built can only fail; such calls leave no line.
DeviceResult RecordingDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    DeviceResult result = Inner().EnumerateInterface(set, index);
    if (const auto it = setClasses_.find(set); it != setClasses_.end())
        WriteLine(FormatMemberLine(it->second, index, result));
    return result;
}

DeviceResult RecordingDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                                     std::string& path) {
    DeviceResult result = Inner().InterfaceDetailPath(set, index, path);
    if (const auto it = setClasses_.find(set); it != setClasses_.end())
        WriteLine(FormatPathLine(it->second, index, result, path));
    return result;
}

void RecordingDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    setClasses_.erase(set);
    Inner().DestroyInterfaceSet(set);
}

DeviceResult RecordingDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    DeviceResult result = Inner().OpenPath(path, handle);
    WriteLine(FormatOpenLine(path, result));
    return result;
}

DeviceResult RecordingDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                           const std::uint8_t* in, std::uint32_t inSize,
                                           std::uint8_t* out, std::uint32_t outSize) {
    DeviceResult result = Inner().IoControl(handle, code, in, inSize, out, outSize);
    WriteLine(FormatTrafficLine(code, in, inSize, outSize, result, out));
    return result;
}

}  // namespace qv

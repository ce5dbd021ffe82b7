#include "platform/ReplayDeviceApi.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", as an interface path ends with its class.
std::string GuidText(const Guid& guid) {
    const auto& b = guid.bytes;
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

std::string Hex2(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", byte);
    return text;
}

}  // namespace

std::unique_ptr<ReplayDeviceApi> ReplayDeviceApi::Load(const std::string& fileName,
                                                       std::string& error) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        error = "cannot open the traffic log '" + fileName + "'";
        return nullptr;
    }
    std::ostringstream text;
    text << file.rdbuf();
    TrafficLog log;
    if (!ParseTrafficLog(text.str(), log, error)) {
        error = fileName + ", " + error;
        return nullptr;
    }
    if (log.devicePaths.empty()) {
        error = fileName + " opens no device (no '# open' line): nothing to replay";
        return nullptr;
    }
    const std::string name = std::filesystem::path(fileName).filename().string();
    return std::make_unique<ReplayDeviceApi>(std::move(log), name);
}

ReplayDeviceApi::ReplayDeviceApi(TrafficLog log, std::string name)
    : log_(std::move(log)), name_(std::move(name)) {}

DeviceResult ReplayDeviceApi::Verdict() const {
    if (!mismatch_.empty()) return DeviceResult::Failure(FailureKind::kRefused, mismatch_);
    if (next_ < log_.entries.size())
        return DeviceResult::Failure(FailureKind::kOther,
                                     "the tool stopped before the end of the recording: " +
                                         std::to_string(log_.entries.size() - next_) +
                                         " more requests from line " +
                                         std::to_string(log_.entries[next_].line) + " of " + name_);
    return DeviceResult::Success();
}

DeviceResult ReplayDeviceApi::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    std::vector<std::string> members;
    const std::string classText = GuidText(interfaceClass);
    for (const std::string& path : log_.devicePaths)
        if (Lower(path).find(classText) != std::string::npos) members.push_back(path);
    set = nextHandle_++;
    sets_.Add(set, std::move(members));
    return DeviceResult::Success();
}

DeviceResult ReplayDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    return sets_.Enumerate(set, index);
}

DeviceResult ReplayDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                                  std::string& path) {
    return sets_.Path(set, index, path);
}

void ReplayDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    sets_.Destroy(set);
}

DeviceResult ReplayDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    handle = kNoFileHandle;
    if (std::find(log_.devicePaths.begin(), log_.devicePaths.end(), path) == log_.devicePaths.end())
        return DeviceResult::Failure(FailureKind::kNotFound,
                                     "the recording " + name_ + " never opened " + path);
    handle = nextHandle_++;
    handles_[handle] = path;
    return DeviceResult::Success();
}

void ReplayDeviceApi::CloseHandle(FileHandle handle) {
    handles_.erase(handle);
}

std::string ReplayDeviceApi::Difference(const TrafficEntry& entry, std::uint32_t code,
                                        const std::uint8_t* in, std::uint32_t inSize,
                                        std::uint32_t outSize) {
    char text[96];
    if (code != entry.code) {
        std::snprintf(text, sizeof text, "code %08x, recorded %08x", code, entry.code);
        return text;
    }
    const std::uint32_t size = in == nullptr ? 0 : inSize;
    for (std::uint32_t i = 0; i < std::min<std::size_t>(size, entry.input.size()); ++i)
        if (in[i] != entry.input[i])
            return "block byte " + std::to_string(i) + " is " + Hex2(in[i]) + ", recorded " +
                   Hex2(entry.input[i]);
    if (size != entry.input.size())
        return "block of " + std::to_string(size) + " bytes, recorded " +
               std::to_string(entry.input.size());
    if (outSize != entry.outSize)
        return "output length " + std::to_string(outSize) + ", recorded " +
               std::to_string(entry.outSize);
    return {};
}

DeviceResult ReplayDeviceApi::Refuse(std::string mismatch) {
    if (mismatch_.empty()) mismatch_ = std::move(mismatch);
    return DeviceResult::Failure(FailureKind::kRefused, mismatch_);
}

DeviceResult ReplayDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                        const std::uint8_t* in, std::uint32_t inSize,
                                        std::uint8_t* out, std::uint32_t outSize) {
    if (handles_.find(handle) == handles_.end())
        return DeviceResult::Failure(FailureKind::kOther, "no such handle");
    if (!mismatch_.empty()) return Refuse({});
    if (next_ == log_.entries.size())
        return Refuse("a request after the end of the recording " + name_);
    const TrafficEntry& entry = log_.entries[next_];
    if (const std::string difference = Difference(entry, code, in, inSize, outSize);
        !difference.empty())
        return Refuse("the request differs from line " + std::to_string(entry.line) + " of " +
                      name_ + ": " + difference);
    ++next_;
    if (entry.hasOutput && out != nullptr) std::copy(entry.output.begin(), entry.output.end(), out);
    if (entry.ok) return DeviceResult::Success();
    return DeviceResult::Failure(
        FailureKind::kOther,
        "failed in the recording (line " + std::to_string(entry.line) + " of " + name_ + ")");
}

std::string ReplayDeviceApi::CurrentDirectory() {
    return std::filesystem::current_path().string();
}

char ReplayDeviceApi::PathSeparator() const {
    return static_cast<char>(std::filesystem::path::preferred_separator);
}

}  // namespace qv

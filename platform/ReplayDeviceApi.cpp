#include "platform/ReplayDeviceApi.h"

#include <algorithm>
#include <filesystem>

#include "system/OutputFile.h"
#include "system/RegularFile.h"
#include "text/HexFormat.h"
#include "text/LetterCase.h"

namespace qv {
namespace {

// Compares a recorded listing with a request count, by the requests made before it.
struct ByRequestsBefore {
    bool operator()(const TrafficListing& l, std::size_t at) const { return l.entriesBefore < at; }
    bool operator()(std::size_t at, const TrafficListing& l) const { return at < l.entriesBefore; }
};

std::string Hex2(std::uint8_t byte) {
    return HexText(byte, 2, HexCase::kLower);
}

}  // namespace

Expected<std::unique_ptr<ReplayDeviceApi>> ReplayDeviceApi::Load(const std::string& fileName) {
    const auto refuse = [](std::string why) {
        return Problem{FailureKind::kOther, std::move(why)};
    };
    const Expected<std::optional<std::string>> read =
        ReadRegularFile(fileName, kMaxTrafficLogBytes);
    if (!read.ok()) return refuse("cannot replay the traffic log: " + read.text());
    if (!*read) {
        return refuse("cannot replay the traffic log: " + FullPath(fileName) + ": no such file");
    }
    Expected<TrafficLog> parsed = ParseTrafficLog(**read);
    if (!parsed.ok()) return refuse(fileName + ", " + parsed.text());
    TrafficLog& log = *parsed;
    const bool opens = std::any_of(log.entries.begin(), log.entries.end(),
                                   [](const TrafficEntry& entry) { return entry.isOpen; });
    if (log.devicePaths.empty() && !opens)
        return refuse(fileName + " opens no device (no open line): nothing to replay");
    const std::string name = std::filesystem::path(fileName).filename().string();
    return std::make_unique<ReplayDeviceApi>(std::move(log), name);
}

ReplayDeviceApi::ReplayDeviceApi(TrafficLog log, std::string name)
    : log_(std::move(log)), name_(std::move(name)) {}

DeviceResult ReplayDeviceApi::Verdict() const {
    if (!mismatch_.ok()) return mismatch_;
    if (next_ < log_.entries.size())
        return DeviceResult::Failure(FailureKind::kOther,
                                     "the tool stopped before the end of the recording: " +
                                         std::to_string(log_.entries.size() - next_) +
                                         " more requests from " + Where(log_.entries[next_]));
    return DeviceResult::Success();
}

std::string ReplayDeviceApi::Where(const TrafficEntry& entry) const {
    return "line " + std::to_string(entry.line) + " of " + name_;
}

DeviceResult ReplayDeviceApi::Refuse(std::string mismatch) {
    if (mismatch_.ok()) mismatch_ = Problem{FailureKind::kRefused, std::move(mismatch)};
    return mismatch_;
}

DeviceResult ReplayDeviceApi::Recorded(const TrafficEntry& entry) const {
    if (entry.result.ok() || !entry.result.text().empty()) return entry.result;
    return DeviceResult::Failure(entry.result.kind(),
                                 "failed in the recording (" + Where(entry) + ")");
}

TrafficListing ReplayDeviceApi::FirstFormatListing(const std::string& interfaceClass) const {
    TrafficListing listing;
    listing.interfaceClass = interfaceClass;
    std::uint32_t index = 0;
    for (const std::string& path : log_.devicePaths) {
        if (Lower(path).find(interfaceClass) == std::string::npos) continue;
        listing.members[index++] = {DeviceResult::Success(), DeviceResult::Success(), path};
    }
    listing.members[index].exists =
        DeviceResult::Failure(FailureKind::kNoMoreItems, "no more devices");
    return listing;
}

bool ReplayDeviceApi::ListingNow(const std::string& interfaceClass, TrafficListing& listing) {
    if (log_.version == 1) {
        listing = FirstFormatListing(interfaceClass);
        return true;
    }
    if (listingPoint_ != next_) {
        listingsTaken_.clear();
        listingPoint_ = next_;
    }
    // The recorded listings lie in the order of the requests they came between.
    const auto [first, last] =
        std::equal_range(log_.listings.begin(), log_.listings.end(), next_, ByRequestsBefore{});
    std::vector<const TrafficListing*> here;
    for (auto it = first; it != last; ++it)
        if (it->interfaceClass == interfaceClass) here.push_back(&*it);
    if (!here.empty()) {
        std::size_t& taken = listingsTaken_[interfaceClass];
        listing = *here[std::min(taken, here.size() - 1)];
        ++taken;
        return true;
    }
    const auto before = std::find_if(
        std::make_reverse_iterator(first), log_.listings.rend(),
        [&](const TrafficListing& recorded) { return recorded.interfaceClass == interfaceClass; });
    if (before == log_.listings.rend()) return false;
    listing = *before;
    return true;
}

DeviceResult ReplayDeviceApi::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    set = kNoDeviceSet;
    const std::string classText = GuidText(interfaceClass);
    TrafficListing listing;
    if (!ListingNow(classText, listing)) {
        const std::string before =
            next_ < log_.entries.size() ? Where(log_.entries[next_]) : "its end";
        return Refuse("the recording lists no device of class " + classText + " before " + before);
    }
    if (!listing.built.ok()) return listing.built;
    set = nextHandle_++;
    sets_[set] = std::move(listing);
    return DeviceResult::Success();
}

DeviceResult ReplayDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    const auto it = sets_.find(set);
    if (it == sets_.end()) return DeviceResult::Failure(FailureKind::kOther, "no such device set");
    const auto member = it->second.members.find(index);
    if (member == it->second.members.end() || !member->second.exists)
        return Refuse("the recording never asked for member " + std::to_string(index) +
                      " of the devices of class " + it->second.interfaceClass);
    return *member->second.exists;
}

DeviceResult ReplayDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                                  std::string& path) {
    const auto it = sets_.find(set);
    if (it == sets_.end()) return DeviceResult::Failure(FailureKind::kOther, "no such device set");
    const auto member = it->second.members.find(index);
    if (member == it->second.members.end() || !member->second.detail)
        return Refuse("the recording never read the path of member " + std::to_string(index) +
                      " of the devices of class " + it->second.interfaceClass);
    if (member->second.detail->ok()) path = member->second.path;
    return *member->second.detail;
}

void ReplayDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    sets_.erase(set);
}

DeviceResult ReplayDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    handle = kNoFileHandle;
    if (log_.version > 1) return OpenRecorded(path, handle);
    if (std::find(log_.devicePaths.begin(), log_.devicePaths.end(), path) == log_.devicePaths.end())
        return DeviceResult::Failure(FailureKind::kNotFound,
                                     "the recording " + name_ + " never opened " + path);
    handle = nextHandle_++;
    handles_[handle] = path;
    return DeviceResult::Success();
}

DeviceResult ReplayDeviceApi::OpenRecorded(const std::string& path, FileHandle& handle) {
    if (!mismatch_.ok()) return mismatch_;
    if (next_ == log_.entries.size())
        return Refuse("a request after the end of the recording " + name_);
    const TrafficEntry& entry = log_.entries[next_];
    if (!entry.isOpen || entry.path != path)
        return Refuse("the request differs from " + Where(entry) + ": an open of " + path +
                      ", recorded " +
                      (entry.isOpen ? "an open of " + entry.path : std::string("an I/O control")));
    ++next_;
    const DeviceResult result = Recorded(entry);
    if (!result.ok()) return result;
    handle = nextHandle_++;
    handles_[handle] = path;
    return result;
}

void ReplayDeviceApi::CloseHandle(FileHandle handle) {
    handles_.erase(handle);
}

Expected<void> ReplayDeviceApi::SameAsRecorded(const TrafficEntry& entry, std::uint32_t code,
                                               const std::uint8_t* in, std::uint32_t inSize,
                                               std::uint32_t outSize) {
    const auto differs = [](std::string how) {
        return Problem{FailureKind::kRefused, std::move(how)};
    };
    if (entry.isOpen) return differs("an I/O control, recorded an open of " + entry.path);
    if (code != entry.code)
        return differs("code " + HexText(code, 8, HexCase::kLower) + ", recorded " +
                       HexText(entry.code, 8, HexCase::kLower));
    const std::uint32_t size = in == nullptr ? 0 : inSize;
    for (std::uint32_t i = 0; i < std::min<std::size_t>(size, entry.input.size()); ++i)
        if (in[i] != entry.input[i])
            return differs("block byte " + std::to_string(i) + " is " + Hex2(in[i]) +
                           ", recorded " + Hex2(entry.input[i]));
    if (size != entry.input.size())
        return differs("block of " + std::to_string(size) + " bytes, recorded " +
                       std::to_string(entry.input.size()));
    if (outSize != entry.outSize)
        return differs("output length " + std::to_string(outSize) + ", recorded " +
                       std::to_string(entry.outSize));
    return {};
}

DeviceResult ReplayDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                        const std::uint8_t* in, std::uint32_t inSize,
                                        std::uint8_t* out, std::uint32_t outSize) {
    if (handles_.find(handle) == handles_.end())
        return DeviceResult::Failure(FailureKind::kOther, "no such handle");
    if (!mismatch_.ok()) return mismatch_;
    if (next_ == log_.entries.size())
        return Refuse("a request after the end of the recording " + name_);
    const TrafficEntry& entry = log_.entries[next_];
    if (const Expected<void> same = SameAsRecorded(entry, code, in, inSize, outSize); !same.ok())
        return Refuse("the request differs from " + Where(entry) + ": " + same.text());
    ++next_;
    if (entry.hasOutput && out != nullptr) std::copy(entry.output.begin(), entry.output.end(), out);
    return Recorded(entry);
}

}  // namespace qv

#include "usb/QuorvexUsb.h"

#include <cstring>
#include <string>

#include "platform/carriers/RequestBlocks.h"

namespace qv {

void CopyBounded(char* destination, std::size_t capacity, const std::string& text) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(destination, text.data(), n);
    destination[n] = '\0';
}

QuorvexUsb::QuorvexUsb(DeviceApi& api) : api_(api) {
    CopyBounded(idText_, kIdCapacity, kInitialIdText);
}

QuorvexUsb::~QuorvexUsb() {
    Close();
}

void QuorvexUsb::SetIdText(const std::string& text) {
    CopyBounded(idText_, kIdCapacity, text);
}

bool QuorvexUsb::Note(DeviceResult result) {
    if (result.ok()) return true;
    lastFailure_ = std::move(result);
    return false;
}

template <typename OnMatch>
DeviceResult QuorvexUsb::EnumerateMatches(OnMatch onMatch) {
    const Guid& interfaceClass = propertyMode_ ? kProductInterfaceClass : kUsbDeviceInterfaceClass;
    DeviceSetHandle set = kNoDeviceSet;
    DeviceResult opened = api_.OpenInterfaceSet(interfaceClass, set);
    if (!opened.ok()) return opened;
    for (std::uint32_t index = 0; api_.EnumerateInterface(set, index).ok(); ++index) {
        std::string path;
        if (!api_.InterfaceDetailPath(set, index, path).ok()) continue;
        // An empty id text matches nothing.
        if (idText_[0] != '\0' && path.find(idText_) != std::string::npos) onMatch(path);
    }
    api_.DestroyInterfaceSet(set);
    return opened;
}

template <typename OnMatch>
bool QuorvexUsb::Enumerate(OnMatch onMatch) {
    return Note(EnumerateMatches(onMatch));
}

bool QuorvexUsb::StillListed() {
    bool listed = false;
    const DeviceResult result =
        EnumerateMatches([&](const std::string& path) { listed = listed || path == devicePath_; });
    return !result.ok() || listed;
}

void QuorvexUsb::NoteNoMatch() {
    lastFailure_ = DeviceResult::Failure(
        FailureKind::kNotFound, std::string("no device whose path contains \"") + idText_ + "\"");
}

void QuorvexUsb::StartAfresh() {
    ClearLastFailure();
    silentTransfers_ = 0;
    tryOnceMore_ = false;
}

void QuorvexUsb::CountSilence(const DeviceResult& result) {
    // Nothing will be sent any more: every poll loop above ends at once instead of spinning
    // through its time bound on transfers that fail without reaching the device.
    if (result.kind() == FailureKind::kNotSent) {
        silentTransfers_ = kSilenceLimit;
        stoppedFailure_ = result;
        return;
    }
    const bool unanswered =
        result.kind() == FailureKind::kTimedOut || result.kind() == FailureKind::kGone;
    if (!unanswered) {
        silentTransfers_ = 0;
        return;
    }
    if (++silentTransfers_ < kSilenceLimit) return;
    silentTransfers_ = kSilenceLimit;
    stoppedFailure_ = DeviceResult::Failure(
        result.kind(), "the device stopped answering (" + std::to_string(kSilenceLimit) +
                           " transfers in a row failed; the last: " + result.text() + ")");
}

bool QuorvexUsb::Find() {
    StartAfresh();
    ++findCount_;
    openFailure_ = DeviceResult::Success();
    bool matched = false;
    bool result = false;
    const bool listed = Enumerate([&](const std::string& path) {
        matched = true;
        ClearLastFailure();  // an earlier match's failure is not this device's
        CopyBounded(devicePath_, kPathCapacity, path);
        present_ = true;
        result = PresenceTest(devicePath_);
    });
    if (listed && !matched) NoteNoMatch();
    return result;
}

bool QuorvexUsb::Probe() {
    StartAfresh();
    bool matched = false;
    if (!Enumerate([&](const std::string&) { matched = true; })) {
        present_ = false;
        return false;
    }
    if (!matched) NoteNoMatch();
    present_ = matched;
    return matched;
}

bool QuorvexUsb::PresenceTest(const std::string& path) {
    FileHandle handle = kNoFileHandle;
    openFailure_ = api_.OpenPath(path, handle);
    if (!Note(openFailure_)) return false;
    bool ok;
    if (propertyMode_) {
        const auto query = EncodeSupportQuery();
        ok = Note(api_.IoControl(handle, kIoctlKsProperty, query.data(), query.size(), nullptr, 0));
    } else {
        const auto block = EncodeDescriptorQueryBlock();
        std::uint8_t descriptor[kDescriptorLength] = {};
        ok = Note(api_.IoControl(handle, kIoctlPlainIn, block.data(), block.size(), descriptor,
                                 sizeof descriptor));
    }
    api_.CloseHandle(handle);
    return ok;
}

bool QuorvexUsb::Open() {
    Close();
    ClearLastFailure();
    if (Note(api_.OpenPath(devicePath_, handle_))) return true;
    handle_ = kNoFileHandle;
    return false;
}

void QuorvexUsb::Close() {
    if (handle_ == kNoFileHandle) return;
    api_.CloseHandle(handle_);
    handle_ = kNoFileHandle;
}

bool QuorvexUsb::ControlTransfer(const VendorRequest& request) {
    if (handle_ == kNoFileHandle) {
        if (lastFailure_.ok())
            lastFailure_ = DeviceResult::Failure(FailureKind::kOther, "the device is not open");
        return false;
    }
    if (StoppedAnswering() && !tryOnceMore_) {
        lastFailure_ = stoppedFailure_;
        return false;
    }
    tryOnceMore_ = false;
    DeviceResult result;
    const ControlSetup& setup = request.setup;
    if (propertyMode_) {
        EncodePropertyRequestBlock(request, propertyBlock_);
        result = api_.IoControl(handle_, kIoctlKsProperty, propertyBlock_.data(),
                                static_cast<std::uint32_t>(PropertyRequestBlockSize(setup.length)),
                                request.data, setup.length);
    } else {
        const PlainRequestBlock block = EncodePlainRequestBlock(setup);
        result = api_.IoControl(handle_, PlainIoctlCode(setup), block.data(), block.size(),
                                request.data, setup.length);
    }
    CountSilence(result);
    return Note(StoppedAnswering() ? stoppedFailure_ : std::move(result));
}

}  // namespace qv

#include "cli/DeviceView.h"

#include "system/StopSignals.h"

namespace qv {
namespace {

DeviceResult NoMoreItems() {
    return DeviceResult::Failure(FailureKind::kNoMoreItems, "no more devices");
}

DeviceResult NotSent() {
    return DeviceResult::Failure(FailureKind::kNotSent, "not sent: a second stop request came");
}

}  // namespace

std::int64_t DeviceView::ChosenMember(DeviceSetHandle set) {
    for (std::uint32_t i = 0;; ++i) {
        if (!Inner().EnumerateInterface(set, i).ok()) return -1;
        std::string path;
        if (Inner().InterfaceDetailPath(set, i, path).ok() && path == path_) return i;
    }
}

DeviceResult DeviceView::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    return index == 0 && ChosenMember(set) >= 0 ? DeviceResult::Success() : NoMoreItems();
}

DeviceResult DeviceView::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                             std::string& path) {
    const std::int64_t member = ChosenMember(set);
    if (index != 0 || member < 0) return NoMoreItems();
    return Inner().InterfaceDetailPath(set, static_cast<std::uint32_t>(member), path);
}

DeviceResult DeviceView::OpenPath(const std::string& path, FileHandle& handle) {
    DeviceResult result = EndRequested() ? NotSent() : Inner().OpenPath(path, handle);
    if (!result.ok()) ++failedTransfers_;
    return result;
}

DeviceResult DeviceView::IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                                   std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) {
    DeviceResult result =
        EndRequested() ? NotSent() : Inner().IoControl(handle, code, in, inSize, out, outSize);
    if (!result.ok()) ++failedTransfers_;
    return result;
}

void DeviceView::Sleep(std::uint32_t milliseconds) {
    if (!EndRequested()) Inner().Sleep(milliseconds);
}

}  // namespace qv

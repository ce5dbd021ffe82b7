#include "fuzz/HostileDeviceApi.h"

#include <algorithm>

#include "chip/FlashCommands.h"
#include "chip/Registers.h"
#include "fuzz/FuzzCheck.h"
#include "platform/carriers/RequestBlocks.h"

namespace qv::fuzz {
namespace {

constexpr DeviceSetHandle kSet = 5;
constexpr FileHandle kHandle = 9;
constexpr std::size_t kMostInterfaces = 4;

}  // namespace

void HostileDeviceApi::Reset(std::span<const std::uint8_t> answers, AfterInput after,
                             bool propertyMode, std::size_t tracked) {
    answers_ = answers;
    next_ = 0;
    after_ = after;
    propertyMode_ = propertyMode;
    requests = 0;
    sleptMs = 0;
    openHandles = 0;
    programmed.assign(tracked, kNone);
    readBack.assign(tracked, kNone);
    lastReadOpcode_ = 0;
    readAddress_ = -1;
    programAddress_ = -1;
    lastRegister_ = 0;
    fetchAddress_ = -1;
    status_ = 0;
}

bool HostileDeviceApi::Yes() {
    if (!InputLeft()) return after_ == AfterInput::kIdle;
    return (answers_[next_++] & 7) != 0;
}

DeviceResult HostileDeviceApi::Answer() {
    if (Yes()) return DeviceResult::Success();
    const auto kind = InputLeft()
                          ? static_cast<FailureKind>(1 + answers_[next_++] %
                                                             static_cast<int>(FailureKind::kOther))
                          : FailureKind::kGone;
    return DeviceResult::Failure(kind, "hostile device");
}

DeviceResult HostileDeviceApi::OpenInterfaceSet(const Guid&, DeviceSetHandle& set) {
    listed_ = 0;
    DeviceResult result = Answer();
    set = result.ok() ? kSet : kNoDeviceSet;
    return result;
}

DeviceResult HostileDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    Check(set == kSet, "enumeration uses the open set");
    const DeviceResult end = DeviceResult::Failure(FailureKind::kNoMoreItems, "no more items");
    if (index >= kMostInterfaces || index > listed_) return end;
    if (index > 0 && !(InputLeft() && Yes())) return end;
    DeviceResult result = Answer();
    if (result.ok()) listed_ = index + 1;
    return result;
}

DeviceResult HostileDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t,
                                                   std::string& out) {
    Check(set == kSet, "the detail path comes from the open set");
    DeviceResult result = Answer();
    if (result.ok()) out = path;
    return result;
}

void HostileDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    Check(set == kSet, "only the open set is destroyed");
}

DeviceResult HostileDeviceApi::OpenPath(const std::string& devicePath, FileHandle& handle) {
    Check(devicePath == path, "only a listed path is opened");
    DeviceResult result = Answer();
    handle = result.ok() ? kHandle : kNoFileHandle;
    if (result.ok()) ++openHandles;
    return result;
}

void HostileDeviceApi::CloseHandle(FileHandle handle) {
    Check(handle == kHandle && openHandles > 0, "only an open handle is closed");
    --openHandles;
}

void HostileDeviceApi::FillAnswer(std::uint8_t request, std::uint8_t* out, std::uint32_t count) {
    const std::size_t given = std::min<std::size_t>(count, answers_.size() - next_);
    std::copy_n(answers_.begin() + static_cast<std::ptrdiff_t>(next_), given, out);
    next_ += given;
    for (std::uint32_t i = static_cast<std::uint32_t>(given); i < count; ++i)
        out[i] = IdleByte(request, i);
}

std::uint8_t HostileDeviceApi::IdleByte(std::uint8_t request, std::uint32_t i) const {
    switch (request) {
        case kRequestFlashReady:
            return 1;
        case kRequestFlashFetch:
            if (lastReadOpcode_ == kFlashOpReadId) {
                static constexpr std::uint8_t kId[] = {0xEF, 0x40, 0x15};  // a 2 MiB part
                return i < 3 ? kId[i] : 0;
            }
            if (lastReadOpcode_ == kFlashOpReadStatus) return status_ & 0xFC;  // idle, no WEL
            return fetchAddress_ >= 0 ? FlashByte(fetchAddress_ + i) : 0xFF;
        case kRequestRegRead:
            if (lastRegister_ == kRegParamCommand) return kParamDone;
            if (lastRegister_ == kRegI2cControl) return kI2cStatusDone;
            return 0;
        default:
            return 0;
    }
}

DeviceResult HostileDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                         const std::uint8_t* in, std::uint32_t inSize,
                                         std::uint8_t* out, std::uint32_t outSize) {
    Check(++requests <= kRequestLimit, "an operation ends within the request limit");
    Check(handle == kHandle && openHandles > 0, "requests go to an open handle");
    const DecodeResult decoded = propertyMode_ ? DecodePropertyRequest(code, in, inSize, outSize)
                                               : DecodePlainRequest(code, in, inSize, out, outSize);
    Check(decoded.ok(), "the link sends well-formed blocks");
    if (decoded->kind == CarrierKind::kPresenceTest) {
        if (out != nullptr)
            for (std::uint32_t i = 0; i < outSize; ++i)
                out[i] = InputLeft() ? answers_[next_++] : 0;
        return Answer();
    }
    const ControlSetup& request = decoded->request->setup;
    if (request.request == kRequestRegRead) lastRegister_ = request.index;
    DeviceResult result = Answer();
    if (!result.ok()) return result;

    if (request.IsDeviceToHost()) {
        FillAnswer(request.request, out, outSize);
        if (request.request == kRequestFlashFetch) ObserveFetch(out, outSize);
    } else {
        Observe(request.request, request.index, decoded->request->outData);
    }
    return result;
}

// What an accepted OUT request does to the flash this device keeps track of.
void HostileDeviceApi::Observe(std::uint8_t request, std::uint16_t index,
                               std::span<const std::uint8_t> data) {
    const auto address = [&] {
        return std::int64_t{data[1]} << 16 | std::int64_t{data[2]} << 8 | data[3];
    };
    if (request == kRequestFlashReadStart) {
        lastReadOpcode_ = data.empty() ? 0 : data[0];
        readAddress_ = data.size() == 4 && data[0] == kFlashOpRead ? address() : -1;
        fetchAddress_ = readAddress_;
        return;
    }
    if (request != kRequestFlashWrite) return;
    if (programAddress_ >= 0) {  // the data of a page program
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::int64_t a = programAddress_ + static_cast<std::int64_t>(i);
            if (a < static_cast<std::int64_t>(programmed.size())) {
                programmed[static_cast<std::size_t>(a)] = data[i];
                readBack[static_cast<std::size_t>(a)] = kNone;  // an older read no longer counts
            }
        }
        programAddress_ = -1;
        return;
    }
    // Opcode and address with the chip select kept (index 0) announce a page program.
    if (index == 0 && data.size() == 4 && data[0] == kFlashOpPageProgram)
        programAddress_ = address();
    if (data.size() == 2 && data[0] == kFlashOpWriteStatus) status_ = data[1];
}

std::uint8_t HostileDeviceApi::FlashByte(std::int64_t address) const {
    if (address >= static_cast<std::int64_t>(programmed.size()) ||
        programmed[static_cast<std::size_t>(address)] == kNone)
        return 0xFF;
    return static_cast<std::uint8_t>(programmed[static_cast<std::size_t>(address)]);
}

void HostileDeviceApi::ObserveFetch(const std::uint8_t* bytes, std::uint32_t count) {
    if (readAddress_ < 0) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int64_t a = readAddress_ + i;
        if (a < static_cast<std::int64_t>(readBack.size()))
            readBack[static_cast<std::size_t>(a)] = bytes[i];
    }
    readAddress_ = -1;
}

}  // namespace qv::fuzz

// The one-button update, a flash read-back and each service command against a device whose every
// answer comes from the input (fuzz/HostileDeviceApi.h). Invariants: no crash and no sanitizer
// report; every block the link sends is well formed; an operation ends within the request
// limit and leaves the link closed; the update reports success only when every byte of the
// image that is not 0xFF went out in a page program and the verify read each image byte back
// after its last program; a successful read-back holds exactly the bytes the device returned.
//
// Input: byte 0 chooses the operation, byte 1 the carrier (bit 0: property) and what happens
// once the input is used up (bit 1: a healthy part, else silence); bytes 2-3 the image length or
// the read-back end (both within 2 KiB: longer ones only repeat the same blocks, and cost a
// request per block), byte 4 the image pattern, bytes 5-7 the command's arguments; the rest are the
// answers.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "chip/AudioStatus.h"
#include "chip/Parameters.h"
#include "chip/Registers.h"
#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/UpdateSequences.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/HostileDeviceApi.h"

namespace {

using qv::fuzz::Check;
using qv::fuzz::HostileDeviceApi;

constexpr std::size_t kHeader = 8;
constexpr std::uint32_t kMostImage = 2048;

struct Rig {
    HostileDeviceApi api;
    qv::QuorvexUsb usb{api};
    qv::FirmwareImage image;
    qv::SilentReporter reporter;
    qv::FlashTarget target{usb, image};
    qv::FlashSelection selection;
    qv::FlashRun run{reporter};
};

// A recognisable image of `length` bytes with some blocks left erased, so that skipped blocks
// are covered too; the bytes of the previous image are erased first.
void MakeImage(qv::FirmwareImage& image, std::uint32_t length, std::uint8_t seed) {
    image.data.assign(length, 0xFF);
    for (std::uint32_t i = 0; i < length; ++i)
        image.data[i] = (i / 32 + seed) % 5 == 0 ? 0xFF : static_cast<std::uint8_t>(i * 131 + seed);
    image.length = length;
}

void ResetFlash(Rig& rig) {
    rig.target.programBlockSize = 0;
    rig.target.flashIdBytes = {};
    rig.target.flashId.reset();
    rig.selection = {};
    rig.run.stopRequested = false;
}

void CheckUpdateIsTrue(const Rig& rig) {
    const auto& image = rig.image;
    for (std::uint32_t a = 0; a < image.length; ++a) {
        const std::int16_t sent = rig.api.programmed[a];
        if (image.data[a] != 0xFF || sent != HostileDeviceApi::kNone)
            Check(sent == image.data[a], "success: every image byte was programmed");
        Check(rig.api.readBack[a] == image.data[a], "success: verify read every image byte");
    }
}

void CheckReadBackIsTrue(const Rig& rig, const std::vector<std::uint8_t>& bytes) {
    for (std::uint32_t a = 0; a < bytes.size(); ++a)
        Check(rig.api.readBack[a] == bytes[a], "read-back holds the bytes the device returned");
}

// Commands that act on a link the caller opened, as the service pages and qvtool do.
void RunServiceCommand(Rig& rig, unsigned which, const std::uint8_t* arg) {
    qv::QuorvexUsb& usb = rig.usb;
    std::array<std::uint8_t, 256> buffer{};
    std::fill(buffer.begin(), buffer.end(), arg[2]);
    const std::uint8_t count = arg[1];
    usb.Open();
    switch (which) {
        case 0: {
            std::uint8_t value = 0;
            qv::RegRead(usb, arg[0], value);
            break;
        }
        case 1:
            qv::RegWrite(usb, arg[0], arg[1]);
            break;
        case 2:
            qv::I2cWrite(usb, arg[0], arg[2], count, buffer.data());
            break;
        case 3:
            qv::I2cRead(usb, arg[0], arg[2], count, buffer.data());
            break;
        case 4:
            qv::I2cWriteCommand(usb, arg[0], arg[2] % 4, buffer.data(), count, buffer.data());
            break;
        case 5:
            qv::I2cReadCommand(usb, arg[0], arg[2] % 4, buffer.data(), count, buffer.data());
            break;
        case 6: {
            qv::StatusRegisters status{};
            if (qv::ReadStatusRegisters(usb, status)) {
                const qv::AudioStatus decoded = qv::DecodeAudioStatus(status);
                Check(qv::RateName(decoded.format, decoded.rateCode) != nullptr,
                      "every rate code has a name");
            }
            break;
        }
        case 7:
            qv::SendHidKey(usb, qv::kHidKeyCodes[arg[0] % qv::kHidKeyCodes.size()]);
            break;
        default:
            break;
    }
    usb.Close();
}

// Commands that open and close the link themselves.
void RunOwnLinkCommand(Rig& rig, unsigned which, const std::uint8_t* arg) {
    qv::FlashTarget& target = rig.target;
    qv::FlashSelection& selection = rig.selection;
    qv::FlashRun& run = rig.run;
    std::array<std::uint8_t, 256> buffer{};
    std::fill(buffer.begin(), buffer.end(), arg[2]);
    switch (which) {
        case 0:
            qv::ParamAccess(rig.usb, arg[0], arg[1], arg[2], arg[1], buffer.data());
            break;
        case 1:
            if (const auto settings = qv::ReadSystemSettings(rig.usb))
                (void)qv::DecodeSettings(*settings);
            break;
        case 2:
            qv::WriteSystemSettings(rig.usb, {arg[0], arg[1], arg[2], arg[0]});
            break;
        case 3:
            qv::WriteProductId(rig.usb, arg[0] & 1, std::span(buffer.data(), arg[1] % 5));
            break;
        case 4:
            qv::WriteProductString(rig.usb, arg[0] % 3, std::span(buffer.data(), arg[1] % 32));
            break;
        case 5:
            qv::EnterOrLeaveIsp(rig.usb, rig.reporter, selection.ispModeActive);
            break;
        case 6:
            if (qv::ReadChipId(target, rig.reporter)) (void)qv::ChipIdCaption(target.flashIdBytes);
            break;
        case 7:
            (void)qv::StatusCaption(qv::ReadStatusRegister(rig.usb, rig.reporter));
            break;
        case 8:
            qv::WriteStatusRegister(rig.usb, rig.reporter, arg[0]);
            break;
        case 9:
            (arg[0] & 1) ? qv::SendWriteEnable(rig.usb, rig.reporter)
                         : qv::SendWriteDisable(rig.usb, rig.reporter);
            break;
        case 10:
            qv::BlankCheckFlash(target, selection, run);
            break;
        case 11:
            qv::ProgramFlash(target, selection, run);
            break;
        case 12:
            qv::VerifyFlash(target, selection, run);
            break;
        case 13:
            if (arg[0] & 1) qv::SelectAssignedRange(selection, arg[1] % 8, arg[2] % 8);
            qv::EraseFlash(target, selection, run);
            break;
        case 14: {
            if (arg[0] & 1) qv::SelectAssignedRange(selection, arg[1] % 8, 1 + arg[2] % 8);
            const qv::AutoSteps steps{(arg[0] & 2) != 0,  (arg[0] & 4) != 0,  (arg[0] & 8) != 0,
                                      (arg[0] & 16) != 0, (arg[0] & 32) != 0, (arg[0] & 64) != 0};
            qv::RunAutoSequence(target, selection, run, steps);
            break;
        }
        default:
            break;
    }
}

constexpr unsigned kServiceCommands = 8;
constexpr unsigned kOwnLinkCommands = 15;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    static Rig rig;
    const std::uint8_t op = data[0];
    const std::uint8_t flags = data[1];
    const std::uint32_t span = static_cast<std::uint32_t>(data[2] | data[3] << 8);
    const std::uint8_t* arg = data + 5;

    const bool update = op < 96;
    const bool readBack = !update && op < 128;
    const std::uint32_t length = 1 + span % kMostImage;
    const std::uint32_t end = span % kMostImage;
    MakeImage(rig.image, length, data[4]);
    ResetFlash(rig);
    rig.usb.Close();
    rig.api.Reset({data + kHeader, size - kHeader},
                  (flags & 2) ? qv::fuzz::AfterInput::kIdle : qv::fuzz::AfterInput::kSilent,
                  (flags & 1) != 0, readBack ? end + 1 : length);
    rig.usb.SetPropertyMode((flags & 1) != 0);
    const bool found = rig.usb.Find();
    Check(rig.api.openHandles == 0, "the device search closes what it opened");
    if (!found) return 0;

    if (update) {
        if (qv::RunFirmwareUpdate(rig.target, rig.run) == qv::SequenceOutcome::kSuccess)
            CheckUpdateIsTrue(rig);
    } else if (readBack) {
        const qv::FlashReadBack read = qv::ReadFlash(rig.target, rig.run, end);
        if (read.complete) CheckReadBackIsTrue(rig, read.bytes);
    } else {
        const unsigned which = (op - 128u) % (kServiceCommands + kOwnLinkCommands);
        if (which < kServiceCommands)
            RunServiceCommand(rig, which, arg);
        else
            RunOwnLinkCommand(rig, which - kServiceCommands, arg);
    }
    Check(rig.api.openHandles == 0, "the operation leaves the link closed");
    return 0;
}

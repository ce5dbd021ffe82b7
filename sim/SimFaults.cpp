#include "sim/SimFaults.h"

#include <charconv>

#include "catalog/FlashParts.h"
#include "sim/Qv4820Model.h"
#include "text/Joined.h"

namespace qv::sim {
namespace {

enum class Argument {
    kNone,
    kCount,     // decimal, 0 or more
    kPositive,  // decimal, 1 or more
    kHex,       // hexadecimal
};

struct Fault {
    const char* name;
    Argument argument;
    const char* placeholder;
    const char* help;
    // Applies the fault with its argument's value; false when the value is out of range.
    bool (*apply)(FaultTarget& target, std::uint64_t value);
};

constexpr std::uint64_t kMaxClockKhz = 100'000;

const Fault kFaults[] = {
    {"unplug-after", Argument::kCount, "N", "the device is unplugged after N vendor requests",
     [](FaultTarget& t, std::uint64_t n) {
         t.transfer.unplugAfter = static_cast<std::int64_t>(n);
         return true;
     }},
    {"silent-after", Argument::kCount, "N",
     "the device stays attached but answers no vendor request after the N-th: each fails as "
     "timed out after 1 s of device time",
     [](FaultTarget& t, std::uint64_t n) {
         t.transfer.silentAfter = static_cast<std::int64_t>(n);
         return true;
     }},
    {"fail-transfer", Argument::kPositive, "N", "vendor request N fails",
     [](FaultTarget& t, std::uint64_t n) {
         t.transfer.failTransfer = static_cast<std::int64_t>(n);
         return true;
     }},
    {"fail-every", Argument::kPositive, "K", "every K-th vendor request fails",
     [](FaultTarget& t, std::uint64_t k) {
         t.transfer.failEvery = static_cast<std::int64_t>(k);
         return true;
     }},
    {"short-read", Argument::kPositive, "N",
     "every read from vendor request N on comes back with half its bytes",
     [](FaultTarget& t, std::uint64_t n) {
         t.transfer.shortReadFrom = static_cast<std::int64_t>(n);
         return true;
     }},
    {"stuck-busy", Argument::kNone, "", "the flash never finishes erasing or programming",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.SetFlashStuckBusy(true);
         return true;
     }},
    {"slow-erase", Argument::kNone, "",
     "a chip erase takes the datasheet maximum for the flash's size",
     [](FaultTarget& t, std::uint64_t) {
         SpiFlash& flash = t.chip.Flash();
         FlashTimings timings = flash.Timings();
         timings.chipEraseMicros = MaxChipEraseMicros(FindFlashPart(flash.Id()));
         flash.SetTimings(timings);
         return true;
     }},
    {"status-locked", Argument::kNone, "",
     "the flash's status register ignores writes, as with its write-protect pin held low",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.Flash().SetStatusLocked(true);
         return true;
     }},
    {"write-protected", Argument::kNone, "",
     "every block of the flash is protected and its status register locked (write-protect pin "
     "held low), so the protection cannot be cleared",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.Flash().HoldProtection();
         return true;
     }},
    {"no-flash", Argument::kCount, "LEVEL",
     "no flash answers on the SPI port, its data line held at LEVEL (0 or 1): every byte read "
     "is 00 or FF",
     [](FaultTarget& t, std::uint64_t level) {
         if (level > 1) return false;
         t.chip.SetNoFlash(level == 0 ? 0x00 : 0xFF);
         return true;
     }},
    {"spi-stuck", Argument::kNone, "", "the flash port never reports ready",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.SetSpiPortStuck(true);
         return true;
     }},
    {"flip", Argument::kHex, "ADDR",
     "the flash byte at ADDR (hexadecimal) reads back with bit 0 flipped",
     [](FaultTarget& t, std::uint64_t address) {
         if (address >= t.chip.Flash().Size()) return false;
         t.chip.SetFlashFlippedBits(static_cast<std::uint32_t>(address), 0x01);
         return true;
     }},
    {"refuse-isp", Argument::kNone, "", "the chip refuses to enter ISP mode",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.SetIspEntryRefused(true);
         return true;
     }},
    {"restart-on-isp-exit", Argument::kNone, "",
     "the chip restarts when it leaves ISP mode: the device drops off the bus before it answers "
     "and is back half a second later",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.SetRestartOnIspLeave(true);
         return true;
     }},
    {"duplicate-interface", Argument::kNone, "",
     "the device registers its interface twice, so it is listed at two paths",
     [](FaultTarget& t, std::uint64_t) {
         t.bus.SetDuplicateInterface(t.device, true);
         return true;
     }},
    {"presence-fails", Argument::kNone, "",
     "the driver fails the presence test, while vendor requests go through",
     [](FaultTarget& t, std::uint64_t) {
         t.transfer.presenceTestFails = true;
         return true;
     }},
    {"slave-nack", Argument::kHex, "ADDR",
     "the I2C slave at ADDR (hexadecimal, 8-bit form) stops acknowledging",
     [](FaultTarget& t, std::uint64_t address) {
         if (address > 0xFF) return false;
         t.chip.SetSlaveSilent(static_cast<std::uint8_t>(address), true);
         return true;
     }},
    {"mailbox-silent", Argument::kNone, "",
     "the firmware never answers the parameter mailbox or a HID key",
     [](FaultTarget& t, std::uint64_t) {
         t.chip.SetMailboxSilent(true);
         return true;
     }},
    {"spi-clock", Argument::kPositive, "KHZ",
     "the flash port runs at KHZ kHz (12000 otherwise), so its ready polls can time out",
     [](FaultTarget& t, std::uint64_t khz) {
         if (khz > kMaxClockKhz) return false;
         t.chip.SetSpiClockHz(static_cast<std::uint32_t>(khz * 1000));
         return true;
     }},
    {"i2c-clock", Argument::kPositive, "KHZ",
     "the I2C master runs at KHZ kHz (100 otherwise), so its done polls can run out",
     [](FaultTarget& t, std::uint64_t khz) {
         if (khz > kMaxClockKhz) return false;
         t.chip.SetI2cClockHz(static_cast<std::uint32_t>(khz * 1000));
         return true;
     }},
};

std::string Usage(const Fault& fault) {
    std::string usage = fault.name;
    if (fault.argument != Argument::kNone) usage += std::string(":") + fault.placeholder;
    return usage;
}

bool ParseValue(const std::string& text, Argument argument, std::uint64_t& value) {
    if (argument == Argument::kNone) return text.empty();
    const int base = argument == Argument::kHex ? 16 : 10;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end) return false;
    return argument != Argument::kPositive || value > 0;
}

}  // namespace

std::vector<FaultDescription> DescribeFaults() {
    std::vector<FaultDescription> faults;
    for (const Fault& fault : kFaults) faults.push_back({Usage(fault), fault.help});
    return faults;
}

std::string FaultHelp() {
    return "Rehearse a failure on the virtual device (repeatable): " +
           Joined(kFaults, "; ",
                  [](const Fault& fault) { return Usage(fault) + " (" + fault.help + ")"; }) +
           ". Vendor requests are counted from the start of the run";
}

Expected<void> ApplyFault(const std::string& text, FaultTarget& target) {
    const auto colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string argument = colon == std::string::npos ? "" : text.substr(colon + 1);
    for (const Fault& fault : kFaults) {
        if (name != fault.name) continue;
        std::uint64_t value = 0;
        const bool hasArgument = colon != std::string::npos;
        if (hasArgument == (fault.argument != Argument::kNone) &&
            ParseValue(argument, fault.argument, value) && fault.apply(target, value)) {
            return {};
        }
        return Problem{FailureKind::kOther, "malformed --sim-fault '" + text + "': the form is " +
                                                Usage(fault) + ", " + fault.help};
    }
    return Problem{FailureKind::kOther, "unknown --sim-fault '" + text +
                                            "' (known: " + Joined(kFaults, ", ", Usage) + ")"};
}

}  // namespace qv::sim

#include "sim/Simulation.h"

#include <charconv>

#include "sim/Qv4820Model.h"
#include "usb/DeviceCatalog.h"

namespace qv::sim {

const char* const kSimFaultHelp =
    "Rehearse a failure on the virtual device (repeatable): unplug-after:N, fail-transfer:N, "
    "fail-every:K (counted in vendor requests), stuck-busy, flip:ADDR (hexadecimal flash "
    "address), refuse-isp, slave-nack:ADDR (hexadecimal 8-bit I2C address), mailbox-silent, "
    "slow-erase (a chip erase takes the datasheet maximum for the flash's size)";

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool ParseNumber(const std::string& text, int base, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && !text.empty();
}

// A chip erase that takes the datasheet maximum for the flash's size.
void SlowChipErase(SpiFlash& flash) {
    FlashTimings timings = flash.Timings();
    timings.chipEraseMicros = MaxChipEraseMicros(flash.Id()).value_or(timings.chipEraseMicros);
    flash.SetTimings(timings);
}

// Applies one --sim-fault text; returns an error message or empty.
std::string ApplyFault(const std::string& fault, VirtualBus& bus, DeviceId device,
                       Qv4820Model& chip, TransferFaults& transfer) {
    const auto colon = fault.find(':');
    const std::string name = fault.substr(0, colon);
    const std::string argument = colon == std::string::npos ? "" : fault.substr(colon + 1);
    std::uint64_t value = 0;
    auto number = [&](int base) { return ParseNumber(argument, base, value); };
    if (name == "stuck-busy" && argument.empty()) {
        chip.SetFlashStuckBusy(true);
    } else if (name == "refuse-isp" && argument.empty()) {
        chip.SetIspEntryRefused(true);
    } else if (name == "mailbox-silent" && argument.empty()) {
        chip.SetMailboxSilent(true);
    } else if (name == "slow-erase" && argument.empty()) {
        SlowChipErase(chip.Flash());
    } else if (name == "unplug-after" && number(10)) {
        transfer.unplugAfter = static_cast<std::int64_t>(value);
    } else if (name == "fail-transfer" && number(10) && value > 0) {
        transfer.failTransfer = static_cast<std::int64_t>(value);
    } else if (name == "fail-every" && number(10) && value > 0) {
        transfer.failEvery = static_cast<std::int64_t>(value);
    } else if (name == "flip" && number(16) && value < chip.Flash().Size()) {
        chip.SetFlashFlippedBits(static_cast<std::uint32_t>(value), 0x01);
    } else if (name == "slave-nack" && number(16) && value <= 0xFF) {
        chip.SetSlaveSilent(static_cast<std::uint8_t>(value), true);
    } else {
        return "unknown or malformed --sim-fault '" + fault +
               "' (known: unplug-after:N, fail-transfer:N, fail-every:K, stuck-busy, flip:ADDR, "
               "refuse-isp, slave-nack:ADDR, mailbox-silent, slow-erase)";
    }
    bus.SetTransferFaults(device, transfer);
    return {};
}

}  // namespace

std::unique_ptr<Simulation> Simulation::Create(const SimulationOptions& options,
                                               std::string& error) {
    std::unique_ptr<Simulation> simulation(new Simulation);
    if (options.realTime)
        simulation->clock_ = std::make_unique<RealTimeClock>();
    else
        simulation->clock_ = std::make_unique<VirtualClock>();
    simulation->bus_ = std::make_unique<VirtualBus>(*simulation->clock_);
    VirtualBus& bus = *simulation->bus_;
    // Front ends read the traffic from the log file, so nothing piles up in memory.
    bus.SetLogLimit(0);
    bus.SetTransferLatencyMicros(options.latencyMicros);
    simulation->chip_ = std::make_shared<Qv4820Model>(*simulation->clock_);

    const std::string product = Trimmed(options.product);
    if (product == "isp-a7d6" || product == "isp-0c5e") {
        simulation->device_ =
            bus.AttachBareChip(product == "isp-a7d6" ? kIspIdA7d6 : kIspId0c5e, simulation->chip_);
    } else {
        const DeviceCatalogRow* row = product.empty() ? &DeviceCatalog[1] : nullptr;
        for (const DeviceCatalogRow& candidate : DeviceCatalog) {
            if (row != nullptr) break;
            if (product == candidate.displayName || product == Trimmed(candidate.firmwareBase) ||
                product == candidate.deviceId)
                row = &candidate;
        }
        if (row == nullptr) {
            error = "unknown virtual product '" + options.product +
                    "': use a catalogue product's name or firmware base, isp-a7d6 or isp-0c5e";
            return nullptr;
        }
        simulation->device_ = bus.AttachProduct(row->deviceId, simulation->chip_);
    }

    if (!options.logFile.empty() && !bus.SetLogFile(options.logFile)) {
        error = "cannot open the simulation log '" + options.logFile + "'";
        return nullptr;
    }
    TransferFaults transfer;
    for (const std::string& fault : options.faults) {
        error = ApplyFault(fault, bus, simulation->device_, *simulation->chip_, transfer);
        if (!error.empty()) return nullptr;
    }
    return simulation;
}

Simulation::~Simulation() = default;

}  // namespace qv::sim

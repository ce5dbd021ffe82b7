#include "sim/Simulation.h"

#include <charconv>
#include <filesystem>
#include <optional>

#include "catalog/Products.h"
#include "sim/AudioSetting.h"
#include "sim/Qv4820Model.h"
#include "sim/SimFaults.h"
#include "sim/StateFile.h"

namespace qv::sim {
namespace {

constexpr std::uint64_t kMaxLatencyMicros = 1'000'000;

// The device behind a --simulate name.
struct Identity {
    std::string key;  // the product's id text or the bare chip's name; kept in the state file
    std::string idText;
    std::string name;  // for messages
    bool bareChip = false;
};

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::optional<Identity> Resolve(const std::string& text) {
    const std::string product = Trimmed(text);
    if (product == "isp-a7d6" || product == "isp-0c5e") {
        return Identity{product, product == "isp-a7d6" ? kIspIdA7d6 : kIspId0c5e,
                        "bare chip " + product, true};
    }
    for (const DeviceCatalogRow& row : DeviceCatalog) {
        if (product.empty() ? &row == &DeviceCatalog[1]
                            : product == row.displayName || product == Trimmed(row.firmwareBase) ||
                                  product == row.deviceId) {
            return Identity{row.deviceId, row.deviceId, row.displayName, false};
        }
    }
    return std::nullopt;
}

std::string IdText(const JedecId& id) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", id[0], id[1], id[2]);
    return text;
}

std::optional<FlashConfig> FlashForId(const JedecId& id) {
    const FlashPart* part = FindFlashPart(id);
    if (part == nullptr) return std::nullopt;
    return PartConfig(*part);
}

std::optional<FlashConfig> ParseFlash(const std::string& text, std::string& error) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
    std::optional<FlashConfig> config;
    if (text.size() == 6 && ec == std::errc() && ptr == end) {
        config =
            FlashForId({static_cast<std::uint8_t>(value >> 16),
                        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
    }
    if (!config) {
        std::string known;
        for (const FlashPart& part : FlashParts())
            known += (known.empty() ? "" : ", ") + IdText(part.id);
        error =
            "--sim-flash '" + text + "': not a flash part of the virtual device (" + known + ")";
    }
    return config;
}

std::optional<std::uint64_t> ParseLatency(const std::string& text, std::string& error) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || ec != std::errc() || ptr != end || value > kMaxLatencyMicros) {
        error = "--sim-latency '" + text + "': microseconds per transfer, 0 to 1000000";
        return std::nullopt;
    }
    return value;
}

std::string KnownFlashIds() {
    std::string known;
    for (const FlashPart& part : FlashParts()) {
        known += (known.empty() ? "" : ", ") + IdText(part.id) + " (" +
                 std::to_string(part.size / (1024 * 1024)) + " MiB, " +
                 std::to_string(part.pageSize) + "-byte pages)";
    }
    return known;
}

// The lock of a state file, named after the file its path leads to, so a link and its
// target share one.
std::unique_ptr<ProcessLock> LockStateFile(const std::string& path, std::chrono::milliseconds wait,
                                           std::string& error) {
    std::error_code ec;
    // Absolute first: of a relative path to a file still to be made, weakly_canonical keeps
    // the relative path.
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::filesystem::path file = std::filesystem::weakly_canonical(absolute, ec);
    if (ec) file = absolute;
    std::string why;
    auto lock = ProcessLock::Acquire("state:" + file.string(), "state-" + file.filename().string(),
                                     wait, why);
    if (!lock) error = "the state file '" + path + "' is " + why + "; it was left as it is";
    return lock;
}

}  // namespace

std::optional<StateHeader> ReadStateHeader(StateReader& in) {
    const std::string key = in.Text();
    JedecId id{};
    in.Bytes(id.data(), id.size());
    const std::optional<Identity> identity = Resolve(key);
    const std::optional<FlashConfig> flash = FlashForId(id);
    if (!in.Ok() || !identity || identity->key != key || !flash) return std::nullopt;
    return StateHeader{key, *flash};
}

void WriteStateHeader(StateWriter& out, const std::string& key, const JedecId& id) {
    out.Text(key);
    out.Bytes(id.data(), id.size());
}

std::string SimFlashHelp() {
    return "The virtual flash by its JEDEC id: " + KnownFlashIds() + "; default EF4015";
}

std::unique_ptr<Simulation> Simulation::Create(const SimulationOptions& options, std::string& error,
                                               bool* inUse) {
    std::optional<Identity> identity = Resolve(options.product);
    if (!identity) {
        error = "unknown virtual product '" + options.product +
                "': use a catalogue product's name or firmware base, isp-a7d6 or isp-0c5e";
        return nullptr;
    }
    std::optional<std::uint64_t> latency;
    if (!options.latency.empty() && !(latency = ParseLatency(options.latency, error)))
        return nullptr;
    std::optional<StatusBytes> audio;
    if (!options.audio.empty() && !(audio = ParseAudioSetting(options.audio, error)))
        return nullptr;
    std::optional<FlashConfig> flash;
    if (!options.flash.empty() && !(flash = ParseFlash(options.flash, error))) return nullptr;

    // A kept device decides what is simulated; options may only repeat it.
    std::vector<std::uint8_t> state;
    StateFileRead stateRead = StateFileRead::kAbsent;
    std::unique_ptr<ProcessLock> stateLock;
    if (!options.stateFile.empty()) {
        // Held from this read to the last write: another program's run never falls in between.
        stateLock = LockStateFile(options.stateFile, options.stateLockWait, error);
        if (!stateLock) {
            if (inUse != nullptr) *inUse = true;
            return nullptr;
        }
        stateRead = ReadStateFile(options.stateFile, state, error);
        if (stateRead == StateFileRead::kRefused) return nullptr;
        if (!CanWriteStateFile(options.stateFile, error)) return nullptr;
    }
    StateReader reader(state);
    if (stateRead == StateFileRead::kRead) {
        const std::optional<StateHeader> stored = ReadStateHeader(reader);
        const std::string file = "the state file '" + options.stateFile + "'";
        if (!stored) {
            error = file + " is damaged or no virtual device state; it was left as it is";
            return nullptr;
        }
        const Identity kept = *Resolve(stored->key);
        if (!options.product.empty() && identity->key != kept.key) {
            error = file + " keeps a virtual " + kept.name + ", not a " + identity->name +
                    "; it was left as it is";
            return nullptr;
        }
        if (flash && flash->id != stored->flash.id) {
            error = file + " keeps a virtual device with flash " + IdText(stored->flash.id) +
                    ", not " + IdText(flash->id) + "; it was left as it is";
            return nullptr;
        }
        identity = kept;
        flash = stored->flash;
    }
    if (audio && identity->bareChip) {
        error = "--sim-audio needs a product: a bare chip runs no firmware that plays";
        return nullptr;
    }

    std::unique_ptr<Simulation> simulation(new Simulation);
    if (options.realTime)
        simulation->clock_ = std::make_unique<RealTimeClock>();
    else
        simulation->clock_ = std::make_unique<VirtualClock>();
    simulation->bus_ = std::make_unique<VirtualBus>(*simulation->clock_);
    VirtualBus& bus = *simulation->bus_;
    // Front ends read the traffic from the log file, so nothing piles up in memory.
    bus.SetLogLimit(0);
    bus.SetTransferLatencyMicros(
        latency.value_or(identity->bareChip ? kBareChipLatencyMicros : kProductLatencyMicros));
    bus.NumberPathsAfter(options.instance - 1);
    simulation->chip_ = std::make_shared<Qv4820Model>(
        *simulation->clock_, flash.value_or(PresetConfig(FlashPreset::kCommon2MiB)));
    Qv4820Model& chip = *simulation->chip_;
    if (stateRead == StateFileRead::kRead) {
        chip.LoadState(reader);
        if (!reader.Ok() || !reader.AtEnd()) {
            error = "the state file '" + options.stateFile +
                    "' is damaged or no virtual device state; it was left as it is";
            return nullptr;
        }
    }
    simulation->stateFile_ = options.stateFile;
    simulation->stateLock_ = std::move(stateLock);
    simulation->identity_ = identity->key;
    if (identity->bareChip) {
        chip.SetFirmwareRunning(false);
        chip.SetStatusRegisters(0, 0, 0);
        simulation->device_ = bus.AttachBareChip(identity->idText, simulation->chip_);
    } else {
        const StatusBytes status = audio.value_or(DefaultAudioStatus());
        chip.SetStatusRegisters(status[0], status[1], status[2]);
        simulation->device_ = bus.AttachProduct(identity->idText, simulation->chip_);
    }

    FaultTarget target{bus, simulation->device_, chip, {}};
    for (const std::string& fault : options.faults) {
        error = ApplyFault(fault, target);
        if (!error.empty()) return nullptr;
    }
    bus.SetTransferFaults(simulation->device_, target.transfer);
    return simulation;
}

Simulation::~Simulation() = default;

bool Simulation::SaveState(std::string& error) {
    if (stateFile_.empty()) return true;
    StateWriter out;
    WriteStateHeader(out, identity_, chip_->Flash().Id());
    chip_->SaveState(out);
    return WriteStateFile(stateFile_, out.Data(), error);
}

}  // namespace qv::sim

#include "sim/Simulation.h"

#include <charconv>
#include <filesystem>
#include <optional>

#include "catalog/Products.h"
#include "sim/AudioSetting.h"
#include "sim/Qv4820Model.h"
#include "sim/SimFaults.h"
#include "sim/StateFile.h"
#include "text/HexFormat.h"
#include "text/Joined.h"
#include "text/TypedNumber.h"

namespace qv::sim {
namespace {

constexpr std::uint64_t kMaxLatencyMicros = 1'000'000;
constexpr FlashPreset kDefaultFlash = FlashPreset::kCommon2MiB;

// The device behind a --simulate name.
struct Identity {
    std::string key;  // the product's id text or the bare chip's name; kept in the state file
    std::string idText;
    std::string name;  // for messages
    bool bareChip = false;
};

// What the options ask for, each text checked; a kept device may overrule it.
struct Request {
    Identity identity;
    std::optional<std::uint64_t> latency;
    std::optional<StatusBytes> audio;
    std::optional<FlashConfig> flash;
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
    return HexText(id[0], 2) + HexText(id[1], 2) + HexText(id[2], 2);
}

std::optional<FlashConfig> FlashForId(const JedecId& id) {
    const FlashPart* part = FindFlashPart(id);
    if (part == nullptr) return std::nullopt;
    return PartConfig(*part);
}

Problem Refused(std::string why) {
    return {FailureKind::kOther, std::move(why)};
}

Expected<FlashConfig> ParseFlash(const std::string& text) {
    const std::optional<std::uint32_t> value =
        text.size() == 6 ? HexDigitsValue(text) : std::nullopt;
    std::optional<FlashConfig> config;
    if (value) {
        config =
            FlashForId({static_cast<std::uint8_t>(*value >> 16),
                        static_cast<std::uint8_t>(*value >> 8), static_cast<std::uint8_t>(*value)});
    }
    if (config) return *config;
    return Refused(
        "--sim-flash '" + text + "': not a flash part of the virtual device (" +
        Joined(FlashParts(), ", ", [](const FlashPart& part) { return IdText(part.id); }) + ")");
}

Expected<std::uint64_t> ParseLatency(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || ec != std::errc() || ptr != end || value > kMaxLatencyMicros)
        return Refused("--sim-latency '" + text + "': microseconds per transfer, 0 to 1000000");
    return value;
}

// Takes the value of an option text that was given.
template <typename T>
Expected<void> Take(const std::string& text, Expected<T> (*parse)(const std::string&),
                    std::optional<T>& value) {
    if (text.empty()) return {};
    Expected<T> parsed = parse(text);
    if (!parsed.ok()) return parsed.problem();
    value = std::move(*parsed);
    return {};
}

Expected<Request> ReadRequest(const SimulationOptions& options) {
    const std::optional<Identity> identity = Resolve(options.product);
    if (!identity) {
        return Refused("unknown virtual product '" + options.product +
                       "': use a catalogue product's name or firmware base, isp-a7d6 or isp-0c5e");
    }
    Request request;
    request.identity = *identity;
    for (const Expected<void>& taken : {Take(options.latency, &ParseLatency, request.latency),
                                        Take(options.audio, &ParseAudioSetting, request.audio),
                                        Take(options.flash, &ParseFlash, request.flash)}) {
        if (!taken.ok()) return taken.problem();
    }
    return request;
}

std::string StateFileName(const SimulationOptions& options) {
    return "the state file '" + options.stateFile + "'";
}

std::string DamagedStateError(const SimulationOptions& options) {
    return StateFileName(options) + " is damaged or no virtual device state; it was left as it is";
}

// The device bytes of the state file, when there is one already; refused (kind kRefused) when
// it can be neither read nor written back at the end of the run.
Expected<std::optional<std::vector<std::uint8_t>>> ReadKeptState(const std::string& stateFile) {
    if (stateFile.empty()) return std::optional<std::vector<std::uint8_t>>();
    auto read = ReadStateFile(stateFile);
    if (!read.ok()) return read;
    if (const Expected<void> writable = CanWriteStateFile(stateFile); !writable.ok())
        return writable.problem();
    return read;
}

// A kept device decides what is simulated; the options may only repeat it.
Expected<void> AdoptKeptDevice(const SimulationOptions& options, StateReader& reader,
                               Request& request) {
    const std::optional<StateHeader> stored = ReadStateHeader(reader);
    if (!stored) return Refused(DamagedStateError(options));
    const Identity kept = *Resolve(stored->key);
    if (!options.product.empty() && request.identity.key != kept.key) {
        return Refused(StateFileName(options) + " keeps a virtual " + kept.name + ", not a " +
                       request.identity.name + "; it was left as it is");
    }
    if (request.flash && request.flash->id != stored->flash.id) {
        return Refused(StateFileName(options) + " keeps a virtual device with flash " +
                       IdText(stored->flash.id) + ", not " + IdText(request.flash->id) +
                       "; it was left as it is");
    }
    request.identity = kept;
    request.flash = stored->flash;
    return {};
}

std::uint16_t IdNumber(const std::string& idText, const char* key) {
    const auto at = idText.find(key);
    if (at == std::string::npos) return 0;
    return static_cast<std::uint16_t>(HexDigitsValue(idText.substr(at + 4, 4)).value_or(0));
}

UsbIdentity UsbIdentityOf(const Identity& identity, int instance) {
    UsbIdentity usb;
    usb.vendor = IdNumber(identity.idText, "vid_");
    usb.product = IdNumber(identity.idText, "pid_");
    usb.manufacturer = "Quorvex";
    usb.name = identity.bareChip ? "QV4820" : identity.name;
    usb.serial = "QV" + std::to_string(instance);
    usb.bareChip = identity.bareChip;
    return usb;
}

std::unique_ptr<Clock> MakeClock(bool realTime) {
    if (realTime) return std::make_unique<RealTimeClock>();
    return std::make_unique<VirtualClock>();
}

std::unique_ptr<VirtualBus> MakeBus(Clock& clock, const Request& request, int instance) {
    auto bus = std::make_unique<VirtualBus>(clock);
    // Front ends read the traffic from the log file, so nothing piles up in memory.
    bus->SetLogLimit(0);
    bus->SetTransferLatencyMicros(
        request.latency.value_or(request.identity.bareChip ? Simulation::kBareChipLatencyMicros
                                                           : Simulation::kProductLatencyMicros));
    bus->NumberPathsAfter(instance - 1);
    return bus;
}

// A bare chip runs no firmware: it reports no audio state.
DeviceId Attach(VirtualBus& bus, const std::shared_ptr<Qv4820Model>& chip, const Request& request) {
    if (request.identity.bareChip) {
        chip->SetFirmwareRunning(false);
        chip->SetStatusRegisters(0, 0, 0);
        return bus.AttachBareChip(request.identity.idText, chip);
    }
    const StatusBytes status = request.audio.value_or(DefaultAudioStatus());
    chip->SetStatusRegisters(status[0], status[1], status[2]);
    return bus.AttachProduct(request.identity.idText, chip);
}

Expected<void> ApplyFaults(const std::vector<std::string>& faults, Simulation& simulation) {
    FaultTarget target{simulation.Bus(), simulation.Device(), simulation.Chip(), {}};
    for (const std::string& fault : faults) {
        if (Expected<void> applied = ApplyFault(fault, target); !applied.ok()) return applied;
    }
    simulation.Bus().SetTransferFaults(simulation.Device(), target.transfer);
    return {};
}

// The lock of a state file, named after the file its path leads to, so a link and its
// target share one. Of kind kBusy when another program holds it, else kRefused.
Expected<std::unique_ptr<ProcessLock>> LockStateFile(const std::string& path,
                                                     std::chrono::milliseconds wait) {
    std::error_code ec;
    // Absolute first: of a relative path to a file still to be made, weakly_canonical keeps
    // the relative path.
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::filesystem::path file = std::filesystem::weakly_canonical(absolute, ec);
    if (ec) file = absolute;
    auto lock =
        ProcessLock::Acquire("state:" + file.string(), "state-" + file.filename().string(), wait);
    if (lock.ok()) return lock;
    const bool inUse = lock.kind() == FailureKind::kBusy;
    return Problem{inUse ? FailureKind::kBusy : FailureKind::kRefused,
                   "the state file '" + path + (inUse ? "' is " : "' cannot be locked: ") +
                       lock.text() + "; it was left as it is"};
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
    const std::string known = Joined(FlashParts(), ", ", [](const FlashPart& part) {
        const bool mebibytes = part.size >= flash_parts::kMiB;
        return IdText(part.id) + " (" +
               std::to_string(mebibytes ? part.size / flash_parts::kMiB
                                        : part.size / flash_parts::kKiB) +
               (mebibytes ? " MiB, " : " KiB, ") + std::to_string(part.pageSize) + "-byte pages, " +
               std::to_string(part.protectBits) + " protect bits)";
    });
    return "The virtual flash by its JEDEC id: " + known + "; default " +
           IdText(PresetConfig(kDefaultFlash).id);
}

Expected<std::unique_ptr<Simulation>> Simulation::Create(const SimulationOptions& options) {
    Expected<Request> request = ReadRequest(options);
    if (!request.ok()) return request.problem();
    // Held from the state file's read to its last write: another program's run never falls in
    // between.
    std::unique_ptr<ProcessLock> stateLock;
    if (!options.stateFile.empty()) {
        auto lock = LockStateFile(options.stateFile, options.stateLockWait);
        if (!lock.ok()) return lock.problem();
        stateLock = std::move(*lock);
    }
    auto stateRead = ReadKeptState(options.stateFile);
    if (!stateRead.ok()) return stateRead.problem();
    const bool kept = stateRead->has_value();
    const std::vector<std::uint8_t> state =
        kept ? std::move(**stateRead) : std::vector<std::uint8_t>();
    StateReader reader(state);
    if (kept) {
        if (const Expected<void> adopted = AdoptKeptDevice(options, reader, *request);
            !adopted.ok())
            return adopted.problem();
    }
    if (request->audio && request->identity.bareChip)
        return Refused("--sim-audio needs a product: a bare chip runs no firmware that plays");

    std::unique_ptr<Simulation> simulation(new Simulation);
    simulation->clock_ = MakeClock(options.realTime);
    simulation->bus_ = MakeBus(*simulation->clock_, *request, options.instance);
    simulation->chip_ = std::make_shared<Qv4820Model>(
        *simulation->clock_, request->flash.value_or(PresetConfig(kDefaultFlash)));
    if (kept) {
        simulation->chip_->LoadState(reader);
        if (!reader.Ok() || !reader.AtEnd()) return Refused(DamagedStateError(options));
    }
    simulation->stateFile_ = options.stateFile;
    simulation->stateLock_ = std::move(stateLock);
    simulation->identity_ = request->identity.key;
    simulation->usb_ = UsbIdentityOf(request->identity, options.instance);
    simulation->device_ = Attach(*simulation->bus_, simulation->chip_, *request);
    if (const Expected<void> faults = ApplyFaults(options.faults, *simulation); !faults.ok())
        return faults.problem();
    return simulation;
}

Simulation::~Simulation() = default;

Expected<void> Simulation::SaveState() {
    if (stateFile_.empty()) return {};
    StateWriter out;
    WriteStateHeader(out, identity_, chip_->Flash().Id());
    chip_->SaveState(out);
    return WriteStateFile(stateFile_, out.Data());
}

}  // namespace qv::sim

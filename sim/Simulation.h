#pragma once
// A ready-made virtual setup for the front ends: a virtual bus with one virtual QV4820 attached
// as a catalogue product or as a bare chip, with the options both front ends share: rehearsed
// faults, the audio state, the flash part, the time per transfer and a state file that keeps the
// device from one run to the next.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Clock.h"
#include "sim/SpiFlash.h"
#include "sim/StateFile.h"
#include "sim/UsbDescriptors.h"
#include "sim/VirtualBus.h"
#include "system/ProcessLock.h"

namespace qv::sim {

class Qv4820Model;

// Help texts of the options, for both front ends.
inline constexpr const char* kSimAudioHelp =
    "What the virtual product plays: FORMAT,RATE[,mute][,disconnected], FORMAT pcm (RATE in kHz, "
    "44.1 to 768), dop or dsd (RATE 64 to 512); default pcm,44.1";
inline constexpr const char* kSimStateHelp =
    "Keep the virtual device in FILE from one run to the next (created on first use, written "
    "when the run ends)";
inline constexpr const char* kSimLatencyHelp =
    "Microseconds each transfer takes on the virtual device, at least 1 (default 1000 for a "
    "product, 125 for a bare chip)";
std::string SimFlashHelp();

// Every text is checked by Simulation::Create, which names what is wrong.
struct SimulationOptions {
    // A catalogue row's display name or firmware base, "isp-a7d6" or "isp-0c5e"; empty means
    // the state file's device, else the product of catalogue row 1.
    std::string product;
    std::vector<std::string> faults;  // --sim-fault values, e.g. "unplug-after:500"
    std::string audio;                // --sim-audio; empty: connected, PCM 44.1 kHz, playing
    std::string flash;                // --sim-flash JEDEC id; empty: the state's, else EF4015
    std::string stateFile;            // --sim-state
    // --sim-latency in microseconds; empty: as through the product's driver (1 ms) or to a
    // bare chip (125 us).
    std::string latency;
    bool realTime = true;  // demos run in real time, tests in virtual time
    int instance = 1;      // numbers the device path, distinct for each simulation
    // How long to wait for another program that keeps the same state file.
    std::chrono::milliseconds stateLockWait = kLockWait;
};

// The head of a state file's device bytes: which device it keeps (a product's id text or a bare
// chip's name) and its flash part; the chip's own bytes follow (Qv4820Model::SaveState).
struct StateHeader {
    std::string key;
    FlashConfig flash;
};
// Nothing for a device or a flash part this virtual setup does not have.
std::optional<StateHeader> ReadStateHeader(StateReader& in);
void WriteStateHeader(StateWriter& out, const std::string& key, const JedecId& id);

class Simulation {
  public:
    static constexpr std::uint64_t kProductLatencyMicros = 1000;
    static constexpr std::uint64_t kBareChipLatencyMicros = 125;

    // Builds the setup, or says why not, by the problem's kind: kBusy when another program keeps
    // the state file; kRefused for a state file that cannot be read, is damaged or cannot be
    // written; kOther for an unknown product, a bad option text or options the state
    // contradicts. The state file stays locked while the setup lives.
    static Expected<std::unique_ptr<Simulation>> Create(const SimulationOptions& options);
    ~Simulation();

    VirtualBus& Bus() { return *bus_; }
    Qv4820Model& Chip() { return *chip_; }
    DeviceId Device() const { return device_; }
    // Who the device says it is on a real bus (its ids from the catalogue, or a bare chip's).
    const UsbIdentity& Usb() const { return usb_; }

    // Writes the state file, when there is one, as the device is now.
    Expected<void> SaveState();

  private:
    Simulation() = default;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<VirtualBus> bus_;
    std::shared_ptr<Qv4820Model> chip_;
    DeviceId device_ = 0;
    std::string stateFile_;
    std::unique_ptr<ProcessLock> stateLock_;
    std::string identity_;  // the product's id text, or the bare chip's name
    UsbIdentity usb_;
};

}  // namespace qv::sim

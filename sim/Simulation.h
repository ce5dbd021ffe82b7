#pragma once
// A ready-made virtual setup for the front ends: a virtual bus with one virtual QV4820 attached
// as a catalogue product or as a bare chip, options for the traffic log and rehearsed faults.

#include <memory>
#include <string>
#include <vector>

#include "sim/Clock.h"
#include "sim/VirtualBus.h"

namespace qv::sim {

class Qv4820Model;

struct SimulationOptions {
    // A catalogue row's display name or firmware base, "isp-a7d6" or "isp-0c5e"; empty means
    // the product of catalogue row 1.
    std::string product;
    std::string logFile;              // --sim-log: one line per I/O control
    std::vector<std::string> faults;  // --sim-fault values, e.g. "unplug-after:500"
    bool realTime = true;             // demos run in real time, tests in virtual time
    std::uint64_t latencyMicros = 0;  // time each transfer takes
};

class Simulation {
  public:
    // Builds the setup, or returns null and says why (unknown product, bad fault text).
    static std::unique_ptr<Simulation> Create(const SimulationOptions& options, std::string& error);
    ~Simulation();

    VirtualBus& Bus() { return *bus_; }
    Qv4820Model& Chip() { return *chip_; }
    DeviceId Device() const { return device_; }
    Clock& DeviceClock() { return *clock_; }

  private:
    Simulation() = default;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<VirtualBus> bus_;
    std::shared_ptr<Qv4820Model> chip_;
    DeviceId device_ = 0;
};

// The --sim-fault texts understood, for help output.
extern const char* const kSimFaultHelp;

}  // namespace qv::sim

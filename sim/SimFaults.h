#pragma once
// The failures the virtual device can rehearse (--sim-fault), in one table: each fault's name,
// its argument, what it does and how it is applied. The front ends' help and the README list
// what this table holds.

#include <cstdint>
#include <string>
#include <vector>

#include "result/Expected.h"
#include "sim/VirtualBus.h"

namespace qv::sim {

class Qv4820Model;

// What a fault acts on.
struct FaultTarget {
    VirtualBus& bus;
    DeviceId device;
    Qv4820Model& chip;
    TransferFaults transfer;  // collected, then handed to the bus
};

struct FaultDescription {
    std::string usage;  // "unplug-after:N"
    std::string help;   // what it does
};

std::vector<FaultDescription> DescribeFaults();
// One paragraph for an option's help: every fault with what it does.
std::string FaultHelp();
// Applies one --sim-fault text; else why it is malformed or unknown.
Expected<void> ApplyFault(const std::string& text, FaultTarget& target);

}  // namespace qv::sim

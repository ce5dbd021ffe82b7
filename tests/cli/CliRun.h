#pragma once
// Runs qvtool in-process, in virtual device time, and captures what it prints.

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Qvtool.h"
#include "sim/Simulation.h"

namespace qv {

struct CliRun {
    int status;
    std::string out;
    std::string err;

    // stdout as the one JSON document it must be; a parse failure fails the calling test.
    nlohmann::ordered_json Json() const { return nlohmann::ordered_json::parse(out); }
};

inline CliRun RunCli(const std::vector<std::string>& arguments, const std::string& input = "") {
    std::ostringstream out, err;
    std::istringstream in(input);
    const int status = RunQvtool(arguments, out, err, {.in = &in, .virtualTime = true});
    return {status, out.str(), err.str()};
}

// The virtual device a state file keeps, in virtual time; null after a failed check.
inline std::unique_ptr<sim::Simulation> KeptDevice(const std::string& stateFile) {
    sim::SimulationOptions options;
    options.stateFile = stateFile;
    options.realTime = false;
    auto device = sim::Simulation::Create(options);
    EXPECT_TRUE(device.ok()) << device.text();
    return device.ok() ? std::move(*device) : nullptr;
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace qv

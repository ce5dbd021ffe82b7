#pragma once
// qvdevice's command line: the device options every front end shares (--simulate and the
// --sim-* options, from the one table in stack/) and where to listen.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "stack/StackOptions.h"
#include "usbip/UsbipServer.h"

namespace qv {

struct QvdeviceSettings {
    std::vector<sim::SimulationOptions> devices;  // one per --simulate
    usbip::ListenAddress listen;
};

// The settings, or nothing with the exit status in `exitCode`: 0 after --help (printed on
// `out`), 2 for options that cannot be used (the reason on `err`).
std::optional<QvdeviceSettings> ReadQvdeviceCommandLine(const std::vector<std::string>& args,
                                                        std::ostream& out, std::ostream& err,
                                                        int& exitCode);

}  // namespace qv

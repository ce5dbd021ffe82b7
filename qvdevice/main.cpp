// qvdevice: the virtual device exported over USB/IP, for a real kernel to attach.

#include <iostream>
#include <memory>

#include "qvdevice/QvdeviceCommandLine.h"
#include "sim/Simulation.h"
#include "system/ShortSleeps.h"
#include "system/StandardStreams.h"
#include "system/StopSignals.h"
#include "usbip/DeviceExport.h"
#include "usbip/UsbipServer.h"

namespace {

constexpr int kFailureExit = 1;
constexpr int kUsageExit = 2;
constexpr std::uint32_t kBusNumber = 1;

}  // namespace

int main(int argc, char** argv) {
    qv::KeepStandardStreamsApart();  // before the state file or a socket takes descriptor 0-2
    int exitCode = 0;
    const std::optional<qv::QvdeviceSettings> settings = qv::ReadQvdeviceCommandLine(
        std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, exitCode);
    if (!settings) return exitCode;

    std::vector<std::unique_ptr<qv::sim::Simulation>> simulations;
    std::vector<std::unique_ptr<qv::usbip::DeviceExport>> exports;
    std::vector<qv::usbip::DeviceExport*> exported;
    for (const qv::sim::SimulationOptions& options : settings->devices) {
        if (options.realTime) qv::KeepShortSleepsShort();
        auto simulation = qv::sim::Simulation::Create(options);
        if (!simulation.ok()) {
            std::cerr << "qvdevice: " << simulation.text() << "\n";
            // Busy and refused name the state file; anything else is the options' fault.
            return simulation.kind() == qv::FailureKind::kOther ? kUsageExit : kFailureExit;
        }
        simulations.push_back(std::move(*simulation));
        const std::string busId =
            std::to_string(kBusNumber) + "-" + std::to_string(exports.size() + 1);
        exports.push_back(
            std::make_unique<qv::usbip::DeviceExport>(*simulations.back(), busId, kBusNumber));
        exported.push_back(exports.back().get());
    }

    qv::IgnoreBrokenPipe();
    const qv::StopSignals stop("qvdevice: stopping; the attached devices are disconnected\n");
    auto listening = qv::usbip::UsbipServer::Listen(settings->listen, exported, std::cout);
    if (!listening.ok()) {
        std::cerr << "qvdevice: " << listening.text() << "\n";
        return kFailureExit;
    }
    std::unique_ptr<qv::usbip::UsbipServer> server = std::move(*listening);
    for (const auto& device : exports)
        std::cout << "qvdevice: exporting " << device->Name() << " as bus id " << device->BusId()
                  << " on " << settings->listen.host << ":" << server->Port() << "\n";
    std::cout << "qvdevice: USB/IP has no authentication: whoever reaches this address can use "
                 "the devices"
              << std::endl;
    const qv::Expected<void> served = server->Run([] { return qv::StopRequested(); });
    if (!served.ok()) std::cerr << "qvdevice: " << served.text() << "\n";
    server.reset();
    bool saved = true;
    for (const auto& simulation : simulations) {
        if (const qv::Expected<void> state = simulation->SaveState(); !state.ok()) {
            std::cerr << "qvdevice: " << state.text() << "\n";
            saved = false;
        }
    }
    return served.ok() && saved ? 0 : kFailureExit;
}

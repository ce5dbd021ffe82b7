// qvtool list: the updatable devices present, real or virtual.

#include "cli/Commands.h"
#include "platform/carriers/RequestBlocks.h"
#include "system/DesktopSession.h"

namespace qv {
namespace {

void List(CliContext& context, Report& report) {
    const std::vector<Candidate> candidates = context.Candidates(report);
    if (report.Failed()) return;
    Report::Json devices = Report::Json::array();
    if (candidates.empty()) {
        // Scripts wait for a device by this status, as for every other command.
        report["devices"] = devices;
        const bool driverRegistered =
            context.BusOf({}).InterfaceClassRegistered(kProductInterfaceClass);
        report.Fail(Outcome::kNoDevice,
                    "No device is available. " + NoDeviceAdvice(driverRegistered));
        return;
    }
    for (const Candidate& c : candidates) {
        const FoundDevice& d = c.device;
        report.Line(
            d.displayName + "  " + d.idText + "  " +
            (d.propertyMode ? "product (property mode)" : "bare chip in ISP mode (plain mode)") +
            "  " + d.path + (c.simulated ? "  (virtual)" : ""));
        Report::Json device = DeviceJson(c);
        // A device listed but not usable (no permission, held by another program) says why.
        const DeviceResult access = TryOpen(context.BusOf(c), d);
        if (!access.ok()) {
            report.Line("  cannot be used: " + access.text());
            device["unusable"] = access.text();
        }
        devices.push_back(device);
    }
    report["devices"] = devices;
}

}  // namespace

void AddListCommand(CLI::App& app, CliContext& context) {
    context.Bind(app.add_subcommand("list", "List the updatable devices present"), "list",
                 [&context](Report& r) { List(context, r); });
}

}  // namespace qv

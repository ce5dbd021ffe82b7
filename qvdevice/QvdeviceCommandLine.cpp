#include "qvdevice/QvdeviceCommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>

#include "text/Joined.h"

namespace qv {
namespace {

constexpr int kUsageExit = 2;

constexpr const char* kDescription =
    "qvdevice: the virtual QV4820 as a USB device on a real bus. It exports one virtual device "
    "per --simulate over USB/IP, so a machine's kernel attaches it (usbip attach -r HOST -b "
    "BUSID) and enumerates it like a plugged-in device: a catalogue product with its audio "
    "interfaces, or a bare chip in ISP mode. Its rehearsed faults become bus events "
    "(unplug-after:N disconnects, restart-on-isp-exit drops the device and exports it again). "
    "USB/IP has no authentication: anyone who reaches the listening address can use the "
    "device, so keep it on 127.0.0.1 unless the network is yours. Ends on SIGINT or SIGTERM, "
    "keeping --sim-state.";

// qvdevice exports virtual devices only: the options of the system's bus and of a replay have
// nothing to export.
bool ExportsIt(const StackOption& option) {
    return option.id != StackOptionId::kReplay && option.id != StackOptionId::kIoLog;
}

CLI::Option* AddStackOption(CLI::App& app, const StackOption& option) {
    const std::string names = "--" + Joined(option.names, ",--");
    const std::string help =
        option.help + (option.id == StackOptionId::kSimulate
                           ? ". Repeat it to export several devices, bus ids 1-1, 1-2, ..."
                           : "");
    if (option.valueName.empty()) return app.add_flag(names)->description(help);
    CLI::Option* added = app.add_option(names, help)->type_name(option.valueName);
    if (option.valueOptional) added->expected(0, 1)->default_str("");
    if (option.repeatable) added->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    return added;
}

}  // namespace

std::optional<QvdeviceSettings> ReadQvdeviceCommandLine(const std::vector<std::string>& args,
                                                        std::ostream& out, std::ostream& err,
                                                        int& exitCode) {
    CLI::App app(kDescription, "qvdevice");
    std::vector<std::pair<StackOptionId, const CLI::Option*>> shared;
    for (const StackOption& option : StackOptions())
        if (ExportsIt(option)) shared.emplace_back(option.id, AddStackOption(app, option));
    std::string listen = "127.0.0.1:" + std::to_string(usbip::kDefaultPort);
    app.add_option("--listen", listen,
                   "The IPv4 address and TCP port to listen on, ADDR:PORT (default " + listen +
                       ", this machine only)")
        ->type_name("ADDR:PORT");
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        exitCode = 0;
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        err << "qvdevice: " << e.what() << "\n";
        exitCode = kUsageExit;
        return std::nullopt;
    }

    std::vector<GivenOption> given;
    std::map<const CLI::Option*, std::size_t> seen;
    for (const CLI::Option* option : app.parse_order()) {
        const auto it = std::ranges::find(shared, option,
                                          &std::pair<StackOptionId, const CLI::Option*>::second);
        if (it == shared.end()) continue;
        const std::size_t index = seen[option]++;
        const bool flag = StackOptionFor(it->first).valueName.empty();
        const std::vector<std::string>& values = option->results();
        given.push_back({it->first, !flag && index < values.size() ? values[index] : ""});
    }
    Expected<DeviceStackOptions> options = ReadStackOptions(given);
    if (options.ok() && options->virtualDevices.empty())
        options = Problem{FailureKind::kOther, "give --simulate (once per device to export)"};
    const Expected<usbip::ListenAddress> address =
        options.ok() ? usbip::ParseListenAddress(listen) : options.problem();
    if (!address.ok()) {
        err << "qvdevice: " << address.text() << "\n";
        exitCode = kUsageExit;
        return std::nullopt;
    }
    return QvdeviceSettings{std::move(options->virtualDevices), *address};
}

}  // namespace qv

#include "cli/ListCommand.h"

#include <ostream>

namespace qv {
namespace {

int RunList(CliContext& context) {
    DeviceApi* api = context.Api();
    if (api == nullptr) return 1;
    const std::vector<FoundDevice> devices = ScanDevices(*api);
    std::vector<DeviceResult> access;
    for (const FoundDevice& d : devices) access.push_back(TryOpen(*api, d));
    std::ostream& out = context.Out();
    if (context.Json()) {
        out << "[";
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const FoundDevice& d = devices[i];
            out << (i ? ",\n " : "") << "{\"name\": " << JsonQuote(d.displayName)
                << ", \"id\": " << JsonQuote(d.idText)
                << ", \"mode\": " << (d.propertyMode ? "\"property\"" : "\"plain\"")
                << ", \"path\": " << JsonQuote(d.path);
            if (!access[i].ok()) out << ", \"unusable\": " << JsonQuote(access[i].text());
            out << "}";
        }
        out << "]\n";
        return 0;
    }
    if (devices.empty()) out << "No device is available\n";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const FoundDevice& d = devices[i];
        out << d.displayName << "  " << d.idText << "  "
            << (d.propertyMode ? "product (property mode)" : "bare chip in ISP mode (plain mode)")
            << "  " << d.path << '\n';
        if (!access[i].ok()) out << "  cannot be used: " << access[i].text() << '\n';
    }
    return 0;
}

}  // namespace

void AddListCommand(CLI::App& app, CliContext& context) {
    app.add_subcommand("list", "List the updatable devices present")->callback([&context] {
        context.SetExitCode(RunList(context));
    });
}

}  // namespace qv

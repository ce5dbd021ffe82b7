#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <map>

namespace qv {
namespace {

// A shared device option as the window's parser knows it.
struct WindowOption {
    StackOptionId id;
    QCommandLineOption option;
};

// The window runs the virtual device in real time, so it offers every shared option but that.
std::vector<WindowOption> AddDeviceOptions(QCommandLineParser& parser) {
    std::vector<WindowOption> added;
    for (const StackOption& shared : StackOptions()) {
        if (shared.id == StackOptionId::kSimVirtualTime) continue;
        QStringList names;
        for (const std::string& name : shared.names) names << QString::fromStdString(name);
        const QString help = QString::fromStdString(shared.help) + QLatin1Char('.');
        added.push_back(
            {shared.id,
             shared.valueName.empty()
                 ? QCommandLineOption(names, help)
                 : QCommandLineOption(names, help, QString::fromStdString(shared.valueName))});
        parser.addOption(added.back().option);
    }
    return added;
}

// An option whose value is optional takes it only as --NAME=VALUE; alone it must not swallow
// the next argument.
QStringList WithOptionalValuesAttached(QStringList arguments) {
    for (const StackOption& shared : StackOptions()) {
        if (!shared.valueOptional) continue;
        const QString alone = QStringLiteral("--") + QString::fromStdString(shared.names.front());
        for (QString& argument : arguments) {
            if (argument == alone) argument += QLatin1Char('=');
        }
    }
    return arguments;
}

// The device options in the order they were given, each with its value.
std::vector<GivenOption> GivenInOrder(const QCommandLineParser& parser,
                                      const std::vector<WindowOption>& options) {
    std::vector<GivenOption> given;
    std::map<StackOptionId, qsizetype> seen;
    for (const QString& name : parser.optionNames()) {
        const auto option = std::ranges::find_if(
            options, [&](const WindowOption& o) { return o.option.names().contains(name); });
        if (option == options.end()) continue;
        const QStringList values = parser.values(name);
        const qsizetype index = seen[option->id]++;
        given.push_back({option->id, index < values.size() ? values[index].toStdString() : ""});
    }
    return given;
}

// The device options, or why they are refused.
Expected<DeviceStackOptions, QString> DeviceOptions(const QCommandLineParser& parser,
                                                    const std::vector<WindowOption>& options) {
    Expected<DeviceStackOptions> device = ReadStackOptions(GivenInOrder(parser, options));
    if (device.ok() && device->virtualDevices.size() > 1)
        device = Problem{FailureKind::kOther, "The window shows one device: give --simulate once"};
    if (!device.ok()) return QString::fromStdString(device.text()) + QLatin1Char('.');
    return std::move(*device);
}

}  // namespace

Expected<AppOptions, QString> ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Firmware update tool for USB audio products with the QV4820 bridge."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the program's version."));
    parser.addOption(version);
    const QCommandLineOption service(QStringLiteral("service"),
                                     QStringLiteral("Show the maintenance pages."));
    parser.addOption(service);
    const std::vector<WindowOption> deviceOptions = AddDeviceOptions(parser);

    if (!parser.parse(WithOptionalValuesAttached(arguments))) return parser.errorText();
    if (!parser.positionalArguments().isEmpty()) {
        return QStringLiteral("Unexpected argument '%1'.")
            .arg(parser.positionalArguments().first());
    }
    Expected<DeviceStackOptions, QString> device = DeviceOptions(parser, deviceOptions);
    if (!device.ok()) return device.problem();
    return AppOptions{.help = parser.isSet(help),
                      .helpText = parser.helpText(),
                      .version = parser.isSet(version),
                      .service = parser.isSet(service),
                      .device = std::move(*device)};
}

}  // namespace qv

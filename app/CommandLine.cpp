#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace qv {

std::optional<AppOptions> ParseCommandLine(const QStringList& arguments, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Firmware update tool for USB audio products with the QV4820 bridge."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption service(QStringLiteral("service"),
                                     QStringLiteral("Show the maintenance pages."));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Run on a virtual device: a catalogue product by name or firmware base, "
                       "isp-a7d6 or isp-0c5e (default: Tesmora K2 DAC)."),
        QStringLiteral("NAME"));
    const QCommandLineOption simLog(QStringLiteral("sim-log"),
                                    QStringLiteral("Write the virtual device's transfers to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption simFault(QStringLiteral("sim-fault"),
                                      QStringLiteral("Rehearse a fault on the virtual device "
                                                     "(repeatable)."),
                                      QStringLiteral("FAULT"));
    parser.addOptions({service, simulate, simLog, simFault});

    // --simulate takes its name only as --simulate=NAME; alone it must not swallow the next
    // argument.
    QStringList normalized = arguments;
    for (QString& argument : normalized) {
        if (argument == QLatin1String("--simulate")) argument += QLatin1Char('=');
    }
    if (!parser.parse(normalized)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    AppOptions options;
    options.help = parser.isSet(help);
    options.helpText = parser.helpText();
    options.service = parser.isSet(service);
    options.simulate = parser.isSet(simulate);
    options.product = parser.value(simulate);
    options.simLog = parser.value(simLog);
    options.simFaults = parser.values(simFault);
    if (!options.simulate && (parser.isSet(simLog) || parser.isSet(simFault))) {
        error = QStringLiteral("--sim-log and --sim-fault need --simulate.");
        return std::nullopt;
    }
    return options;
}

}  // namespace qv

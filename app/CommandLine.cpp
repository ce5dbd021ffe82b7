#include "app/CommandLine.h"

#include <QCommandLineParser>

#include "sim/SimFaults.h"
#include "sim/Simulation.h"

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
    const QCommandLineOption ioLog(
        QStringList{QStringLiteral("io-log"), QStringLiteral("sim-log")},
        QStringLiteral("Append every I/O control sent to the device, real or virtual, to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("Run on a device that answers from a traffic log written with --io-log."),
        QStringLiteral("FILE"));
    const QCommandLineOption simFault(QStringLiteral("sim-fault"),
                                      QString::fromStdString(qv::sim::FaultHelp()),
                                      QStringLiteral("FAULT"));
    const QCommandLineOption simAudio(QStringLiteral("sim-audio"),
                                      QString::fromUtf8(qv::sim::kSimAudioHelp),
                                      QStringLiteral("FORMAT,RATE"));
    const QCommandLineOption simFlash(QStringLiteral("sim-flash"),
                                      QString::fromStdString(qv::sim::SimFlashHelp()),
                                      QStringLiteral("ID"));
    const QCommandLineOption simState(QStringLiteral("sim-state"),
                                      QString::fromUtf8(qv::sim::kSimStateHelp),
                                      QStringLiteral("FILE"));
    const QCommandLineOption simLatency(QStringLiteral("sim-latency"),
                                        QString::fromUtf8(qv::sim::kSimLatencyHelp),
                                        QStringLiteral("US"));
    parser.addOptions(
        {service, simulate, ioLog, replay, simFault, simAudio, simFlash, simState, simLatency});

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
    options.ioLog = parser.value(ioLog);
    options.replay = parser.value(replay);
    options.simFaults = parser.values(simFault);
    options.simAudio = parser.value(simAudio);
    options.simFlash = parser.value(simFlash);
    options.simState = parser.value(simState);
    options.simLatency = parser.value(simLatency);
    for (const QCommandLineOption* option :
         {&simFault, &simAudio, &simFlash, &simState, &simLatency}) {
        if (!options.simulate && parser.isSet(*option)) {
            error = QStringLiteral("--%1 needs --simulate.").arg(option->names().first());
            return std::nullopt;
        }
    }
    if (parser.isSet(replay) && options.simulate) {
        error = QStringLiteral("--replay and --simulate exclude each other.");
        return std::nullopt;
    }
    return options;
}

}  // namespace qv

// qvupdate: the update window, on the USB bus or on a virtual device.

#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/ExceptionBox.h"
#include "app/QtDialogs.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "platform/RecordingDeviceApi.h"
#include "platform/ReplayDeviceApi.h"
#include "platform/StopSignals.h"
#include "platform/SystemDeviceApi.h"
#include "sim/Simulation.h"

namespace {

int Run(QApplication& application) {
    QString error;
    const std::optional<qv::AppOptions> options =
        qv::ParseCommandLine(application.arguments(), error);
    if (!options) {
        std::fprintf(stderr, "qvupdate: %s\n", qPrintable(error));
        return 2;
    }
    if (options->help) {
        std::fputs(qPrintable(options->helpText), stdout);
        return 0;
    }

    std::unique_ptr<qv::sim::Simulation> simulation;
    std::unique_ptr<qv::DeviceApi> systemApi;
    std::unique_ptr<qv::ReplayDeviceApi> replay;
    std::unique_ptr<qv::RecordingDeviceApi> recorder;
    qv::DeviceApi* api = nullptr;
    std::string setupError;
    if (options->simulate) {
        qv::sim::SimulationOptions simulationOptions;
        simulationOptions.product = options->product.toStdString();
        for (const QString& fault : options->simFaults) {
            simulationOptions.faults.push_back(fault.toStdString());
        }
        simulationOptions.audio = options->simAudio.toStdString();
        simulationOptions.flash = options->simFlash.toStdString();
        simulationOptions.stateFile = options->simState.toStdString();
        simulationOptions.latency = options->simLatency.toStdString();
        simulationOptions.realTime = true;
        simulation = qv::sim::Simulation::Create(simulationOptions, setupError);
        if (simulation) api = &simulation->Bus();
    } else if (!options->replay.isEmpty()) {
        replay = qv::ReplayDeviceApi::Load(options->replay.toStdString(), setupError);
        api = replay.get();
    } else {
        // The window's timer probes the bus every second: it never waits for a device that
        // another program holds, it shows that the device is in use.
        systemApi = qv::CreateSystemDeviceApi(std::chrono::milliseconds{0});
        api = systemApi.get();
    }
    if (api != nullptr && !options->ioLog.isEmpty()) {
        recorder = qv::RecordingDeviceApi::Create(*api, options->ioLog.toStdString(), setupError);
        api = recorder.get();
    }
    if (api == nullptr) {
        std::fprintf(stderr, "qvupdate: %s\n", setupError.c_str());
        return 2;
    }

    qv::UnitState unit(*api);
    qv::QtDialogs dialogs;
    qv::TForm1 form(unit, dialogs);
    if (options->service) form.ShowServicePages();
    form.show();
    // A stop request (SIGTERM from a session's end or from kill) ends the window as its close
    // box does, so the virtual device's state is saved below; a running update first ends at
    // its next safe point, as with its Stop.
    QTimer stopWatch;
    stopWatch.callOnTimeout([&] {
        if (!qv::StopRequested()) return;
        unit.flash.stopRequested = true;
        QCoreApplication::quit();
    });
    stopWatch.start(100);
    const int status = application.exec();
    std::string saveError;
    if (simulation && !simulation->SaveState(saveError)) {
        std::fprintf(stderr, "qvupdate: %s\n", saveError.c_str());
        return status == 0 ? 1 : status;
    }
    if (recorder && !recorder->WriteFailure().empty()) {
        std::fprintf(stderr, "qvupdate: %s\n", recorder->WriteFailure().c_str());
        return status == 0 ? 1 : status;
    }
    if (replay) {
        const qv::DeviceResult verdict = replay->Verdict();
        if (!verdict.ok()) {
            std::fprintf(stderr, "qvupdate: replay: %s\n", verdict.text().c_str());
            return status != 0 ? status : 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const qv::StopSignals stop(
        "qvupdate: closing at the next safe point; a second stop ends at once\n");
    qv::GuardedApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvupdate"));
    try {
        return Run(application);
    } catch (...) {
        qv::ShowExceptionBox(std::current_exception());
        return 1;
    }
}

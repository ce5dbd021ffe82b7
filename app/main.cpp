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
#include "platform/StandardStreams.h"
#include "platform/StopSignals.h"
#include "stack/DeviceStack.h"

namespace {

constexpr int kUsageStatus = 2;

int Refuse(const std::string& reason) {
    std::fprintf(stderr, "qvupdate: %s\n", reason.c_str());
    return kUsageStatus;
}

// The window over `device` until it is closed; the application's exit status.
int ShowWindow(QApplication& application, const qv::AppOptions& options, qv::DeviceApi& device) {
    qv::UnitState unit(device);
    qv::QtDialogs dialogs;
    qv::TForm1 form(unit, dialogs);
    if (options.service) form.ShowServicePages();
    form.show();
    // A stop request (SIGTERM from a session's end or from kill) ends the window as its close
    // box does, so the virtual device's state is saved after it; a running update first ends at
    // its next safe point, as with its Stop.
    QTimer stopWatch;
    stopWatch.callOnTimeout([&] {
        if (!qv::StopRequested()) return;
        unit.flash.stopRequested = true;
        QCoreApplication::quit();
    });
    stopWatch.start(100);
    return application.exec();
}

// A replay that went off its recording, a virtual device that could not be kept in its state
// file, or a traffic log cut short, fails a run that would otherwise have succeeded.
int FinishRun(qv::DeviceStack& stack, int status) {
    for (const qv::StackProblem& problem : stack.Finish()) {
        const bool replay = problem.kind == qv::StackProblem::Kind::kReplayDiverged;
        std::fprintf(stderr, "qvupdate: %s%s\n", replay ? "replay: " : "", problem.text.c_str());
        if (status == 0) status = 1;
    }
    return status;
}

int Run(QApplication& application) {
    QString error;
    const std::optional<qv::AppOptions> options =
        qv::ParseCommandLine(application.arguments(), error);
    if (!options) return Refuse(error.toStdString());
    if (options->help) {
        std::fputs(qPrintable(options->helpText), stdout);
        return 0;
    }
    qv::DeviceStackOptions deviceOptions = options->device;
    // The window's timer probes the bus every second: it never waits for a device that another
    // program holds, it shows that the device is in use.
    deviceOptions.systemLockWait = std::chrono::milliseconds{0};
    qv::StackProblem problem;
    const std::unique_ptr<qv::DeviceStack> stack = qv::DeviceStack::Build(deviceOptions, problem);
    if (!stack) return Refuse(problem.text);
    const int status = ShowWindow(application, *options, *stack->Buses().front().api);
    return FinishRun(*stack, status);
}

}  // namespace

int main(int argc, char** argv) {
    qv::KeepStandardStreamsApart();  // before Qt or a traffic log opens a file
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

// qvupdate: the update window, on the USB bus or on a virtual device.

#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/ExceptionBox.h"
#include "app/QtDialogs.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "stack/DeviceStack.h"
#include "system/DesktopSession.h"
#include "system/StandardStreams.h"
#include "system/StopSignals.h"

namespace {

// The command line's exit statuses, for the same outcomes.
constexpr int kDeviceFailureStatus = 1;
constexpr int kUsageStatus = 2;
constexpr int kInterruptedStatus = 5;

// What the window says before (or instead of) showing itself: on its standard stream, and in a
// message box where those streams reach no one (Windows, started without a console).
void Tell(const QString& text, bool refusal) {
    std::FILE* stream = refusal ? stderr : stdout;
    std::fputs(qPrintable((refusal ? QStringLiteral("qvupdate: ") : QString()) + text), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    if (!qv::MessagesNeedAWindow()) return;
    QMessageBox box(refusal ? QMessageBox::Critical : QMessageBox::Information,
                    QStringLiteral("qvupdate"), text, QMessageBox::Ok);
    box.exec();
}

int Refuse(const std::string& reason) {
    Tell(QString::fromStdString(reason), true);
    return kUsageStatus;
}

// The window over `device` until it is closed; the application's exit status.
int ShowWindow(QApplication& application, const qv::AppOptions& options, qv::DeviceApi& device) {
    qv::UnitState unit(device);
    unit.programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath())
                             .toLocal8Bit()
                             .toStdString();
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
        unit.flashRun.stopRequested = true;
        QCoreApplication::quit();
    });
    stopWatch.start(100);
    const int status = application.exec();
    if (status != 0 || !unit.lastUpdate) return status;
    // Closed after an update that did not succeed: scripts learn what the product was left in.
    switch (*unit.lastUpdate) {
        case qv::SequenceOutcome::kSuccess:
            return 0;
        case qv::SequenceOutcome::kFailed:
            return kDeviceFailureStatus;
        case qv::SequenceOutcome::kStopped:
            return kInterruptedStatus;
    }
    return status;
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
    const qv::Expected<qv::AppOptions, QString> options =
        qv::ParseCommandLine(application.arguments());
    if (!options.ok()) return Refuse(options.problem().toStdString());
    if (options->help) {
        Tell(options->helpText.trimmed(), false);
        return 0;
    }
    if (options->version) {
        Tell(QStringLiteral("qvupdate %1").arg(QStringLiteral(QV_VERSION)), false);
        return 0;
    }
    qv::DeviceStackOptions deviceOptions = options->device;
    // The window's timer probes the bus every second: it never waits for a device that another
    // program holds, it shows that the device is in use.
    deviceOptions.systemLockWait = std::chrono::milliseconds{0};
    const auto stack = qv::DeviceStack::Build(deviceOptions);
    if (!stack.ok()) return Refuse(stack.problem().text);
    const int status = ShowWindow(application, *options, *(*stack)->Buses().front().api);
    return FinishRun(**stack, status);
}

}  // namespace

int main(int argc, char** argv) {
    qv::KeepStandardStreamsApart();  // before Qt or a traffic log opens a file
    qv::AttachParentConsole();
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

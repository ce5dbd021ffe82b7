#include "app/WindowReporter.h"

#include <QCoreApplication>
#include <QLabel>

#include "app/FittedText.h"
#include "flash/StepFailure.h"

namespace qv {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void Show(const QPointer<QLabel>& label, const QString& text) {
    if (label) label->setText(text);
}

void ShowLong(const QPointer<QLabel>& label, const QString& text) {
    if (label) ShowFitted(label, text);
}

}  // namespace

void WindowReporter::Attach(const Labels& labels) {
    processInfo_ = labels.processInfo;
    processAddress_ = labels.processAddress;
    statusRegister_ = labels.statusRegister;
    stepText_ = labels.stepText;
}

void WindowReporter::ProcessInfo(std::string_view text) {
    lastProcessInfo_ = Text(text);
    ShowLong(processInfo_, lastProcessInfo_);
}

void WindowReporter::ProcessAddress(std::string_view text) {
    Show(processAddress_, Text(text));
}

void WindowReporter::StatusRegister(std::string_view text) {
    Show(statusRegister_, Text(text));
}

void WindowReporter::StepText(std::string_view text) {
    lastStepText_ = Text(text);
    // Said before the erase instruction is sent: whether it then arrives cannot be known.
    flashTouched_ = flashTouched_ || lastStepText_.startsWith(QStringLiteral("Flash Erase All"));
    ShowLong(stepText_, lastStepText_);
}

void WindowReporter::Pump() {
    if (stepText_) QCoreApplication::processEvents();
}

void WindowReporter::Warning(FlashStep step, const StepReason& reason) {
    warnings_.push_back(QStringLiteral("Warning: ") + QString::fromUtf8(FlashStepName(step)) +
                        QStringLiteral(": ") + QString::fromStdString(reason.Text()));
    ShowLong(processInfo_, warnings_.back());
}

void WindowReporter::StepFailed(FlashStep, const StepReason& reason) {
    deviceGone_ = deviceGone_ || reason.Kind() == FailureKind::kGone;
}

void WindowReporter::ClearTrail() {
    lastProcessInfo_.clear();
    lastStepText_.clear();
    warnings_.clear();
    deviceGone_ = false;
    flashTouched_ = false;
}

}  // namespace qv

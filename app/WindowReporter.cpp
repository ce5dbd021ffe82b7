#include "app/WindowReporter.h"

namespace qv {

void WindowReporter::Attach(TForm1& window, const Labels& labels) {
    window_ = &window;
    processInfo_ = labels.processInfo;
    processAddress_ = labels.processAddress;
    statusRegister_ = labels.statusRegister;
    stepText_ = labels.stepText;
}

void WindowReporter::Pump() {
    if (window_) window_->PumpMessages();
}

void WindowReporter::Show(const QPointer<QLabel>& label, std::string_view text) {
    if (label) label->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace qv

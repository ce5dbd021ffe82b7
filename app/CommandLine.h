#pragma once
// The options of the window: the maintenance pages, the virtual device, traffic capture and
// replay.

#include <QStringList>
#include <optional>

namespace qv {

struct AppOptions {
    bool help = false;
    QString helpText;
    bool service = false;   // --service
    bool simulate = false;  // --simulate[=NAME]
    QString product;        // NAME; empty: the product of catalogue row 1
    QString ioLog;          // --io-log FILE (or --sim-log FILE)
    QString replay;         // --replay FILE
    QStringList simFaults;  // --sim-fault=FAULT, repeatable
    QString simAudio;       // --sim-audio=FORMAT,RATE[,mute][,disconnected]
    QString simFlash;       // --sim-flash=ID
    QString simState;       // --sim-state FILE
    QString simLatency;     // --sim-latency=US
};

// The options, or nothing with the reason in `error`.
std::optional<AppOptions> ParseCommandLine(const QStringList& arguments, QString& error);

}  // namespace qv

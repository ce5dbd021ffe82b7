#pragma once
// The options of the window: the maintenance pages, and the device options it shares with the
// command line (the virtual device, traffic capture and replay).

#include <QStringList>

#include "result/Expected.h"
#include "stack/StackOptions.h"

namespace qv {

struct AppOptions {
    bool help = false;
    QString helpText;
    bool version = false;       // --version
    bool service = false;       // --service
    DeviceStackOptions device;  // at most one virtual device: the window shows one
};

// The options, or why they are refused.
Expected<AppOptions, QString> ParseCommandLine(const QStringList& arguments);

}  // namespace qv

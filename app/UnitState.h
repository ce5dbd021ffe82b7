#pragma once
// The window unit's state: everything that exists before the window is created and outlives
// it. One object per run; each test builds its own over a fresh device interface.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/WindowReporter.h"
#include "flash/FlashRun.h"
#include "flash/FlashSelection.h"
#include "flash/FlashTarget.h"
#include "flash/UpdateSequences.h"
#include "image/FirmwareImage.h"
#include "platform/DeviceApi.h"
#include "usb/QuorvexUsb.h"

namespace qv {

struct UnitState {
    explicit UnitState(DeviceApi& deviceApi);
    UnitState(const UnitState&) = delete;
    UnitState& operator=(const UnitState&) = delete;

    DeviceApi& api;
    QuorvexUsb usb;  // the one link; its destruction closes a handle still held

    QString windowTitle = QStringLiteral("Tesmora firmware update Tool V1.00");
    QString selectedVid;
    QString selectedPid;

    // Texts of the Information page's status labels.
    std::array<QString, 2> connectTexts;
    std::array<QString, 2> muteTexts;
    std::array<QString, 2> formatTexts;
    std::array<std::array<QString, 16>, 2> freqTexts;  // [format][rate code], eight characters

    // Device detection.
    bool detectEnabled = false;
    bool updateFinished = false;  // the one-button update succeeded: it does not run again
    // What the last one-button update that did not succeed left the product in, and what to do
    // next; the panel keeps saying it until the next update starts. Empty otherwise.
    QString updateOutcome;
    // How the last one-button update ended; the window's exit status says it.
    std::optional<SequenceOutcome> lastUpdate;
    bool autoSequenceRunning = false;
    bool firmwareFileReady = false;
    // Why the device found cannot be opened (no permission, held by another program).
    std::optional<QString> accessProblem;
    std::uint8_t catalogIndex = 0;  // DeviceCatalog row tried last or found
    int fruitlessScans = 0;         // candidates tried in a row without finding one
    bool ispIdToggle = false;       // true: "vid_a7d6&pid_6000" was tried last

    // Firmware files. The catalogue file is looked for beside the program first (its folder,
    // empty when there is none to look in), then in the current folder.
    std::string programFolder;
    bool programFileReady = false;
    FirmwareImage firmwareImage;
    QString programImageName;  // what the update panel calls the firmware image
    ModifyImage modifyImage;
    QString ModifyFileName;
    QString NewBinFileName;

    // Flash operations (ISP page and the update sequences): the flash id and block size, the
    // page's range and ISP toggle, and the running operation's stop request. They report to the
    // window's labels while a window is attached.
    WindowReporter flashReporter;
    FlashTarget flashTarget{usb, firmwareImage};
    FlashSelection flashSelection;
    FlashRun flashRun{flashReporter};

    // Parameter page: audio output settings, byte 0 first.
    std::array<std::uint8_t, 4> SystemSettings{};

    // Register page and I2C Access page: per register of the chip's bank and of the I2C slave,
    // the value last seen there (read or written).
    std::array<std::uint8_t, 256> registerShadow{};
    std::array<std::uint8_t, 256> slaveShadow{};

    // I2C Access and special I2C access: the slave address in 8-bit form (bit 0 = direction).
    std::uint8_t i2cSlaveAddress = 0x20;

    // Information page: status registers 0xA4, 0xA5 and 0xA6 as last read.
    std::array<std::uint8_t, 3> statusRegisters{};
};

}  // namespace qv

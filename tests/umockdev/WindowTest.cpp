// The update window on the real libusb platform: hot-plug as the timer sees it.

#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>
#include <algorithm>
#include <fstream>

#include "app/TForm1.h"
#include "app/UnitState.h"
#include "platform/SystemDeviceApi.h"
#include "tests/app/FormFixture.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/umockdev/UmockdevFixture.h"

namespace qv::test {
namespace {

using WindowOverLibusb = UmockdevTest;

TEST_F(WindowOverLibusb, FindsAProductPluggedInAfterStartAndNoticesItUnplugged) {
    Bus().AddUnrelated();
    const std::unique_ptr<DeviceApi> api = CreateSystemDeviceApi();
    UnitState unit(*api);
    ScriptedDialogs dialogs;
    TForm1 form(unit, dialogs);
    auto* detected = form.findChild<QLabel*>(QStringLiteral("lblDetectDevice"));
    ASSERT_NE(detected, nullptr);
    // A few scanning ticks with nothing of ours on the bus.
    QTest::qWait(300);
    EXPECT_EQ(detected->text(), "No device is available");

    EmulatedUsbDevice& product = Bus().AddProduct(0xf017, NewChip());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return detected->text() == "Find Device Tesmora K2 DAC"; }, 5000))
        << detected->text().toStdString();

    Bus().Unplug(product);
    EXPECT_TRUE(QTest::qWaitFor([&] { return detected->text() == "No device is available"; }, 5000))
        << detected->text().toStdString();
}

// A chip that restarts as it leaves ISP mode is gone at the end of a good update: the window
// still says what the flash holds.
TEST_F(WindowOverLibusb, AChipThatRestartsOnLeavingIspShowsSuccess) {
    std::ofstream(WorkDir() / "Tesmora_K2DAC_v11.hex")
        << HexRecord(0, {0x12, 0x34, 0x56, 0x78}) << ":00000001FF\n";
    const auto chip = NewChip();
    chip->SetRestartOnIspLeave(true);
    EmulatedUsbDevice& product = Bus().AddProduct(0xf017, chip);
    const std::unique_ptr<DeviceApi> api = CreateSystemDeviceApi();
    UnitState unit(*api);
    ScriptedDialogs dialogs;
    dialogs.warningAnswers = {true};
    TForm1 form(unit, dialogs);
    auto* status = form.findChild<QLabel*>(QStringLiteral("lblISPProcStatus"));
    auto* start = form.findChild<QPushButton*>(QStringLiteral("btnSimpleAuto"));
    ASSERT_NE(status, nullptr);
    ASSERT_NE(start, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return start->isEnabled(); }, 5000));

    start->click();

    EXPECT_EQ(status->text(), "Firmware update success!");
    EXPECT_TRUE(status->toolTip().isEmpty()) << status->toolTip().toStdString();
    EXPECT_TRUE(product.Unplugged());
    const std::vector<std::uint8_t> written{0x12, 0x34, 0x56, 0x78};
    EXPECT_TRUE(std::equal(written.begin(), written.end(), chip->Flash().Contents().begin()));
}

// A product listed but not openable says why, and the update cannot be started.
TEST_F(WindowOverLibusb, ADeviceWithoutPermissionSaysWhyAndCannotBeStarted) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every device file; .ci/run runs it as nobody";
    EmulatedUsbDevice& product = Bus().AddProduct(0xf017, NewChip());
    Bus().DenyAccess(product);
    const std::unique_ptr<DeviceApi> api = CreateSystemDeviceApi();
    UnitState unit(*api);
    ScriptedDialogs dialogs;
    TForm1 form(unit, dialogs);
    auto* status = form.findChild<QLabel*>(QStringLiteral("lblISPProcStatus"));
    auto* start = form.findChild<QPushButton*>(QStringLiteral("btnSimpleAuto"));
    ASSERT_NE(status, nullptr);
    ASSERT_NE(start, nullptr);
    const auto shown = [&] {
        return status->toolTip().isEmpty() ? status->text() : status->toolTip();
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shown().startsWith("no permission to open /dev/bus/usb/"); }, 5000))
        << shown().toStdString();
    EXPECT_TRUE(shown().endsWith("install the udev rule (see README)")) << shown().toStdString();
    EXPECT_FALSE(start->isEnabled());
}

}  // namespace
}  // namespace qv::test

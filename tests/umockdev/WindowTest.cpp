// The update window on the real libusb platform: hot-plug as the timer sees it.

#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include "app/TForm1.h"
#include "app/UnitState.h"
#include "platform/SystemDeviceApi.h"
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

// The update window on the real libusb platform: hot-plug as the timer sees it.

#include <QLabel>
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

}  // namespace
}  // namespace qv::test

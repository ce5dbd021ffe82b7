// What detection makes of a product it finds: only a device that cannot be opened blocks
// "Start", with the reason of that device; one whose presence test fails is still updatable.

#include <QAbstractButton>
#include <QLabel>

#include "platform/ForwardingDeviceApi.h"
#include "sim/Qv4820Model.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

constexpr const char* kProductId = "vid_a7d6&pid_f017";

// The virtual bus, refusing to open one path as a system refuses a device without access.
class RefusingApi final : public ForwardingDeviceApi {
  public:
    using ForwardingDeviceApi::ForwardingDeviceApi;
    std::string refusedPath;

    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override {
        if (path == refusedPath) {
            return DeviceResult::Failure(FailureKind::kPermission,
                                         "opening the device: Access denied");
        }
        return Inner().OpenPath(path, handle);
    }
};

struct AccessCase {
    const char* name;
    bool presenceTestFails;
    bool duplicateInterface;
    bool refuseFirstPath;
    bool updatable;
};

class DeviceAccess : public ::testing::TestWithParam<AccessCase> {
  protected:
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    RefusingApi api{bus};
    UnitState unit{api};
    ScriptedDialogs dialogs;
    TForm1 form{unit, dialogs, FormOptions{96}};
};

TEST_P(DeviceAccess, OnlyADeviceThatCannotBeOpenedIsBlockedWithItsOwnReason) {
    const AccessCase& c = GetParam();
    form.Timer1->stop();
    ScopedWorkDir dir;
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), SmallHexFile());
    const sim::DeviceId device =
        bus.AttachProduct(kProductId, std::make_shared<sim::Qv4820Model>(clock));
    bus.SetDuplicateInterface(device, c.duplicateInterface);
    bus.SetTransferFaults(device, {.presenceTestFails = c.presenceTestFails});
    if (c.refuseFirstPath) api.refusedPath = bus.PathOf(device);

    form.Timer1Timer();

    EXPECT_EQ(form.findChild<QLabel*>("lblDetectDevice")->text(), "Find Device Tesmora K2 DAC");
    EXPECT_EQ(form.findChild<QAbstractButton*>("btnSimpleAuto")->isEnabled(), c.updatable);
    const QString status = form.findChild<QLabel*>("lblISPProcStatus")->text();
    EXPECT_EQ(status.contains("Access denied"), !c.updatable) << status.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceAccess,
    ::testing::Values(AccessCase{"Usual", false, false, false, true},
                      AccessCase{"PresenceTestFails", true, false, false, true},
                      AccessCase{"CannotBeOpened", false, false, true, false},
                      // The interface found last is the one used; the first one's refusal is
                      // no reason to block it.
                      AccessCase{"FirstOfTwoInterfacesCannotBeOpened", false, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A device that could not be opened (another program held it, its driver was still starting)
// is tried again on each tick: blocked while the refusal lasts, updatable once it opens.
TEST(DeviceAccessRetry, ADeviceThatCouldNotBeOpenedIsTriedAgainOnEachTick) {
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    RefusingApi api{bus};
    UnitState unit{api};
    ScriptedDialogs dialogs;
    TForm1 form{unit, dialogs, FormOptions{96}};
    form.Timer1->stop();
    ScopedWorkDir dir;
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), SmallHexFile());
    api.refusedPath =
        bus.PathOf(bus.AttachProduct(kProductId, std::make_shared<sim::Qv4820Model>(clock)));
    const auto start = [&] {
        return form.findChild<QAbstractButton*>("btnSimpleAuto")->isEnabled();
    };
    const auto status = [&] { return form.findChild<QLabel*>("lblISPProcStatus")->text(); };

    for (int tick = 0; tick < 3; ++tick) {
        form.Timer1Timer();
        EXPECT_FALSE(start()) << tick;
        EXPECT_TRUE(status().contains("Access denied")) << status().toStdString();
    }
    api.refusedPath.clear();
    form.Timer1Timer();
    EXPECT_TRUE(start());
    EXPECT_EQ(status(), "");
    EXPECT_EQ(form.findChild<QLabel*>("lblDetectDevice")->text(), "Find Device Tesmora K2 DAC");
}

}  // namespace
}  // namespace qv::test

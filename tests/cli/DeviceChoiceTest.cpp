// Several virtual devices at once: choosing one with --device, and update --all.

#include <gtest/gtest.h>

#include "CliRun.h"

namespace qv {
namespace {

const std::vector<std::string> kTwoDevices{"--simulate=Tesmora K2 DAC", "--simulate=isp-a7d6"};

std::vector<std::string> With(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST(QvtoolDevice, SeveralPresentChangingCommandsNeedDeviceReadOnlyOnesSayWhichTheyUsed) {
    const CliRun list = RunCli(With(kTwoDevices, {"--json", "list"}));
    ASSERT_EQ(list.status, 0);
    const auto devices = list.Json()["devices"];
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_NE(devices[0]["path"], devices[1]["path"]);

    const CliRun write = RunCli(With(kTwoDevices, {"reg", "write", "A4", "01"}));
    EXPECT_EQ(write.status, 2);
    EXPECT_TRUE(Has(write.err, "2 devices are present; choose one with --device")) << write.err;
    EXPECT_TRUE(Has(write.err, "vid_a7d6&pid_6000")) << write.err;

    const CliRun read = RunCli(With(kTwoDevices, {"reg", "read", "A4"}));
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(Has(read.err, "using Tesmora K2 DAC")) << read.err;

    // By id text in any case, and by the path `list` shows.
    const CliRun byId = RunCli(
        With(kTwoDevices, {"--json", "--device", "VID_A7D6&PID_6000", "reg", "write", "A4", "01"}));
    EXPECT_EQ(byId.status, 0) << byId.out;
    EXPECT_EQ(byId.Json()["device"]["name"], "Firmware update device A7D6");
    const std::string path = devices[1]["path"];
    const CliRun byPath = RunCli(With(kTwoDevices, {"--json", "--device", path, "flash", "id"}));
    EXPECT_EQ(byPath.status, 0) << byPath.out;
    EXPECT_EQ(byPath.Json()["device"]["path"], path);

    const CliRun none = RunCli(With(kTwoDevices, {"--device", "vid_1234&pid_5678", "status"}));
    EXPECT_EQ(none.status, 3);
    EXPECT_TRUE(Has(none.err, "present:")) << none.err;
}

TEST(QvtoolDevice, EachVirtualDeviceKeepsItsOwnState) {
    // The write reaches the chosen device only: the other still reads its reset value.
    const CliRun run = RunCli({"--simulate", "--simulate", "--json", "--device",
                               "vid_a7d6&pid_f017", "reg", "write", "A4", "5A"});
    // Two identical products: the id names both, so the choice stays ambiguous.
    EXPECT_EQ(run.status, 2) << run.out;
    const auto paths = RunCli({"--simulate", "--simulate", "--json", "list"}).Json()["devices"];
    const std::string second = paths[1]["path"];
    ASSERT_EQ(
        RunCli({"--simulate", "--simulate", "--device", second, "reg", "write", "A4", "5A"}).status,
        0);
}

TEST(QvtoolUpdateAll, OneDeviceFailingMidRunDoesNotStopTheOthers) {
    const std::string demo = QV_DEMO_FIRMWARE_PATH;
    // The third device is unplugged during its program stage.
    const CliRun run = RunCli({"--json", "--simulate=isp-a7d6", "--simulate=isp-a7d6",
                               "--simulate=isp-a7d6", "--sim-fault=unplug-after:400",
                               "--simulate=isp-0c5e", "update", "--all", "--yes", "--file", demo});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const auto json = run.Json();
    EXPECT_EQ(json["command"], "update --all");
    EXPECT_EQ(json["updated"], 3);
    EXPECT_EQ(json["failed"], 1);
    const auto& devices = json["devices"];
    ASSERT_EQ(devices.size(), 4u);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::string steps = devices[i]["steps"].dump();
        if (i == 2) {
            EXPECT_EQ(devices[i]["result"], "failed");
            EXPECT_FALSE(Has(steps, "Firmware update success!"));
            // The closing steps still ran after the failure, and say how they ended.
            const std::string warnings = devices[i]["warnings"].dump();
            EXPECT_TRUE(Has(warnings, R"("step":"leave ISP mode","kind":"gone")")) << warnings;
        } else {
            EXPECT_EQ(devices[i]["result"], "success") << steps;
            EXPECT_TRUE(Has(steps, "Firmware update success!")) << steps;
        }
    }
    EXPECT_EQ(json["error"]["kind"], "device");
}

TEST(QvtoolUpdateAll, CatalogueFilesPerProductAndBareChipsOnlyWithFile) {
    // Without --file each product needs its catalogue file in the current folder; none is
    // there, so the run is refused before any device is touched.
    const CliRun missing =
        RunCli({"--simulate", "--simulate=isp-a7d6", "update", "--all", "--yes"});
    EXPECT_EQ(missing.status, 4) << missing.err;
    EXPECT_TRUE(Has(missing.err, "catalogue file of Tesmora K2 DAC")) << missing.err;

    // Beside a product, a bare chip takes --file only where --device names it.
    const CliRun text =
        RunCli({"--simulate", "--simulate=isp-a7d6", "--device", "vid_a7d6&pid_6000", "update",
                "--all", "--yes", "--file", QV_DEMO_FIRMWARE_PATH});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_TRUE(Has(text.out, "Device                          Result   Time     Path\n"));
    EXPECT_TRUE(Has(text.out, "Firmware update device A7D6")) << text.out;
    EXPECT_FALSE(Has(text.out, "Tesmora K2 DAC")) << text.out;
}

// One file for every device must not reach a product it is not for: with products of two kinds
// (or bare chips beside products) present it is refused before any traffic, unless --device
// chooses the devices.
TEST(QvtoolUpdateAll, OneFileForProductsOfTwoKindsIsRefusedUnlessDeviceChooses) {
    const std::vector<std::string> mixed{"--simulate=Tesmora K2 DAC", "--simulate=Tesmora Pavo",
                                         "--simulate=isp-a7d6", "--json"};
    const CliRun refused =
        RunCli(With(mixed, {"update", "--all", "--yes", "--file", QV_DEMO_FIRMWARE_PATH}));
    EXPECT_EQ(refused.status, 2) << refused.out;
    const auto json = refused.Json();
    const std::string message = json["error"]["message"];
    EXPECT_TRUE(Has(message, "3 kinds (Tesmora K2 DAC, Tesmora Pavo, bare chips in ISP mode)"))
        << message;
    EXPECT_TRUE(Has(message, "Nothing was sent")) << message;
    EXPECT_FALSE(json.contains("devices"));

    const CliRun chosen = RunCli(With(mixed, {"--device", "vid_a7d6&pid_f017", "update", "--all",
                                              "--yes", "--file", QV_DEMO_FIRMWARE_PATH}));
    EXPECT_EQ(chosen.status, 0) << chosen.out;
    const auto devices = chosen.Json()["devices"];
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]["name"], "Tesmora K2 DAC");
    EXPECT_EQ(devices[0]["result"], "success");

    const CliRun none =
        RunCli(With(mixed, {"--device", "vid_1234&pid_5678", "update", "--all", "--yes"}));
    EXPECT_EQ(none.status, 3) << none.out;
}

}  // namespace
}  // namespace qv

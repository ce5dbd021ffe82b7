#include <gtest/gtest.h>

#include "CliRun.h"

namespace qv {
namespace {

TEST(QvtoolList, ShowsTheVirtualProductOrBareChip) {
    CliRun product = RunCli({"--simulate", "list"});
    EXPECT_EQ(product.status, 0);
    EXPECT_NE(product.out.find("Tesmora K2 DAC  vid_a7d6&pid_f017  product (property mode)  "
                               "\\\\?\\usb#vid_a7d6&pid_f017"),
              std::string::npos)
        << product.out;

    CliRun row4 = RunCli({"--simulate=QV4820-6013", "list", "--json"});
    EXPECT_EQ(row4.status, 0);
    const auto device = row4.Json()["devices"].at(0);
    EXPECT_EQ(device["name"], "Quorvex-inc 6012");
    EXPECT_EQ(device["id"], "vid_a7d6&pid_6013");
    EXPECT_EQ(device["mode"], "property");
    EXPECT_EQ(device["virtual"], true);
    EXPECT_EQ(device["path"].get<std::string>().rfind("\\\\?\\usb#", 0), 0u) << row4.out;

    CliRun chip = RunCli({"--simulate=isp-a7d6", "list"});
    EXPECT_NE(chip.out.find("Firmware update device A7D6  vid_a7d6&pid_6000  bare chip"),
              std::string::npos);
    EXPECT_TRUE(Has(chip.out, "  (virtual)\n")) << chip.out;
}

TEST(QvtoolVersion, NamesTheProgramAndItsVersion) {
    const CliRun run = RunCli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "qvtool " QV_VERSION "\n");
}

TEST(QvtoolList, RefusesUnknownProductsAndFaults) {
    CliRun product = RunCli({"--simulate=Nonesuch", "list"});
    EXPECT_NE(product.status, 0);
    EXPECT_NE(product.err.find("unknown virtual product 'Nonesuch'"), std::string::npos);

    CliRun fault = RunCli({"--simulate", "--sim-fault=flip:xyz", "list"});
    EXPECT_NE(fault.status, 0);
    EXPECT_NE(fault.err.find("malformed --sim-fault 'flip:xyz'"), std::string::npos);

    EXPECT_NE(RunCli({"--simulate", "frobnicate"}).status, 0);

    // Faults are given one per option, before or after the command.
    CliRun twoFaults =
        RunCli({"--simulate", "--sim-fault", "stuck-busy", "list", "--sim-fault=bogus"});
    EXPECT_NE(twoFaults.status, 0);
    EXPECT_NE(twoFaults.err.find("'bogus'"), std::string::npos) << twoFaults.err;
}

}  // namespace
}  // namespace qv

// Every command in --json mode, on good and bad input: exactly one JSON document on stdout,
// its "ok" and error kind matching the exit status.

#include <gtest/gtest.h>

#include "CliRun.h"
#include "TestFiles.h"

namespace qv {
namespace {

struct JsonCase {
    std::vector<std::string> arguments;
    int status;
    std::string messagePart;  // expected in error.message; empty on success
};

const char* KindOf(int status) {
    switch (status) {
        case 1:
            return "device";
        case 2:
            return "usage";
        case 3:
            return "no-device";
        case 4:
            return "file";
    }
    return "";
}

TEST(QvtoolJson, EveryCommandPrintsOneDocumentWhoseKindMatchesTheExitStatus) {
    test::TempDir dir;
    const std::string demo = QV_DEMO_FIRMWARE_PATH;
    const std::string dump = dir.File("dump.txt");
    const std::vector<JsonCase> cases{
        {{"list"}, 0, ""},
        {{"image", demo}, 0, ""},
        {{"image", demo, "--out", dir.File("demo.bin")}, 0, ""},
        {{"update", "--yes", "--file", demo}, 0, ""},
        {{"flash", "id"}, 0, ""},
        {{"flash", "status"}, 0, ""},
        {{"flash", "erase"}, 0, ""},
        {{"flash", "blank", "--file", demo}, 0, ""},
        {{"flash", "program", "--file", demo}, 0, ""},
        {{"flash", "read", dump, "--kib", "1"}, 0, ""},
        {{"reg", "read", "A4", "--count", "2"}, 0, ""},
        {{"reg", "write", "10", "5a", "--bank", "E"}, 0, ""},
        {{"i2c", "read", "20", "00", "--count", "4"}, 0, ""},
        {{"i2c", "write", "20", "00", "01", "02"}, 0, ""},
        {{"i2c", "write", "20", "05"}, 0, ""},
        {{"param", "vid", "abcd"}, 0, ""},
        {{"param", "pid", "6012"}, 0, ""},
        {{"param", "string", "1", "Tesmora"}, 0, ""},
        {{"param", "settings"}, 0, ""},
        {{"param", "settings", "--mclk", "512", "--spdif-out", "off"}, 0, ""},
        {{"status"}, 0, ""},
        {{"hid", "play"}, 0, ""},

        {{}, 2, "a command is needed"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"reg", "peek"}, 2, "unknown command 'peek'"},
        {{"list", "--bogus"}, 2, "--bogus"},
        {{"--simulate=Nonesuch", "list"}, 2, "unknown virtual product 'Nonesuch'"},
        {{"update", "--file", demo}, 2, "add --yes"},
        {{"update", "--yes", "--file", dir.File("missing.hex")},
         4,
         "missing.hex: cannot be opened"},
        {{"flash", "verify", "--file", demo}, 1, "Verifying Fail at 0x000000"},
        {{"flash", "read", dump, "--kib", "0"}, 2, "--kib must be 1 to 4095"},
        {{"flash", "read", dir.Path().string()}, 4, "is a folder"},
        {{"flash", "read", dir.File("no/such/dump.txt")}, 4, "does not exist"},
        {{"image", dir.File("missing.hex")}, 4, "No such file or directory"},
        {{"reg", "read", "A4h"}, 2, "'A4h' is not a hexadecimal number"},
        {{"reg", "write", "10", "100"}, 2, "VALUE 100 is above FF"},
        {{"i2c", "read", "20", "FE", "--count", "3"}, 2, "stay within FF"},
        {{"i2c", "read", "42", "00"}, 1, "slave at 42 did not acknowledge"},
        {{"param", "string", "4", "x"}, 2, "must be 1, 2 or 3"},
        {{"param", "settings", "--mclk", "100"}, 2, "--mclk"},
        {{"param", "settings", "--set", "A1000080", "--mclk", "128"}, 2, "exclude each other"},
        {{"hid", "pause"}, 2, "KEY must be"},
        {{"--device", "vid_0000&pid_0000", "status"}, 3, "no device present matches --device"},
        {{"--sim-fault=refuse-isp", "update", "--yes", "--file", demo}, 1, "Enter ISP Mode Fail"},
        {{"--sim-fault=unplug-after:12", "i2c", "write", "20", "00", "01", "02"}, 1, "failed"},
        {{"--sim-fault=mailbox-silent", "param", "settings"}, 1, "never confirmed"},
        {{"--sim-fault=mailbox-silent", "param", "vid", "abcd"}, 1, "never confirmed"},
        {{"--sim-fault=fail-every:2", "status"}, 1, "failed"},
    };
    for (const JsonCase& c : cases) {
        std::vector<std::string> arguments{"--simulate", "--json"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CliRun run = RunCli(arguments);
        std::string label;
        for (const std::string& a : c.arguments) label += a + ' ';
        SCOPED_TRACE(label);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        ASSERT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        const auto json = run.Json();
        EXPECT_EQ(json["ok"], c.status == 0);
        if (c.status == 0) {
            EXPECT_FALSE(json.contains("error"));
        } else {
            EXPECT_EQ(json["error"]["kind"], KindOf(c.status));
            EXPECT_TRUE(Has(json["error"]["message"].get<std::string>(), c.messagePart))
                << json["error"]["message"];
        }
    }
}

TEST(QvtoolJson, BytesThatAreNotUtf8AreEscaped) {
    const CliRun run = RunCli({"--json", "image", "/nonexistent/k2\xFF\xC3.hex"});
    EXPECT_EQ(run.status, 4);
    // The bytes escaped; on Windows the file system reads them in its code page (Windows-1252)
    // first, so they arrive as the characters they stand for there.
    const std::string message = run.Json()["error"]["message"].get<std::string>();
    EXPECT_TRUE(Has(message, "nonexistent/k2\\xFF\\xC3.hex") ||
                Has(message, "nonexistent\\k2\u00FF\u00C3.hex"))
        << run.out;
}

TEST(QvtoolJson, UpdateWithoutYesAsksOnStderrAndDeclinesOnNo) {
    const CliRun declined =
        RunCli({"--simulate", "update", "--file", QV_DEMO_FIRMWARE_PATH}, "n\n");
    EXPECT_EQ(declined.status, 2);
    EXPECT_TRUE(Has(declined.err, "critical operation")) << declined.err;
    EXPECT_FALSE(Has(declined.out, "critical operation"));
    EXPECT_TRUE(Has(declined.err, "nothing was sent"));

    const CliRun accepted =
        RunCli({"--simulate", "update", "--file", QV_DEMO_FIRMWARE_PATH}, "yes\n");
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_TRUE(Has(accepted.out, "Firmware update success!"));
}

// A failure on the device says why, beside the step's own text: the step and the device's
// reason in the message, and {step, kind, message} as "reason" in JSON.
TEST(QvtoolJson, DeviceFailuresCarryTheDevicesReason) {
    const struct {
        std::vector<std::string> arguments;
        std::string step;
        std::string kind;
        std::string reasonPart;
    } cases[] = {
        {{"--simulate", "--sim-fault=silent-after:300", "update", "--yes", "--file",
          QV_DEMO_FIRMWARE_PATH},
         "erase",
         "timed-out",
         "the device stopped answering"},
        {{"--simulate", "--sim-fault=unplug-after:3000", "update", "--yes", "--file",
          QV_DEMO_FIRMWARE_PATH},
         "",
         "gone",
         ""},
        {{"--simulate", "--sim-fault=silent-after:40", "flash", "erase"},
         "",
         "timed-out",
         "stopped"},
        {{"--simulate", "--sim-fault=silent-after:0", "i2c", "read", "20", "00"},
         "",
         "timed-out",
         "the device stopped answering"},
        {{"--simulate", "--sim-fault=silent-after:0", "param", "settings"},
         "",
         "timed-out",
         "the device stopped answering"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("--json");
        SCOPED_TRACE(arguments[1] + " " + arguments[2]);
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 1) << run.out;
        const auto json = run.Json();
        ASSERT_TRUE(json.contains("reason")) << run.out;
        if (!c.step.empty()) {
            EXPECT_EQ(json["reason"]["step"], c.step) << run.out;
        }
        EXPECT_EQ(json["reason"]["kind"], c.kind) << run.out;
        const std::string reason = json["reason"]["message"].get<std::string>();
        EXPECT_TRUE(Has(reason, c.reasonPart)) << run.out;
        EXPECT_TRUE(Has(json["error"]["message"].get<std::string>(), reason)) << run.out;
    }
}

}  // namespace
}  // namespace qv

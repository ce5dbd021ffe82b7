// A firmware file goes only into the device it is for: another product's catalogue file is
// refused before any traffic unless the technician says so, a bare chip takes any file, and
// update --all keeps catalogue products apart even where two share a display name.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "CliRun.h"
#include "TestFiles.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// The demo firmware under the catalogue names of the products in `names`.
void WriteCatalogueFiles(const test::TempDir& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names) dir.Write(name, test::ReadBytes(QV_DEMO_FIRMWARE_PATH));
}

// Whether the traffic log holds more than the listing of devices: an open or a request.
bool DeviceTouched(const std::string& log) {
    const auto bytes = test::ReadBytes(log);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("#") && !line.starts_with("list ") && !line.starts_with("member ") &&
            !line.starts_with("path "))
            return true;
    }
    return false;
}

struct PairCase {
    const char* device;  // --simulate
    const char* file;
    bool otherProduct;  // --other-product-firmware
    int status;
    const char* says;  // in the JSON error or note
};

TEST(QvtoolFirmwareForDevice, AnotherProductsCatalogueFileNeedsTheOverride) {
    test::TempDir dir;
    WriteCatalogueFiles(dir, {"Tesmora_K2DAC_v11.hex"});
    const PairCase cases[] = {
        {"Tesmora K2 DAC", "Tesmora_K2DAC_v11.hex", false, 0, ""},
        {"isp-a7d6", "Tesmora_K2DAC_v11.hex", false, 0, ""},
        {"Tesmora Pavo", "Tesmora_K2DAC_v11.hex", false, 4,
         "Tesmora_K2DAC_v11.hex is the catalogue firmware of Tesmora K2 DAC, not of Tesmora Pavo. "
         "Nothing was sent; to write it all the same, add --other-product-firmware."},
        {"Tesmora Pavo", "Tesmora_K2DAC_v11.hex", true, 0,
         "not of Tesmora Pavo; written as --other-product-firmware asks"},
    };
    const std::string log = dir.File("traffic.log");
    for (const PairCase& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " <- " + c.file);
        fs::remove(log);
        std::vector<std::string> arguments{std::string("--simulate=") + c.device,
                                           "--io-log",
                                           log,
                                           "--json",
                                           "update",
                                           "--yes",
                                           "--file",
                                           dir.File(c.file)};
        if (c.otherProduct) arguments.push_back("--other-product-firmware");
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, c.status) << run.out;
        const auto json = run.Json();
        const std::string said = run.status == 0 ? json.value("note", std::string())
                                                 : json["error"]["message"].get<std::string>();
        EXPECT_TRUE(Has(said, c.says)) << said;
        if (run.status != 0) {
            EXPECT_FALSE(DeviceTouched(log));
        }
    }
}

// Runs in `dir` as the current folder, where update --all looks for catalogue files.
CliRun RunIn(const test::TempDir& dir, const std::vector<std::string>& arguments) {
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const CliRun run = RunCli(arguments);
    fs::current_path(before);
    return run;
}

// Two rows of one display name are two products: each gets its own catalogue file, and one
// --file for both is refused like any mix of products.
TEST(QvtoolUpdateAll, GroupsByCatalogueRowNotByDisplayName) {
    test::TempDir dir;
    const std::vector<std::string> twins{
        "--simulate=QV4820-6012", "--simulate=QV4820-6013", "--json", "update", "--all", "--yes"};
    WriteCatalogueFiles(dir, {"QV4820-6012 .hex"});
    const CliRun oneFileMissing = RunIn(dir, twins);
    EXPECT_EQ(oneFileMissing.status, 4) << oneFileMissing.out;
    EXPECT_TRUE(
        Has(oneFileMissing.Json()["error"]["message"].get<std::string>(), "QV4820-6013 .hex"));

    WriteCatalogueFiles(dir, {"QV4820-6013 .hex"});
    const CliRun own = RunIn(dir, twins);
    EXPECT_EQ(own.status, 0) << own.out;
    EXPECT_EQ(own.Json()["updated"], 2);

    const CliRun mixed =
        RunCli({"--simulate=QV4820-6012", "--simulate=QV4820-6013", "--json", "update", "--all",
                "--yes", "--file", dir.File("QV4820-6012 .hex")});
    EXPECT_EQ(mixed.status, 2) << mixed.out;
    EXPECT_TRUE(Has(mixed.Json()["error"]["message"].get<std::string>(),
                    "2 kinds (Quorvex-inc 6012 (vid_a7d6&pid_6012), Quorvex-inc 6012 "
                    "(vid_a7d6&pid_6013))"));

    // Named with --device, the devices get the file; a product still refuses another's file.
    const CliRun chosen =
        RunCli({"--simulate=QV4820-6012", "--simulate=QV4820-6013", "--device", "vid_a7d6&pid_6013",
                "--json", "update", "--all", "--yes", "--file", dir.File("QV4820-6012 .hex")});
    EXPECT_EQ(chosen.status, 4) << chosen.out;
    const CliRun bare =
        RunCli({"--simulate=QV4820-6012", "--simulate=isp-a7d6", "--device", "vid_a7d6&pid_6000",
                "--json", "update", "--all", "--yes", "--file", dir.File("QV4820-6013 .hex")});
    EXPECT_EQ(bare.status, 0) << bare.out;
    EXPECT_EQ(bare.Json()["updated"], 1);
}

// A current folder deleted under the tool holds no catalogue file: the run is refused with the
// reason before the device is touched, instead of ending the program.
TEST(QvtoolFirmwareForDevice, ADeletedCurrentFolderIsRefusedNotACrash) {
    test::TempDir dir;
    const fs::path gone = fs::path(dir.Path()) / "gone";
    fs::create_directory(gone);
    const fs::path before = fs::current_path();
    fs::current_path(gone);
    std::error_code removed;
    fs::remove(gone, removed);  // Windows keeps a current folder
    std::vector<CliRun> runs;
    if (!removed) {
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"--simulate", "--json", "update", "--yes"},
              {"--simulate", "--json", "update", "--all", "--yes"}})
            runs.push_back(RunCli(arguments));
    }
    fs::current_path(before);
    if (removed) GTEST_SKIP() << "this system keeps a current folder: " << removed.message();
    for (const CliRun& run : runs) {
        EXPECT_EQ(run.status, 4) << run.out << run.err;
        EXPECT_TRUE(Has(run.Json()["error"]["message"].get<std::string>(),
                        "the current folder cannot be read"))
            << run.out;
    }
}

}  // namespace
}  // namespace qv

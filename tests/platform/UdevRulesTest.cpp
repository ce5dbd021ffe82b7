// Both udev rule variants grant access to exactly the devices the tool works with.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "catalog/Products.h"

namespace qv {
namespace {

TEST(UdevRules, CoverTheCatalogueAndTheBareChipAndNothingElse) {
    std::set<std::string> wanted = {kIspIdA7d6, kIspId0c5e};
    for (const DeviceCatalogRow& row : DeviceCatalog) wanted.insert(row.deviceId);

    const struct {
        const char* file;
        const char* grant;
    } variants[] = {
        {"70-qv4820.rules", R"(, TAG\+="uaccess")"},
        {"70-qv4820-group.rules", R"(, MODE="0660", GROUP="plugdev")"},
    };
    for (const auto& variant : variants) {
        std::ifstream in(std::string(QV_SOURCE_DIR "/platform/libusb/") + variant.file);
        ASSERT_TRUE(in) << variant.file;
        const std::regex rule(
            std::string(R"re(SUBSYSTEM=="usb", ATTR\{idVendor\}=="([0-9a-f]{4})", )re"
                        R"re(ATTR\{idProduct\}=="([0-9a-f]{4})")re") +
            variant.grant);
        std::set<std::string> granted;
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            ASSERT_TRUE(std::regex_match(line, match, rule)) << variant.file << ": " << line;
            granted.insert("vid_" + match[1].str() + "&pid_" + match[2].str());
        }
        EXPECT_EQ(granted, wanted) << variant.file;
    }
}

}  // namespace
}  // namespace qv

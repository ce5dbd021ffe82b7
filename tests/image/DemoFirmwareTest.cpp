#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "data/DemoFirmware.h"
#include "image/ImageLoaders.h"
#include "image/ParameterTableScan.h"

namespace qv {
namespace {

using test::LoadImageByName;

TEST(DemoFirmware, FileIsNextToTheExecutablesAndLoads) {
    const std::string path = QV_DEMO_FIRMWARE_PATH;
    EXPECT_NE(path.find(demo::kDemoFirmwareName), std::string::npos);
    FirmwareImage image;
    const auto r = LoadImageByName(image, path);
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, demo::kDemoLength);
    const auto expected = demo::BuildDemoFirmwareImage();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.data.begin()));
    EXPECT_EQ(FindUserParameterTable(image),
              std::optional<std::uint32_t>(demo::kDemoTablePosition));
    std::uint32_t sum = 0;
    for (auto b : expected) sum += b;
    EXPECT_EQ(r->checksum, static_cast<std::uint16_t>(sum));
}

TEST(DemoFirmware, FileShape) {
    std::ifstream f(QV_DEMO_FIRMWARE_PATH, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text, demo::BuildDemoFirmwareHex());  // the build step wrote exactly this

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find("\r\n", start)) != std::string::npos; start = nl + 2)
        lines.push_back(text.substr(start, nl - start));
    EXPECT_EQ(start, text.size());  // every line ends in CR LF
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), ":020000040000FA");
    EXPECT_EQ(lines.back(), ":00000001FF");
    std::size_t dataBytes = 0;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        ASSERT_EQ(lines[i].substr(0, 3), ":10") << lines[i];  // 16 bytes per record
        ASSERT_EQ(lines[i].substr(7, 2), "00") << lines[i];
        dataBytes += 16;
    }
    EXPECT_GE(dataBytes, 24u * 1024);
    EXPECT_LE(dataBytes, 32u * 1024);
    EXPECT_NE(text.find("515655534"), std::string::npos);  // "QVUS" in hex, inside a record
}

}  // namespace
}  // namespace qv

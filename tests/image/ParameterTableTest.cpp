#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/ParameterTableScan.h"

namespace qv {
namespace {

class MarkerScan : public ::testing::Test {
  protected:
    ModifyImage image;
    MarkerScan() { image.data.assign(kImageCapacity, 0xFF); }  // the largest image
    void Put(std::size_t at, const std::string& bytes) {
        std::memcpy(image.data.data() + at, bytes.data(), bytes.size());
    }
};

TEST_F(MarkerScan, LengthZeroFindsNothing) {
    Put(0, "QVUSB_Table01");
    image.length = 0;
    EXPECT_FALSE(FindUserParameterTable(image).has_value());
}

TEST_F(MarkerScan, MarkerAtPositionZero) {
    Put(0, "QVUSB_Table01");
    image.length = 100;
    ASSERT_TRUE(FindUserParameterTable(image).has_value());
    EXPECT_EQ(*FindUserParameterTable(image), 0u);
}

TEST_F(MarkerScan, AnyByteOffsetAndTheFirstMatchWins) {
    Put(0x1233, "QVUSB_Table01");
    Put(0x5000, "QVUSB_Table01");
    image.length = 0x6000;
    EXPECT_EQ(FindUserParameterTable(image), std::optional<std::uint32_t>(0x1233));
}

TEST_F(MarkerScan, FirstTenCharactersAreEnough) {
    Put(40, "QVUSB_TablX");
    image.length = 100;
    EXPECT_EQ(FindUserParameterTable(image), std::optional<std::uint32_t>(40));
}

TEST_F(MarkerScan, ThirteenthCharacterIsNeverLookedAt) {
    Put(40, "QVUSB_Table0X");
    image.length = 100;
    EXPECT_EQ(FindUserParameterTable(image), std::optional<std::uint32_t>(40));
}

TEST_F(MarkerScan, NineCharactersThenNotLIsNoTable) {
    Put(40, "QVUSB_TabX");
    Put(60, "QVUSB_TabL");  // case matters
    image.length = 100;
    EXPECT_FALSE(FindUserParameterTable(image).has_value());
}

TEST_F(MarkerScan, PartialMatchThenRealMarkerRightAfter) {
    Put(10, "QVUSQVUSB_Table01");
    image.length = 100;
    EXPECT_EQ(FindUserParameterTable(image), std::optional<std::uint32_t>(14));
}

TEST_F(MarkerScan, StartBeforeLengthMayReadPastIt) {
    Put(99, "QVUSB_Table01");
    image.length = 100;
    EXPECT_EQ(FindUserParameterTable(image), std::optional<std::uint32_t>(99));
    image.length = 99;  // the start itself must lie below length
    EXPECT_FALSE(FindUserParameterTable(image).has_value());
}

TEST_F(MarkerScan, NeverReadsPastTheBuffer) {
    image.length = kImageCapacity;
    Put(kImageCapacity - 10, "QVUSB_Tabl");  // ten characters, then the buffer ends
    EXPECT_EQ(FindUserParameterTable(image), std::optional<std::uint32_t>(kImageCapacity - 10));
    Put(kImageCapacity - 10, std::string(10, '\xFF'));
    Put(kImageCapacity - 9, "QVUSB_Tab");  // nine characters, then the buffer ends
    EXPECT_FALSE(FindUserParameterTable(image).has_value());
}

TEST_F(MarkerScan, LengthBeyondTheBufferIsBoundedByIt) {
    image.data.resize(64, 0xFF);  // a smaller buffer than usual
    image.length = 1000;
    Put(60, "QVUS");
    EXPECT_FALSE(FindUserParameterTable(image).has_value());
}

TEST_F(MarkerScan, ErasedImageHasNoTable) {
    image.length = kImageCapacity;
    EXPECT_FALSE(FindUserParameterTable(image).has_value());
}

}  // namespace
}  // namespace qv

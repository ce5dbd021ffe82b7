// The current folder as the Windows calls spell it, where a firmware file is looked for.

#include <gtest/gtest.h>

#include <filesystem>

#include "system/CurrentDirectory.h"

namespace qv {
namespace {

TEST(CurrentDirectory, HasADriveLetterAndBackslashes) {
    const Expected<std::string> current = CurrentDirectory();
    ASSERT_TRUE(current.ok()) << current.text();
    const std::string& directory = *current;
    EXPECT_EQ(directory, std::filesystem::current_path().string());
    ASSERT_GE(directory.size(), 3u);
    EXPECT_EQ(directory.substr(1, 2), ":\\");
    EXPECT_EQ(PathSeparator(), '\\');
}

}  // namespace
}  // namespace qv

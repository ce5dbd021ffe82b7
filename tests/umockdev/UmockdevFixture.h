#pragma once
// Each test gets a fresh emulated bus and an empty working directory, runs qvtool or the window
// on the real libusb platform, and fails if the tool claimed an interface, detached a driver or
// touched a device it has no business with.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/Qv4820Model.h"
#include "tests/umockdev/FastClock.h"
#include "tests/umockdev/UsbTestbed.h"

namespace qv::test {

class UmockdevTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testbed_ = std::make_unique<UsbTestbed>();
        if (!UsbTestbed::InMockEnvironment())
            GTEST_SKIP() << "not running under umockdev-wrapper (install the Debian packages "
                            "umockdev and libumockdev-dev and run it through ctest)";
        previousDir_ = std::filesystem::current_path();
        workDir_ =
            std::filesystem::temp_directory_path() / ("qv-umockdev-" + std::to_string(::getpid()));
        std::filesystem::create_directories(workDir_);
        std::filesystem::current_path(workDir_);
    }

    void TearDown() override {
        if (!workDir_.empty()) {
            std::filesystem::current_path(previousDir_);
            std::filesystem::remove_all(workDir_);
        }
        for (const std::string& violation : testbed_->Violations()) ADD_FAILURE() << violation;
    }

    std::shared_ptr<sim::Qv4820Model> NewChip() {
        return std::make_shared<sim::Qv4820Model>(clock_);
    }

    UsbTestbed& Bus() { return *testbed_; }
    std::filesystem::path WorkDir() const { return workDir_; }

    FastClock clock_;

  private:
    std::unique_ptr<UsbTestbed> testbed_;
    std::filesystem::path previousDir_;
    std::filesystem::path workDir_;
};

// A raw firmware image of `size` bytes with a pattern that shows misplaced blocks.
inline std::vector<std::uint8_t> TestImage(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    return image;
}

inline void WriteBinary(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace qv::test

#include "tests/support/PrivateTempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace qv::test {
namespace {

std::filesystem::path& Folder() {
    static std::filesystem::path folder;
    return folder;
}

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
}

// putenv keeps the string itself, so each one lives as long as the process.
void Export(const char* name, const std::string& value) {
    static std::string entries[5];
    static int used = 0;
    std::string& entry = entries[used++];
    entry = std::string(name) + "=" + value;
    putenv(entry.data());
}

}  // namespace

void UsePrivateTempDir() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = std::filesystem::current_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && Folder().empty(); ++attempt) {
        const std::filesystem::path candidate = base / ("qv-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error)) Folder() = candidate;
    }
    if (Folder().empty()) {
        std::fprintf(stderr, "cannot make a temporary folder in %s\n", base.string().c_str());
        std::exit(2);
    }
    const std::string folder = Folder().string();
    // TMPDIR and TEST_TMPDIR on POSIX systems; TMP and TEMP on Windows.
    for (const char* name : {"TMPDIR", "TEST_TMPDIR", "TMP", "TEMP"}) Export(name, folder);
    // Device locks too: emulated devices of two test processes share paths, not devices.
    Export("QV4820_LOCK_DIR", folder);
    std::atexit(RemoveFolder);
}

}  // namespace qv::test

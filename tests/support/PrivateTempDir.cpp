#include "tests/support/PrivateTempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace qv::test {
namespace {

std::string& Folder() {
    static std::string folder;
    return folder;
}

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
}

}  // namespace

void UsePrivateTempDir() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "qv-test-XXXXXX").string();
    if (error) pattern = "/tmp/qv-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror(("cannot make a temporary folder " + pattern).c_str());
        std::exit(2);
    }
    Folder() = pattern;
    ::setenv("TMPDIR", pattern.c_str(), 1);
    ::setenv("TEST_TMPDIR", pattern.c_str(), 1);
    std::atexit(RemoveFolder);
}

}  // namespace qv::test

#include "system/CurrentDirectory.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace qv {
namespace {

Problem Unreadable(const std::error_code& error) {
    return Problem{FailureKind::kOther,
                   "the current folder cannot be read (was it deleted?): " + error.message()};
}

}  // namespace

Expected<std::string> CurrentDirectory() {
#ifdef _WIN32
    std::string directory(GetCurrentDirectoryA(0, nullptr), '\0');
    const DWORD length =
        directory.empty()
            ? 0
            : GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
    if (length == 0 || length >= directory.size())
        return Unreadable(
            std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    directory.resize(length);
    return directory;
#else
    std::error_code error;
    std::filesystem::path directory = std::filesystem::current_path(error);
    if (error) return Unreadable(error);
    return directory.string();
#endif
}

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

}  // namespace qv

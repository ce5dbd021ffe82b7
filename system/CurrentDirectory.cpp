#include "system/CurrentDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace qv {

std::string CurrentDirectory() {
#ifdef _WIN32
    std::string directory(GetCurrentDirectoryA(0, nullptr), '\0');
    const DWORD length =
        GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
    directory.resize(length < directory.size() ? length : 0);
    return directory;
#else
    return std::filesystem::current_path().string();
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

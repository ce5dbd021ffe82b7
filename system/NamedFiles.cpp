#include "system/NamedFiles.h"

#include <filesystem>
#include <system_error>

#include "system/OutputFile.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec) && !ec;
    // Absolute first: of a relative path to a file still to be made, weakly_canonical keeps
    // the relative path.
    const fs::path first = fs::weakly_canonical(fs::absolute(a, ec), ec);
    if (ec) return false;
    const fs::path second = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !ec && first == second;
}

Expected<void> CheckNamedFiles(const std::vector<NamedFile>& files) {
    for (const NamedFile& file : files) {
        if (file.path.empty())
            return Problem{FailureKind::kOther, file.option + " names no file (an empty name)"};
        if (!file.written) continue;
        if (const Expected<void> regular = RegularOrAbsent(file.path); !regular.ok())
            return Problem{FailureKind::kOther, file.option + ": " + regular.text()};
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t k = i + 1; k < files.size(); ++k) {
            const NamedFile& a = files[i];
            const NamedFile& b = files[k];
            if ((a.written || b.written) && SameFile(a.path, b.path)) {
                return Problem{FailureKind::kOther,
                               a.option + " and " + b.option + " name the same file, " +
                                   FullPath(a.path) +
                                   (a.written && b.written ? "; both would write it"
                                                           : "; it would be written "
                                                             "while it is read")};
            }
        }
    }
    return {};
}

}  // namespace qv

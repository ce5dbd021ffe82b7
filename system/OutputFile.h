#pragma once
// Files the tool writes (flash dumps, loaded images, the virtual device's state) replace their
// target only once complete: the bytes go to a new temporary file in the target's folder, which
// is then renamed over it. A symbolic link is followed to its target and stays a link; the
// target keeps its permissions; a folder, device node, FIFO or socket is refused. The check comes
// before any device traffic, so a bad path costs nothing.

#include <string>
#include <string_view>

#include "result/Expected.h"

namespace qv {

struct OutputTarget {
    std::string path;  // the file that will be replaced: the end of any chain of links
};

// Resolves `path` and checks that a new file can be made in its folder; else why the file
// cannot be written, with its full path.
Expected<OutputTarget> CheckOutputFile(const std::string& path);

// Success when `path` is absent or a regular file (after links); otherwise why it cannot be
// written as a file ("/dev/null is a device node, not a regular file").
Expected<void> RegularOrAbsent(const std::string& path);

// Writes `bytes` to a checked target; on failure the reason (full path and the system's text),
// and the target is left as it was.
Expected<void> ReplaceFileContents(const OutputTarget& target, std::string_view bytes);

// `path` made absolute, for messages.
std::string FullPath(const std::string& path);

}  // namespace qv

#pragma once
// Files the tool writes (flash dumps, loaded images, the virtual device's state) replace their
// target only once complete: the bytes go to a new temporary file in the target's folder, which
// is then renamed over it. A symbolic link is followed to its target and stays a link; the
// target keeps its permissions; a folder, device node, FIFO or socket is refused. The check comes
// before any device traffic, so a bad path costs nothing.

#include <string>
#include <string_view>

namespace qv {

struct OutputTarget {
    std::string path;   // the file that will be replaced: the end of any chain of links
    std::string error;  // why the file cannot be written, with its full path; empty when it can
};

// Resolves `path` and checks that a new file can be made in its folder.
OutputTarget CheckOutputFile(const std::string& path);

// Empty when `path` is absent or a regular file (after links); otherwise why it cannot be
// written as a file ("/dev/null is a device node, not a regular file").
std::string NotARegularFile(const std::string& path);

// Writes `bytes` to a checked target; returns the reason on failure (full path and the system's
// text), empty on success. On failure the target is left as it was.
std::string ReplaceFileContents(const OutputTarget& target, std::string_view bytes);

// `path` made absolute, for messages.
std::string FullPath(const std::string& path);

}  // namespace qv

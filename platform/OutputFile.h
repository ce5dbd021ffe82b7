#pragma once
// Files the tool writes (flash dumps, loaded images) replace their target only once complete:
// the text goes to a temporary file in the target's folder, which is then renamed over it. A
// symbolic link is followed to its target and stays a link; a folder, device node, FIFO or
// socket is refused. The check comes before any device traffic, so a bad path costs nothing.

#include <string>
#include <string_view>

namespace qv {

struct OutputTarget {
    std::string path;   // the file that will be replaced: the end of any chain of links
    std::string error;  // why the file cannot be written, with its full path; empty when it can
};

// Resolves `path` and checks that a new file can be made in its folder.
OutputTarget CheckOutputFile(const std::string& path);

// Writes `bytes` to a checked target; returns the reason on failure (full path and the system's
// text), empty on success. On failure the target is left as it was.
std::string ReplaceFileContents(const OutputTarget& target, std::string_view bytes);

}  // namespace qv

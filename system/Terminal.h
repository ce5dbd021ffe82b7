#pragma once
// Whether the tool's standard output or error is a terminal (progress bars) or a file or pipe
// (plain lines).

namespace qv {

enum class StandardStream { kOutput, kError };

bool IsTerminal(StandardStream stream);

}  // namespace qv

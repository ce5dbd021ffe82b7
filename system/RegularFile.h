#pragma once
// Reading a file the user named (a traffic log, the virtual device's state): opened without
// blocking, so a FIFO without a writer or a device node that waits cannot hang the program;
// only a regular file is taken, and never more than a stated size, read in bounded steps.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "result/Expected.h"

namespace qv {

// The whole of `path`, or nothing when there is no such file. Refused, with the reason and the
// full path, when it cannot be opened or read, is not a regular file ("... is a FIFO, not a
// regular file"), or holds more than `maxBytes`.
Expected<std::optional<std::string>> ReadRegularFile(const std::string& path,
                                                     std::uint64_t maxBytes);

// Opens `path` for reading and appending ("a+b"), creating it when absent, without blocking;
// refused, with the reason and the full path, when it cannot be opened or is not a regular file.
Expected<std::FILE*> OpenRegularFileToAppend(const std::string& path);

// What a file of mode `mode` (st_mode) is, for refusals: "is a folder", "is a FIFO", ...
const char* FileKindText(unsigned mode);

}  // namespace qv

#pragma once
// Reading a file the user named (a traffic log, the virtual device's state): opened without
// blocking, so a FIFO without a writer or a device node that waits cannot hang the program;
// only a regular file is taken, and never more than a stated size, read in bounded steps.

#include <cstdint>
#include <cstdio>
#include <string>

namespace qv {

enum class FileRead { kRead, kAbsent, kRefused };

// Reads the whole of `path` into `bytes`. kAbsent when there is no such file; kRefused, with
// the reason and the full path in `error`, when it cannot be opened or read, is not a regular
// file ("... is a FIFO, not a regular file"), or holds more than `maxBytes`.
FileRead ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& bytes,
                         std::string& error);

// Opens `path` for reading and appending ("a+b"), creating it when absent, without blocking;
// null, with the reason and the full path in `error`, when it cannot be opened or is not a
// regular file.
std::FILE* OpenRegularFileToAppend(const std::string& path, std::string& error);

// What a file of mode `mode` (st_mode) is, for refusals: "is a folder", "is a FIFO", ...
const char* FileKindText(unsigned mode);

}  // namespace qv

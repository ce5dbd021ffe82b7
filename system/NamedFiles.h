#pragma once
// The files one run names (firmware, traffic logs, the virtual device's state, dumps), checked
// together before any device traffic: a run must never write into a file it reads or writes
// under another name, and a file it writes must be a file.

#include <string>
#include <vector>

#include "result/Expected.h"

namespace qv {

struct NamedFile {
    std::string option;  // what named it, for messages: "--io-log", "flash read FILE"
    std::string path;
    bool written = false;  // the run writes (or appends to) it
};

// Success when the files can be used together; otherwise why not: a file named by empty text, a
// written file that is a folder, device node, FIFO or socket (a FIFO without a reader blocks,
// a device swallows the data), or two names of one file of which at least one is written.
Expected<void> CheckNamedFiles(const std::vector<NamedFile>& files);

// Whether two paths name one file: the same file after links, or, for a file still to be
// made, the same path.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace qv

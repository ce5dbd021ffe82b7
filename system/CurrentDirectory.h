#pragma once
// Where the tool was started and how this system joins a folder and a file name; paths in the
// system's narrow encoding, as the loaders open them.

#include <string>

#include "result/Expected.h"

namespace qv {

// The current folder, or why it cannot be had (it was deleted while the tool ran in it).
Expected<std::string> CurrentDirectory();

// Separator between a directory and a file name on this system.
char PathSeparator();

}  // namespace qv

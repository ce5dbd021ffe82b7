#pragma once
// Firmware files on the command line: the one given, or the catalogue product's own file in
// the current directory, as the window loads it; refusals name the full path and the reason.

#include <string>
#include <vector>

#include "cli/Report.h"
#include "image/ImageLoaders.h"
#include "platform/DeviceApi.h"
#include "platform/NamedFiles.h"
#include "usb/DeviceScan.h"

namespace qv {

// Why `path` cannot be read (full path and the system's text), or empty when it can.
std::string InputFileProblem(const std::string& path);

// Loads `file` (HEX or binary by its name) into `image`; false after a file refusal in `report`.
bool LoadFirmwareFile(const std::string& file, FirmwareImage& image, LoadResult& result,
                      Report& report);

// Loads `file` when given; otherwise the device's catalogue file (current directory, separator,
// firmware base name, ".hex") as Intel HEX. A bare chip has no catalogue file and needs `file`.
// False after a failure in `report`.
bool LoadFirmwareFor(const FoundDevice& device, const std::string& file, DeviceApi& api,
                     FirmwareImage& image, Report& report);

// The firmware files a command may read, for the check of the files a run names: `file` when
// --file was given, otherwise every catalogue file in the current directory.
std::vector<NamedFile> FirmwareFilesRead(bool given, const std::string& file);

}  // namespace qv

#pragma once
// Firmware files on the command line: the one given, or the catalogue product's own file in
// the current directory, as the window loads it; refusals name the full path and the reason.

#include <string>
#include <vector>

#include "cli/Report.h"
#include "image/ImageLoaders.h"
#include "system/NamedFiles.h"
#include "usb/DeviceScan.h"

namespace qv {

// The option that lets a technician write another product's catalogue file into a device.
inline constexpr const char* kOtherProductOption = "--other-product-firmware";

// Loads `file` (HEX or binary by its name) into `image`, opened as a regular file of at most
// kFirmwareFileMaxBytes; a refusal also fails `report`.
LoadResult LoadFirmwareFile(const std::string& file, FirmwareImage& image, Report& report);

// Loads `file` when given; otherwise the device's catalogue file (current directory, separator,
// catalogue file name) as Intel HEX. A bare chip has no catalogue file and needs `file`.
// False after a failure in `report`.
bool LoadFirmwareFor(const FoundDevice& device, const std::string& file, FirmwareImage& image,
                     Report& report);

// Whether `file` may be written into `device`: refused (false, the reason in `report`) when it
// is the catalogue file of another product, unless `otherProduct` says the technician means it;
// `note` then names both products.
bool FileIsForDevice(const FoundDevice& device, const std::string& file, bool otherProduct,
                     Report& report, std::string& note);

// The firmware files a command may read, for the check of the files a run names: `file` when
// --file was given, otherwise every catalogue file in the current directory.
std::vector<NamedFile> FirmwareFilesRead(bool given, const std::string& file);

}  // namespace qv

#pragma once
// Which firmware file belongs to which catalogue product. A product's catalogue file is its
// firmware base name followed by ".hex"; a file of that name, in any folder, is that product's
// firmware and no other's. A bare chip in ISP mode may be any product and takes any file.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The catalogue file name of row `row`: "Tesmora_K2DAC_v11.hex".
std::string CatalogFirmwareFileName(std::size_t row);

// The catalogue row whose catalogue file `path` names (its last component, letter case aside as
// on Windows), or nothing for any other name.
std::optional<std::size_t> CatalogRowOfFirmwareFile(std::string_view path);

// The other product whose catalogue file `path` names, for a device of catalogue row
// `deviceRow` (-1: a bare chip, which takes any file); nothing when the file may be written.
std::optional<std::size_t> OtherProductOfFirmwareFile(std::string_view path, int deviceRow);

// A product as messages name it: its display name, with its device id where another row shares
// that name ("Quorvex-inc 6012 (vid_a7d6&pid_6013)").
std::string CatalogProductName(std::size_t row);

// The words both front ends use for a file of another product (`fileRow`) meant for a device of
// row `deviceRow`.
std::string OtherProductFirmwareText(std::string_view path, std::size_t fileRow,
                                     std::size_t deviceRow);

}  // namespace qv

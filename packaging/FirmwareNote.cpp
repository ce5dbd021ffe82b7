#include "packaging/FirmwareNote.h"

#include <sstream>

#include "catalog/FirmwareFiles.h"
#include "catalog/Products.h"

namespace qv::doc {

std::string WriteFirmwareNote(const std::string& demoFirmware) {
    std::ostringstream out;
    out << "Firmware files\n\n"
        << "qvupdate looks for the connected product's firmware file beside its own program\n"
        << "first, then in the current folder; `qvtool update` looks in the current folder.\n"
        << "Each product's file has this name:\n\n";
    for (std::size_t i = 0; i < DeviceCatalog.size(); ++i) {
        const DeviceCatalogRow& row = DeviceCatalog[i];
        out << "  " << row.displayName << std::string(18 - std::string(row.displayName).size(), ' ')
            << row.deviceId << "  \"" << CatalogFirmwareFileName(i) << "\"\n";
    }
    out << "\nA bare QV4820 waiting in its update (ISP) mode (" << kIspIdA7d6 << ", " << kIspId0c5e
        << ")\nhas no such file: name one with `qvtool update --file FILE`.\n\n"
        << demoFirmware << " next to this note is the demo firmware of the virtual product.\n"
        << "To rehearse the update without a device, run in this note's folder:\n\n"
        << "  qvtool --simulate update --yes\n";
    return out.str();
}

}  // namespace qv::doc

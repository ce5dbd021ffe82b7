#include "catalog/FirmwareFiles.h"

#include "catalog/Products.h"
#include "text/LetterCase.h"

namespace qv {
namespace {

std::string_view LastComponent(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string CatalogFirmwareFileName(std::size_t row) {
    return std::string(DeviceCatalog.at(row).firmwareBase) + ".hex";
}

std::optional<std::size_t> CatalogRowOfFirmwareFile(std::string_view path) {
    const std::string_view name = LastComponent(path);
    for (std::size_t row = 0; row < DeviceCatalog.size(); ++row) {
        if (SameLetters(name, CatalogFirmwareFileName(row))) return row;
    }
    return std::nullopt;
}

std::optional<std::size_t> OtherProductOfFirmwareFile(std::string_view path, int deviceRow) {
    if (deviceRow < 0) return std::nullopt;
    const std::optional<std::size_t> fileRow = CatalogRowOfFirmwareFile(path);
    if (!fileRow || *fileRow == static_cast<std::size_t>(deviceRow)) return std::nullopt;
    return fileRow;
}

std::string CatalogProductName(std::size_t row) {
    const DeviceCatalogRow& product = DeviceCatalog.at(row);
    const std::string_view name = product.displayName;
    const bool shared = std::ranges::count_if(DeviceCatalog, [&](const DeviceCatalogRow& other) {
                            return name == other.displayName;
                        }) > 1;
    return shared ? std::string(name) + " (" + product.deviceId + ")" : std::string(name);
}

std::string OtherProductFirmwareText(std::string_view path, std::size_t fileRow,
                                     std::size_t deviceRow) {
    return std::string(LastComponent(path)) + " is the catalogue firmware of " +
           CatalogProductName(fileRow) + ", not of " + CatalogProductName(deviceRow);
}

}  // namespace qv

#include "cli/FirmwareFile.h"

#include "image/ImageLoaders.h"
#include "usb/DeviceCatalog.h"

namespace qv {

bool LoadFirmwareFor(const FoundDevice& device, const std::string& file, DeviceApi& api,
                     FirmwareImage& image, std::string& error) {
    LoadResult result;
    if (!file.empty()) {
        image.path = file;
        result = LoadImageByName(image, file);
    } else if (device.catalogIndex < 0) {
        error = device.displayName + " is a bare chip in ISP mode: name its firmware with --file";
        return false;
    } else {
        const DeviceCatalogRow& row =
            DeviceCatalog.at(static_cast<std::size_t>(device.catalogIndex));
        image.path = api.CurrentDirectory() + api.PathSeparator() + row.firmwareBase + ".hex";
        result = LoadHexImage(image, image.path);
    }
    if (!result.loaded) error = result.error;
    return result.loaded;
}

}  // namespace qv

#include "cli/FirmwareFile.h"

#include "catalog/FirmwareFiles.h"
#include "catalog/Products.h"
#include "system/CurrentDirectory.h"
#include "system/InputFile.h"

namespace qv {

LoadResult LoadFirmwareFile(const std::string& file, FirmwareImage& image, Report& report) {
    const Expected<InputFile> input = InputFile::Open(file, kFirmwareFileMaxBytes);
    if (!input.ok()) {
        report.Fail(Outcome::kFileRefused, input.text());
        return input.problem();
    }
    image.path = file;
    LoadResult result = LoadImageByName(image, file, input->Stream());
    if (!result.ok()) report.Fail(Outcome::kFileRefused, result.text());
    return result;
}

bool LoadFirmwareFor(const FoundDevice& device, const std::string& file, FirmwareImage& image,
                     Report& report) {
    if (!file.empty()) return LoadFirmwareFile(file, image, report).ok();
    if (device.catalogIndex < 0) {
        report.Fail(Outcome::kUsage, device.displayName +
                                         " is a bare chip in ISP mode: name its firmware with "
                                         "--file");
        return false;
    }
    const Expected<std::string> folder = CurrentDirectory();
    if (!folder.ok()) {
        report.Fail(Outcome::kFileRefused, folder.text() + " (looking for the catalogue file of " +
                                               device.displayName + "; or name one with --file)");
        return false;
    }
    image.path = *folder + PathSeparator() +
                 CatalogFirmwareFileName(static_cast<std::size_t>(device.catalogIndex));
    const Expected<InputFile> input = InputFile::Open(image.path, kFirmwareFileMaxBytes);
    if (!input.ok()) {
        report.Fail(Outcome::kFileRefused, input.text() + " (the catalogue file of " +
                                               device.displayName + "; or name one with --file)");
        return false;
    }
    const LoadResult result = LoadHexFromFile(image, input->Stream(), image.path);
    if (!result.ok()) report.Fail(Outcome::kFileRefused, result.text());
    return result.ok();
}

bool FileIsForDevice(const FoundDevice& device, const std::string& file, bool otherProduct,
                     Report& report, std::string& note) {
    const auto fileRow = OtherProductOfFirmwareFile(file, device.catalogIndex);
    if (!fileRow) return true;
    const std::string text =
        OtherProductFirmwareText(file, *fileRow, static_cast<std::size_t>(device.catalogIndex));
    if (!otherProduct) {
        report.Fail(Outcome::kFileRefused,
                    text + ". Nothing was sent; to write it all the same, add " +
                        kOtherProductOption + ".");
        return false;
    }
    note = text + "; written as " + kOtherProductOption + " asks";
    return true;
}

std::vector<NamedFile> FirmwareFilesRead(bool given, const std::string& file) {
    if (given) return {{"--file", file, false}};
    std::vector<NamedFile> files;
    // Without a current folder there is no catalogue file to read: loading says so.
    const Expected<std::string> folder = CurrentDirectory();
    if (!folder.ok()) return files;
    for (std::size_t row = 0; row < DeviceCatalog.size(); ++row)
        files.push_back({"the catalogue file",
                         *folder + PathSeparator() + CatalogFirmwareFileName(row), false});
    return files;
}

}  // namespace qv

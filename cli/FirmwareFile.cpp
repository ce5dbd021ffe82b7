#include "cli/FirmwareFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "catalog/Products.h"
#include "platform/OutputFile.h"

namespace qv {

std::string InputFileProblem(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return FullPath(path) + ": is a folder";
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return FullPath(path) + ": cannot be opened: " + std::strerror(errno ? errno : ENOENT);
    }
    std::fclose(file);
    return {};
}

bool LoadFirmwareFile(const std::string& file, FirmwareImage& image, LoadResult& result,
                      Report& report) {
    if (const std::string problem = InputFileProblem(file); !problem.empty()) {
        report.Fail(Outcome::kFileRefused, problem);
        return false;
    }
    image.path = file;
    result = LoadImageByName(image, file);
    if (!result.loaded) report.Fail(Outcome::kFileRefused, result.error);
    return result.loaded;
}

bool LoadFirmwareFor(const FoundDevice& device, const std::string& file, DeviceApi& api,
                     FirmwareImage& image, Report& report) {
    LoadResult result;
    if (!file.empty()) return LoadFirmwareFile(file, image, result, report);
    if (device.catalogIndex < 0) {
        report.Fail(Outcome::kUsage, device.displayName +
                                         " is a bare chip in ISP mode: name its firmware with "
                                         "--file");
        return false;
    }
    const DeviceCatalogRow& row = DeviceCatalog.at(static_cast<std::size_t>(device.catalogIndex));
    image.path = api.CurrentDirectory() + api.PathSeparator() + row.firmwareBase + ".hex";
    if (const std::string problem = InputFileProblem(image.path); !problem.empty()) {
        report.Fail(Outcome::kFileRefused, problem + " (the catalogue file of " +
                                               device.displayName + "; or name one with --file)");
        return false;
    }
    result = LoadHexImage(image, image.path);
    if (!result.loaded) report.Fail(Outcome::kFileRefused, result.error);
    return result.loaded;
}

std::vector<NamedFile> FirmwareFilesRead(bool given, const std::string& file) {
    if (given) return {{"--file", file, false}};
    std::vector<NamedFile> files;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    for (const DeviceCatalogRow& row : DeviceCatalog) {
        files.push_back({"the catalogue file",
                         (folder / (std::string(row.firmwareBase) + ".hex")).string(), false});
    }
    return files;
}

}  // namespace qv

#pragma once
// The window's one way to load a firmware file: opened as a regular file of bounded size (a FIFO
// or a device node is refused, never waited on), then read by the loader its name chooses.

#include <string>

#include "image/ImageLoaders.h"
#include "system/InputFile.h"

namespace qv {

inline LoadResult LoadFirmwareFile(ImageBuffer& image, const std::string& path) {
    const Expected<InputFile> input = InputFile::Open(path, kFirmwareFileMaxBytes);
    if (!input.ok()) return input.problem();
    return LoadImageByName(image, path, input->Stream());
}

}  // namespace qv

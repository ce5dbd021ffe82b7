#include <gtest/gtest.h>

#include "catalog/FirmwareFiles.h"
#include "catalog/Products.h"

namespace qv {
namespace {

// Every product against every catalogue file: its own passes, every other product's is named
// as that product's; a bare chip (-1) takes them all.
TEST(FirmwareFiles, EachCatalogueFileBelongsToItsOwnProductOnly) {
    for (std::size_t file = 0; file < DeviceCatalog.size(); ++file) {
        const std::string path = "/any/folder/" + CatalogFirmwareFileName(file);
        EXPECT_EQ(CatalogRowOfFirmwareFile(path), file) << path;
        EXPECT_EQ(OtherProductOfFirmwareFile(path, -1), std::nullopt) << path;
        for (std::size_t device = 0; device < DeviceCatalog.size(); ++device) {
            const auto other = OtherProductOfFirmwareFile(path, static_cast<int>(device));
            if (device == file)
                EXPECT_EQ(other, std::nullopt) << path << " for row " << device;
            else
                EXPECT_EQ(other, file) << path << " for row " << device;
        }
    }
}

struct NameCase {
    const char* path;
    std::optional<std::size_t> row;
};

TEST(FirmwareFiles, OnlyTheCatalogueNameItselfNamesAProduct) {
    const NameCase cases[] = {
        {"Tesmora_Pavo_v11.hex", 0},
        {"C:\\fw\\tesmora_k2dac_v11.HEX", 1},  // Windows names: any letter case, backslashes
        {"QV4820-6013 .hex", 4},               // the catalogue's trailing blank is part of it
        {"QV4820-6013.hex", std::nullopt},
        {"Tesmora_Pavo_v11.bin", std::nullopt},
        {"Tesmora_Pavo_v11.hex.bak", std::nullopt},
        {"old/Tesmora_Pavo_v11.hex/", std::nullopt},
        {"my_Tesmora_Pavo_v11.hex", std::nullopt},
        {"", std::nullopt},
    };
    for (const NameCase& c : cases) EXPECT_EQ(CatalogRowOfFirmwareFile(c.path), c.row) << c.path;
}

}  // namespace
}  // namespace qv

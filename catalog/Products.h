#pragma once
// The products the tool can update, and the ids of the bare chip waiting in ISP mode.

#include <array>

namespace qv {

struct DeviceCatalogRow {
    char deviceId[20];
    char displayName[20];
    char firmwareBase[20];
};

inline constexpr std::array<DeviceCatalogRow, 5> DeviceCatalog{{
    {.deviceId = "vid_a7d6&pid_f016",
     .displayName = "Tesmora Pavo",
     .firmwareBase = "Tesmora_Pavo_v11"},
    {.deviceId = "vid_a7d6&pid_f017",
     .displayName = "Tesmora K2 DAC",
     .firmwareBase = "Tesmora_K2DAC_v11"},
    {.deviceId = "vid_a7d6&pid_f018",
     .displayName = "Tesmora DAC-7LX",
     .firmwareBase = "Tesmora_DAC7LX_v11"},
    {.deviceId = "vid_a7d6&pid_6012",
     .displayName = "Quorvex-inc 6012",
     .firmwareBase = "QV4820-6012 "},
    {.deviceId = "vid_a7d6&pid_6013",
     .displayName = "Quorvex-inc 6012",
     .firmwareBase = "QV4820-6013 "},
}};

inline constexpr const char* kIspIdA7d6 = "vid_a7d6&pid_6000";
inline constexpr const char* kIspId0c5e = "vid_0c5e&pid_6000";

}  // namespace qv

// Writes the demo firmware file (data/DemoFirmware.h) to the path given as the only argument.
// Run by the build (target demo_firmware); the output is the same on every run.

#include <cstdio>
#include <string>

#include "data/DemoFirmware.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_firmware OUTPUT.hex\n");
        return 2;
    }
    const std::string text = qv::demo::BuildDemoFirmwareHex();
    std::FILE* f = std::fopen(argv[1], "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "make_demo_firmware: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "make_demo_firmware: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

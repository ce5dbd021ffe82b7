// Firmware image loading benchmark: LoadHexFromFile on an Intel HEX file of a full 4 MiB image,
// side by side with `objcopy -I ihex -O binary` and `srec_cat FILE -intel -o OUT -binary`
// converting the same file; then whole processes on a 1 MB HEX file: `qvtool image FILE --out`
// against objcopy, start-up included. Each is run several times; the median wall time is
// compared.
//
//   bench_image_load [--reps N] [--tool-reps N] [--markdown FILE] [--keep DIR]
//
// --markdown FILE adds or replaces the section "## Firmware image loading" of FILE (created
// with the heading "# Benchmarks" when missing), leaving every other section as it is.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "image/ImageLoaders.h"
#include "system/InputFile.h"
#include "text/HexFormat.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A benchmark file: `size` deterministic pseudo-random bytes (xorshift32), 16 data bytes per
// record, an 04 record before each 64 KiB, LF line ends, an EOF record. About 2.75 bytes of text
// per byte: 11.5 MB for 4 MiB.
std::string MakeHex(std::vector<std::uint8_t>& image, std::uint32_t size) {
    image.resize(size);
    std::uint32_t x = 0x51565553;  // "QVUS"
    for (auto& b : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 11);
    }
    std::string text;
    text.reserve(12'000'000);
    auto record = [&](std::uint16_t offset, std::uint8_t type, const std::uint8_t* data,
                      std::size_t n) {
        std::uint8_t sum = static_cast<std::uint8_t>(n + (offset >> 8) + (offset & 0xFF) + type);
        text += ':';
        auto put = [&](std::uint8_t v) { qv::AppendHexBytes(text, &v, 1); };
        put(static_cast<std::uint8_t>(n));
        put(static_cast<std::uint8_t>(offset >> 8));
        put(static_cast<std::uint8_t>(offset & 0xFF));
        put(type);
        for (std::size_t i = 0; i < n; ++i) {
            put(data[i]);
            sum = static_cast<std::uint8_t>(sum + data[i]);
        }
        put(static_cast<std::uint8_t>(0x100 - sum));
        text += '\n';
    };
    for (std::uint32_t a = 0; a < size; a += 16) {
        if ((a & 0xFFFF) == 0) {
            const std::uint8_t upper[2] = {static_cast<std::uint8_t>(a >> 24),
                                           static_cast<std::uint8_t>(a >> 16)};
            record(0, 0x04, upper, 2);
        }
        record(static_cast<std::uint16_t>(a & 0xFFFF), 0x00, image.data() + a, 16);
    }
    record(0, 0x01, nullptr, 0);
    return text;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Row {
    std::string name;
    std::string command;
    std::vector<double> ms;
};

std::vector<std::uint8_t> ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool RunTool(Row& row, int reps, const fs::path& out, const std::vector<std::uint8_t>& expected) {
    const std::string cmd = row.command + " >/dev/null 2>&1";
    for (int i = 0; i < reps + 1; ++i) {  // the first run only warms up
        fs::remove(out);
        const auto t0 = Clock::now();
        const int rc = std::system(cmd.c_str());
        const auto t1 = Clock::now();
        if (rc != 0) {
            std::cerr << "bench_image_load: failed: " << row.command << '\n';
            return false;
        }
        if (i > 0) row.ms.push_back(Ms(t1 - t0));
    }
    if (ReadFile(out) != expected) {
        std::cerr << "bench_image_load: output of " << row.name << " differs from the image\n";
        return false;
    }
    return true;
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string FirstLine(const std::string& cmd) {
    std::string out;
    if (std::FILE* p = popen((cmd + " 2>&1").c_str(), "r")) {
        char buf[256];
        if (std::fgets(buf, sizeof buf, p)) out = buf;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    const std::size_t first = out.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : out.substr(first);
}

void ReplaceSection(const fs::path& file, const std::string& section) {
    std::string text;
    if (fs::exists(file)) {
        std::ifstream f(file, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    } else {
        text = "# Benchmarks\n";
    }
    const std::string heading = "## Firmware image loading";
    std::size_t start = text.find("\n" + heading + "\n");
    if (start == std::string::npos && text.rfind(heading + "\n", 0) == 0)
        start = 0;
    else if (start != std::string::npos)
        start += 1;
    if (start == std::string::npos) {
        while (!text.empty() && text.back() == '\n') text.pop_back();
        text += "\n\n" + section;
    } else {
        std::size_t end = text.find("\n## ", start + heading.size());
        end = end == std::string::npos ? text.size() : end + 1;
        text.replace(start, end - start, section + (end < text.size() ? "\n" : ""));
    }
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f << text;
}

}  // namespace

int main(int argc, char** argv) {
    int reps = 15;
    int toolReps = 5;
    std::string markdown;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--reps" && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (a == "--tool-reps" && i + 1 < argc)
            toolReps = std::max(1, std::atoi(argv[++i]));
        else if (a == "--markdown" && i + 1 < argc)
            markdown = argv[++i];
        else if (a == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else {
            std::cerr << "usage: bench_image_load [--reps N] [--tool-reps N] [--markdown FILE] "
                         "[--keep DIR]\n";
            return 2;
        }
    }

    const fs::path dir = keep.empty()
                             ? fs::temp_directory_path() /
                                   ("qv_bench_image_" + std::to_string(std::random_device{}()))
                             : fs::path(keep);
    fs::create_directories(dir);
    const fs::path hex = dir / "full_4MiB.hex";
    std::vector<std::uint8_t> expected;
    {
        const std::string text = MakeHex(expected, qv::kImageCapacity);
        std::ofstream f(hex, std::ios::binary);
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const auto fileBytes = fs::file_size(hex);

    // LoadHexFromFile, in process.
    Row load{"LoadHexFromFile", "LoadHexFromFile(image, file, \"full_4MiB.hex\")", {}};
    qv::FirmwareImage image;
    std::uint16_t checksum = 0;
    for (int i = 0; i < reps + 1; ++i) {
        const auto t0 = Clock::now();
        const auto file = qv::InputFile::Open(hex.string(), qv::kFirmwareFileMaxBytes);
        if (!file.ok()) {
            std::cerr << "bench_image_load: " << file.text() << '\n';
            return 1;
        }
        const qv::LoadResult r = qv::LoadHexFromFile(image, file->Stream(), hex.string());
        const auto t1 = Clock::now();
        if (!r.ok()) {
            std::cerr << "bench_image_load: " << r.text() << '\n';
            return 1;
        }
        checksum = r->checksum;
        if (i > 0) load.ms.push_back(Ms(t1 - t0));
    }
    if (image.length != qv::kImageCapacity || image.data != expected) {
        std::cerr << "bench_image_load: LoadHexFromFile gave a different image\n";
        return 1;
    }

    const fs::path out = dir / "out.bin";
    Row objcopy{
        "objcopy", "objcopy -I ihex -O binary '" + hex.string() + "' '" + out.string() + "'", {}};
    Row srec{
        "srec_cat", "srec_cat '" + hex.string() + "' -intel -o '" + out.string() + "' -binary", {}};
    bool ok = RunTool(objcopy, toolReps, out, expected);
    ok = RunTool(srec, toolReps, out, expected) && ok;

    // Whole processes on a 1 MB file, as a user runs them.
    const fs::path small = dir / "plain_1MB.hex";
    std::vector<std::uint8_t> smallExpected;
    {
        const std::string text = MakeHex(smallExpected, 372 * 1024);
        std::ofstream f(small, std::ios::binary);
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const auto smallBytes = fs::file_size(small);
    Row qvtool{"qvtool image",
               std::string("'") + QV_BENCH_QVTOOL + "' image '" + small.string() + "' --out '" +
                   out.string() + "'",
               {}};
    Row objcopySmall{
        "objcopy", "objcopy -I ihex -O binary '" + small.string() + "' '" + out.string() + "'", {}};
    for (int round = 0; round < reps && ok; ++round) {  // in turn, so drift hits both alike
        ok = RunTool(qvtool, 1, out, smallExpected) && RunTool(objcopySmall, 1, out, smallExpected);
    }
    if (keep.empty()) fs::remove_all(dir);
    if (!ok) return 1;

    const double mLoad = Median(load.ms);
    const double mObj = Median(objcopy.ms);
    const double mSrec = Median(srec.ms);
    const double faster = std::min(mObj, mSrec);
    const double mb = static_cast<double>(fileBytes) / 1e6;

    std::ostringstream table;
    table << "| Reader | Runs | Median (ms) | Min (ms) | MB/s of HEX text | Median / "
             "LoadHexFromFile |\n"
          << "|---|---:|---:|---:|---:|---:|\n";
    for (const Row* r : {&load, &objcopy, &srec}) {
        const double m = Median(r->ms);
        table << "| " << r->name << " | " << r->ms.size() << " | " << Fixed(m, 1) << " | "
              << Fixed(*std::min_element(r->ms.begin(), r->ms.end()), 1) << " | "
              << Fixed(mb / (m / 1000.0), 0) << " | " << Fixed(m / mLoad, 1) << "x |\n";
    }
    const double speedup = faster / mLoad;
    const double mQvtool = Median(qvtool.ms);
    const double mObjSmall = Median(objcopySmall.ms);
    const bool met = speedup >= 2.0 && mQvtool <= mObjSmall;
    std::ostringstream summary;
    summary << "LoadHexFromFile is " << Fixed(speedup, 1)
            << "x as fast as the faster external tool (" << (mObj <= mSrec ? "objcopy" : "srec_cat")
            << "); goal >= 2x: " << (speedup >= 2.0 ? "met" : "NOT met") << ".";
    std::ostringstream whole;
    whole << "| Whole process, " << smallBytes
          << " bytes of HEX | Runs | Median (ms) | Min (ms) |\n"
          << "|---|---:|---:|---:|\n";
    for (const Row* r : {&qvtool, &objcopySmall}) {
        whole << "| " << r->name << " | " << r->ms.size() << " | " << Fixed(Median(r->ms), 1)
              << " | " << Fixed(*std::min_element(r->ms.begin(), r->ms.end()), 1) << " |\n";
    }
    whole << "\n`qvtool image` takes " << Fixed(mQvtool / mObjSmall, 2)
          << " of objcopy's time; goal <= 1: " << (mQvtool <= mObjSmall ? "met" : "NOT met") << ".";

    std::cout << "File: " << fileBytes << " bytes of Intel HEX, 4194304 bytes of data, checksum 0x"
              << std::hex << std::uppercase << checksum << std::dec << "\n\n"
              << table.str() << '\n'
              << summary.str() << "\n\n"
              << whole.str() << '\n';

    if (!markdown.empty()) {
        std::ostringstream s;
        s << "## Firmware image loading\n\n"
          << "Loading an Intel HEX file of a full 4 MiB image (" << fileBytes
          << " bytes of text: 16 data bytes per record, an 04 record per 64 KiB, LF line ends, "
             "pseudo-random data) with `LoadHexFromFile`, side by side with two external "
             "converters turning the same file into a binary. Wall time per load; the external "
             "tools are timed around `std::system` (process start included, as a user would "
             "run them); one warm-up run each is not counted; the file is in the page cache. "
             "All three outputs are checked to be the same 4 MiB.\n\n"
          << "Command (from the build directory):\n\n"
          << "```\n./bin/bench_image_load --reps " << reps << " --tool-reps " << toolReps
          << " --markdown ../BENCHMARKS.md\n```\n\n"
          << "External commands:\n\n"
          << "```\nobjcopy -I ihex -O binary full_4MiB.hex out.bin\n"
          << "srec_cat full_4MiB.hex -intel -o out.bin -binary\n```\n\n"
          << table.str() << '\n'
          << summary.str() << "\n\n"
          << "Then whole processes on a plain 1 MB file of the same kind (" << smallBytes
          << " bytes of text, " << smallExpected.size()
          << " bytes of data): `qvtool image FILE --out out.bin` against `objcopy -I ihex -O "
             "binary FILE out.bin`, start-up included, run in turn (one warm-up run before "
             "each), both outputs checked against the image.\n\n"
          << whole.str() << "\n\n"
          << "Build: " << QV_BENCH_BUILD_TYPE << " (" << QV_BENCH_COMPILER
          << "). Machine: " << FirstLine("nproc") << " CPUs, "
          << FirstLine("sh -c \"grep -m1 'model name' /proc/cpuinfo | cut -d: -f2\"") << "; "
          << FirstLine("objcopy --version") << "; " << FirstLine("srec_cat -version") << ".\n";
        ReplaceSection(markdown, s.str());
        std::cout << "Wrote section \"## Firmware image loading\" of " << markdown << '\n';
    }
    return met ? 0 : 3;
}

// The full one-button firmware update on the virtual product with 125 us per control transfer
// and the default flash timings:
// - real time: wall and CPU time against the floor the run's own transfer sequence implies
//   (transfers x latency + the sleeps the algorithm asked for; the flash's busy time is spent
//   inside those polls and sleeps, since the update only goes on once a poll sees it idle);
// - virtual time: the tool's own CPU time per transfer (time inside the bus, i.e. the
//   simulated device, is metered and left out). The bus log is off (limit 0).
//
//   bench_update [--virtual-reps N] [--timer-slack-ns N] [--markdown FILE]
//   bench_update --demo [--markdown FILE]
//
// --timer-slack-ns sets the process's timer slack (Linux) before the real-time runs.
// --markdown FILE adds or replaces the section "## Firmware update" of FILE.
// --demo updates the demo firmware in real time at the latency of `make demo` (1 ms per
// transfer, as through the product's driver) instead; its section is "## Demo update".

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/update/MeteredDeviceApi.h"
#include "data/DemoFirmware.h"
#include "flash/UpdateSequences.h"
#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"
#include "sim/VirtualBus.h"

namespace qv::bench {
namespace {

constexpr std::uint64_t kLatencyMicros = 125;
constexpr const char* kProductId = "vid_a7d6&pid_f017";

enum class ClockKind { kReal, kVirtual };

struct Figures {
    std::uint32_t imageBytes = 0;
    ClockKind clock = ClockKind::kVirtual;
    bool success = false;
    double wall = 0;  // seconds
    double cpu = 0;
    double inBus = 0;
    std::uint64_t transfers = 0;
    std::uint64_t sleptMillis = 0;
    std::uint64_t sleepCalls = 0;
    std::uint64_t deviceMicros = 0;  // device clock advance
    std::uint64_t latencyMicros = kLatencyMicros;

    double Floor() const { return transfers * latencyMicros * 1e-6 + sleptMillis * 1e-3; }
    bool RealTime() const { return clock != ClockKind::kVirtual; }
    // The bus's share of the wall time (virtual time never sleeps) taken off the CPU time, so
    // that time the process spent preempted counts for neither side.
    double ToolMicrosPerTransfer() const { return CpuMicrosPerTransfer() * (wall - inBus) / wall; }
    double CpuMicrosPerTransfer() const { return cpu * 1e6 / transfers; }
};

// Process CPU time with nanosecond resolution (getrusage counts in scheduler ticks here).
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Pseudo-random firmware bytes, so that every block is programmed.
void FillImage(FirmwareImage& image, std::uint32_t bytes) {
    std::uint32_t x = 12345;
    image.data.resize(bytes);
    for (std::uint32_t i = 0; i < bytes; ++i) {
        x = x * 1103515245u + 12345u;
        image.data[i] = static_cast<std::uint8_t>(x >> 16);
    }
    image.length = bytes;
}

Figures RunUpdate(sim::Clock& clock, ClockKind kind, const FirmwareImage& source,
                  std::uint64_t latencyMicros = kLatencyMicros) {
    sim::VirtualBus bus(clock);
    bus.SetLogLimit(0);
    bus.SetTransferLatencyMicros(latencyMicros);
    auto chip = std::make_shared<sim::Qv4820Model>(clock);
    bus.AttachProduct(kProductId, chip);
    MeteredDeviceApi api(bus);
    QuorvexUsb usb(api);
    usb.SetPropertyMode(true);
    usb.SetIdText(kProductId);
    if (!usb.Find()) return {};
    FirmwareImage image = source;
    SilentReporter reporter;
    FlashTarget target(usb, image);
    FlashRun run(reporter);

    Figures figures;
    figures.imageBytes = image.length;
    figures.clock = kind;
    figures.latencyMicros = latencyMicros;
    api.Reset();
    const std::uint64_t transfersBefore = bus.TransferCount();
    const std::uint64_t deviceBefore = clock.NowMicros();
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    figures.success = RunFirmwareUpdate(target, run) == SequenceOutcome::kSuccess;
    figures.wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    figures.cpu = CpuSeconds() - cpuBefore;
    figures.deviceMicros = clock.NowMicros() - deviceBefore;
    figures.transfers = bus.TransferCount() - transfersBefore;
    figures.sleptMillis = api.SleptMillis();
    figures.sleepCalls = api.SleepCalls();
    figures.inBus = api.SecondsInBus();
    const auto& cells = chip->Flash().Contents();
    figures.success =
        figures.success &&
        std::equal(image.data.begin(), image.data.begin() + image.length, cells.begin());
    return figures;
}

std::string Row(const Figures& f, int reps) {
    char text[400];
    if (f.RealTime()) {
        std::snprintf(
            text, sizeof text,
            "| %u KiB | %s | %s | %llu | %llu | %.3f | %.3f | %+.1f%% | %.3f | %.2f%% | - "
            "| - |\n",
            f.imageBytes / 1024, f.clock == ClockKind::kReal ? "real (RealTimeClock)" : "virtual",
            f.success ? "yes" : "NO", static_cast<unsigned long long>(f.transfers),
            static_cast<unsigned long long>(f.sleptMillis), f.Floor(), f.wall,
            (f.wall / f.Floor() - 1) * 100, f.cpu, f.cpu / f.wall * 100);
    } else {
        std::snprintf(text, sizeof text,
                      "| %u KiB | virtual (median of %d) | %s | %llu | %llu | %.3f | %.4f | - | "
                      "%.4f | - | %.2f | %.2f |\n",
                      f.imageBytes / 1024, reps, f.success ? "yes" : "NO",
                      static_cast<unsigned long long>(f.transfers),
                      static_cast<unsigned long long>(f.sleptMillis), f.deviceMicros * 1e-6, f.wall,
                      f.cpu, f.CpuMicrosPerTransfer(), f.ToolMicrosPerTransfer());
    }
    return text;
}

constexpr const char* kMethod =
    "The one-button update (`RunFirmwareUpdate`) of a 32 KiB and a 512 KiB image of "
    "pseudo-random bytes (every block is programmed) on the virtual Tesmora K2 DAC (2 MiB flash "
    "EF 40 15, default timings: 0.7 ms page program, 10 ms status write, 5 s chip erase) with "
    "125 us per control transfer. The bus log is off (limit 0), the reporter is silent.\n\n"
    "- Floor: transfers x 125 us + the sleeps the algorithm asked for, counted in the run itself. "
    "The flash's busy time adds nothing beyond that: the update only goes on once a status poll "
    "sees the flash idle, so busy time is spent inside counted polls and sleeps.\n"
    "- Real time, RealTimeClock: the bus charges each transfer's latency against a running "
    "deadline, so a late wake-up shortens the next sleep (as on a device whose transfers take "
    "125 us each).\n"
    "- Virtual time: the median of N runs; CPU per transfer includes the virtual device; "
    "\"tool only\" takes off the share of time spent inside the bus (metered around every "
    "I/O control and sleep).\n";

// The demo firmware as `make demo` updates it; the goal is under 30 s.
std::string DemoSection(bool& ok) {
    FirmwareImage image;
    const std::vector<std::uint8_t> demo = demo::BuildDemoFirmwareImage();
    image.data.assign(demo.begin(), demo.end());
    image.length = static_cast<std::uint32_t>(demo.size());
    constexpr std::uint64_t kLatency = sim::Simulation::kProductLatencyMicros;
    // The same run in virtual time takes exactly the floor: every transfer its latency, every
    // wait its length, the chip erase its typical time.
    sim::VirtualClock virtualClock;
    const Figures floor = RunUpdate(virtualClock, ClockKind::kVirtual, image, kLatency);
    sim::RealTimeClock clock;
    const Figures f = RunUpdate(clock, ClockKind::kReal, image, kLatency);
    const double floorSeconds = floor.deviceMicros * 1e-6;
    ok = floor.success && f.success && f.wall < 30.0;
    char text[700];
    std::snprintf(
        text, sizeof text,
        "| Image | Latency per transfer | Flash = image | Transfers | Sleeps (ms) | "
        "Floor (s) | Wall (s) | Over floor |\n|---|---:|---|---:|---:|---:|---:|---:|\n"
        "| demo firmware, %u bytes | %llu us | %s | %llu | %llu | %.3f | %.3f | %+.1f%% |\n\n"
        "Goal: under 30 s: %s.\n",
        f.imageBytes, static_cast<unsigned long long>(kLatency), f.success ? "yes" : "NO",
        static_cast<unsigned long long>(floor.transfers),
        static_cast<unsigned long long>(floor.sleptMillis), floorSeconds, f.wall,
        (f.wall / floorSeconds - 1) * 100, f.wall < 30.0 ? "met" : "missed");
    return text;
}

constexpr const char* kDemoMethod =
    "What `make demo` runs: the one-button update of the demo firmware (`Tesmora_K2DAC_v11.hex`) "
    "on the virtual Tesmora K2 DAC in real time, at the latency a `--simulate` run uses for a "
    "product (1 ms per control transfer, as through the product's driver), with the flash "
    "part's typical times (5 s chip erase). Floor: the device time of the same run in virtual "
    "time (transfers x 1 ms, the sleeps the algorithm asked for, the erase's 5 s). On a loaded "
    "machine each 1 ms sleep wakes late, which shows as time over the floor.\n";

// The 1-minute load average, since other work on the machine shows in the real-time rows.
std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string first;
    in >> first;
    return first.empty() ? "unknown" : first;
}

void ReplaceSection(const std::filesystem::path& file, const std::string& heading,
                    const std::string& section) {
    std::string text;
    if (std::ifstream in(file); in) {
        std::stringstream buffer;
        buffer << in.rdbuf();
        text = buffer.str();
    }
    if (text.empty()) text = "# Benchmarks\n";
    std::size_t start = text.find(heading);
    if (start == std::string::npos) {
        if (text.back() != '\n') text += '\n';
        text += '\n' + section;
    } else {
        // Up to the next heading, keeping the blank line before it.
        const std::size_t next = text.find("\n## ", start + heading.size());
        const std::size_t end = next == std::string::npos ? text.size() : next + 1;
        text.replace(start, end - start, next == std::string::npos ? section : section + '\n');
    }
    std::ofstream(file) << text;
}

}  // namespace
}  // namespace qv::bench

int main(int argc, char** argv) {
    using namespace qv::bench;
    int virtualReps = 5;
    long timerSlack = -1;
    std::string markdown;
    bool demoOnly = false;
    std::string commandLine = "./bin/bench_update";
    for (int i = 1; i < argc; ++i) commandLine += std::string(" ") + argv[i];
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--virtual-reps" && i + 1 < argc) {
            virtualReps = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--timer-slack-ns" && i + 1 < argc) {
            timerSlack = std::atol(argv[++i]);
        } else if (a == "--markdown" && i + 1 < argc) {
            markdown = argv[++i];
        } else if (a == "--demo") {
            demoOnly = true;
        } else {
            std::cerr << "usage: bench_update [--virtual-reps N] [--timer-slack-ns N] "
                         "[--markdown FILE]\n       bench_update --demo [--markdown FILE]\n";
            return 2;
        }
    }
#ifdef __linux__
    if (timerSlack >= 0 && prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(timerSlack)) != 0) {
        std::perror("prctl(PR_SET_TIMERSLACK)");
        return 1;
    }
    const long slack = prctl(PR_GET_TIMERSLACK);
#else
    const long slack = -1;
#endif

    if (demoOnly) {
        bool ok = false;
        const std::string table = DemoSection(ok);
        std::cout << table;
        if (!markdown.empty()) {
            ReplaceSection(markdown, "## Demo update\n",
                           "## Demo update\n\n" + std::string(kDemoMethod) +
                               "\nCommand (from the build directory):\n\n```\n" + commandLine +
                               "\n```\n\n" + table + "\nLoad average at the end: " + LoadAverage() +
                               ".\n");
        }
        return ok ? 0 : 1;
    }

    std::vector<Figures> results;
    bool allOk = true;
    for (const std::uint32_t kib : {32u, 512u}) {
        qv::FirmwareImage image;
        FillImage(image, kib * 1024);
        std::vector<Figures> virtualRuns;
        for (int rep = 0; rep < virtualReps; ++rep) {
            qv::sim::VirtualClock clock;
            virtualRuns.push_back(RunUpdate(clock, ClockKind::kVirtual, image));
        }
        std::sort(virtualRuns.begin(), virtualRuns.end(), [](const Figures& a, const Figures& b) {
            return a.ToolMicrosPerTransfer() < b.ToolMicrosPerTransfer();
        });
        const Figures& median = virtualRuns[virtualRuns.size() / 2];
        qv::sim::RealTimeClock realClock;
        const Figures real = RunUpdate(realClock, ClockKind::kReal, image);
        results.insert(results.end(), {real, median});
        allOk = allOk && real.success && median.success;
    }

    std::ostringstream table;
    table << "| Image | Clock | Flash = image | Transfers | Sleeps (ms) | Floor / device time (s) "
             "| Wall (s) | Over floor | CPU (s) | CPU / wall | CPU per transfer, tool and device "
             "(us) | Tool only (us) |\n"
             "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Figures& f : results) table << Row(f, virtualReps);
    std::cout << table.str();

    bool wallMet = true, cpuMet = true, toolMet = true;
    for (const Figures& f : results) {
        if (f.RealTime()) {
            wallMet = wallMet && f.wall <= f.Floor() * 1.10;
            cpuMet = cpuMet && f.cpu < f.wall * 0.10;
        } else {
            toolMet = toolMet && f.ToolMicrosPerTransfer() < 2.0;
        }
    }
    std::ostringstream verdict;
    verdict << "Goals (RealTimeClock rows): wall within 10% of the floor: "
            << (wallMet ? "met" : "missed")
            << "; CPU under 10% of wall: " << (cpuMet ? "met" : "missed")
            << "; tool CPU per transfer under 2 us: " << (toolMet ? "met" : "missed") << ".\n\n";
    for (const Figures& f : results) {
        if (!f.RealTime()) continue;
        verdict << std::fixed << std::setprecision(1) << "- " << f.imageBytes / 1024 << " KiB, "
                << "RealTimeClock: wall exceeds the floor by "
                << (f.wall - f.Floor()) * 1e6 / double(f.transfers + f.sleepCalls)
                << " us per sleep (" << f.transfers << " latency sleeps of the bus, "
                << f.sleepCalls << " sleeps of the algorithm).\n";
    }
    verdict << "\nTimer slack of the process: " << slack
            << " ns. Load average at the end: " << LoadAverage() << ".\n";
    std::cout << verdict.str();

    if (!markdown.empty()) {
        std::ostringstream s;
        s << "## Firmware update\n\n"
          << kMethod << "\nCommand (from the build directory):\n\n```\n"
          << commandLine << "\n```\n\n"
          << table.str() << '\n'
          << verdict.str();
        ReplaceSection(markdown, "## Firmware update\n", s.str());
        std::cout << "Wrote section \"## Firmware update\" of " << markdown << '\n';
    }
    return allOk ? 0 : 1;
}

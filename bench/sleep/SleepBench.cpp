// How long the system's sleeps last, and what the raised timer resolution saves an update.
//
// 1. N x Sleep(1) and N x Sleep(10) through the win32 device interface, at the default timer
//    resolution and raised to 1 ms (the tool raises it for its whole run).
// 2. The one-button update of the demo firmware on the virtual product, in virtual time, with
//    125 us per transfer and each sleep ending on the first timer tick at or after its due time:
//    once with the default 15.625 ms tick and once with the 1 ms tick. The difference is what
//    the raised resolution saves on a Windows machine, where the timer works that way. The
//    flash's busy times come from the virtual flash, so polls that wait for the flash anyway
//    cost nothing extra.
//
//   bench_sleep [--reps N]      (default 1000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "flash/UpdateSequences.h"
#include "image/ImageLoaders.h"
#include "platform/ForwardingDeviceApi.h"
#include "platform/win32/Win32DeviceApi.h"
#include "sim/Qv4820Model.h"
#include "sim/VirtualBus.h"
#include "system/InputFile.h"
#include "system/win32/TimerPeriod.h"

namespace qv::bench {
namespace {

constexpr std::uint64_t kLatencyMicros = 125;
constexpr std::uint64_t kDefaultTickMicros = 15'625;
constexpr std::uint64_t kRaisedTickMicros = 1'000;
constexpr const char* kProductId = "vid_a7d6&pid_f017";

struct SleepFigures {
    double meanMs = 0;
    double maxMs = 0;
};

SleepFigures MeasureSleeps(DeviceApi& api, std::uint32_t ms, int reps) {
    using Clock = std::chrono::steady_clock;
    SleepFigures figures;
    for (int i = 0; i < reps; ++i) {
        const auto start = Clock::now();
        api.Sleep(ms);
        const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        figures.meanMs += took / reps;
        if (took > figures.maxMs) figures.maxMs = took;
    }
    return figures;
}

// Passes everything to the virtual bus; a sleep lasts until the first tick of a timer of the
// given period at or after its due time, and is counted by its length.
class TickedSleeps final : public ForwardingDeviceApi {
  public:
    TickedSleeps(sim::VirtualBus& bus, sim::Clock& clock, std::uint64_t tickMicros)
        : ForwardingDeviceApi(bus), clock_(clock), tickMicros_(tickMicros) {}

    std::map<std::uint32_t, std::uint64_t> counts;

    void Sleep(std::uint32_t milliseconds) override {
        ++counts[milliseconds];
        const std::uint64_t due = clock_.NowMicros() + milliseconds * 1000ull;
        const std::uint64_t tick = (due + tickMicros_ - 1) / tickMicros_ * tickMicros_;
        clock_.SleepMicros(tick - clock_.NowMicros());
    }

  private:
    sim::Clock& clock_;
    std::uint64_t tickMicros_;
};

struct UpdateFigures {
    bool success = false;
    double seconds = 0;  // device time of the whole update
    std::map<std::uint32_t, std::uint64_t> sleeps;
};

UpdateFigures RunDemoUpdate(std::uint64_t tickMicros) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    bus.SetLogLimit(0);
    bus.SetTransferLatencyMicros(kLatencyMicros);
    bus.AttachProduct(kProductId, std::make_shared<sim::Qv4820Model>(clock));
    TickedSleeps api(bus, clock, tickMicros);
    QuorvexUsb usb(api);
    usb.SetPropertyMode(true);
    usb.SetIdText(kProductId);
    FirmwareImage image;
    UpdateFigures figures;
    const Expected<InputFile> file = InputFile::Open(QV_DEMO_FIRMWARE_PATH, kFirmwareFileMaxBytes);
    if (!file.ok() || !usb.Find() ||
        !LoadHexFromFile(image, file->Stream(), QV_DEMO_FIRMWARE_PATH).ok())
        return figures;
    SilentReporter reporter;
    FlashTarget target(usb, image);
    FlashRun run(reporter);
    figures.success = RunFirmwareUpdate(target, run) == SequenceOutcome::kSuccess;
    figures.seconds = clock.NowMicros() * 1e-6;
    figures.sleeps = api.counts;
    return figures;
}

}  // namespace
}  // namespace qv::bench

int main(int argc, char** argv) {
    using namespace qv;
    using namespace qv::bench;
    int reps = 1000;
    if (argc == 3 && std::strcmp(argv[1], "--reps") == 0) reps = std::atoi(argv[2]);
    if (reps <= 0 || (argc != 1 && argc != 3)) {
        std::fprintf(stderr, "usage: bench_sleep [--reps N]\n");
        return 2;
    }

    Win32DeviceApi api;
    std::printf("| Timer resolution | Sleep(1) mean / max (ms) | Sleep(10) mean / max (ms) |\n");
    std::printf("|---|---|---|\n");
    const auto row = [&](const char* resolution) {
        const SleepFigures one = MeasureSleeps(api, 1, reps);
        const SleepFigures ten = MeasureSleeps(api, 10, reps);
        std::printf("| %s | %.3f / %.3f | %.3f / %.3f |\n", resolution, one.meanMs, one.maxMs,
                    ten.meanMs, ten.maxMs);
    };
    row("default");
    {
        const TimerPeriod raised(1);
        row(raised.raised() ? "raised to 1 ms" : "1 ms refused by the system");
    }

    const UpdateFigures slow = RunDemoUpdate(kDefaultTickMicros);
    const UpdateFigures fast = RunDemoUpdate(kRaisedTickMicros);
    if (!slow.success || !fast.success) {
        std::fprintf(stderr, "the demo update failed on the virtual product\n");
        return 1;
    }
    std::printf("\nDemo update (%s), sleeps asked for:", QV_DEMO_FIRMWARE_PATH);
    std::uint64_t total = 0;
    for (const auto& [ms, count] : fast.sleeps) {
        std::printf(" %llu x %u ms", static_cast<unsigned long long>(count), ms);
        total += count;
    }
    std::printf(" (%llu in all)\n", static_cast<unsigned long long>(total));
    std::printf("| Timer tick | Update (s) |\n|---|---|\n");
    std::printf("| 15.625 ms (default) | %.2f |\n| 1 ms (raised) | %.2f |\n", slow.seconds,
                fast.seconds);
    std::printf("Saved by the raised resolution: %.2f s\n", slow.seconds - fast.seconds);
    return 0;
}

#pragma once
// A device interface that answers from a traffic log (see TrafficLog.h). Requests (I/O controls
// and, in logs with a version line, opens) are answered in the recorded order with the recorded
// outcome, failures with their kind and text, as long as each is the recorded one (the same path;
// the same code, input block and output size). The first request that differs fails, naming the
// log line, and so does every request after it.
//
// Listings of an interface class are answered with the recorded listings of that class between
// the same two requests, the first with the first and so on, the last again when the tool looks
// more often (a window polls on a timer); where the recording made none there, with its last one
// before. So devices come and go as they did. Asking what the recording never read is a difference
// too. A log without a version line presents the devices it opened, each in its class, and opens
// them whenever asked. Sleeps take no time; the clock counts the time they asked for.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "platform/TrafficLog.h"

namespace qv {

class ReplayDeviceApi final : public DeviceApi {
  public:
    // Reads and checks the whole log first; else why it cannot be replayed.
    static Expected<std::unique_ptr<ReplayDeviceApi>> Load(const std::string& fileName);
    ReplayDeviceApi(TrafficLog log, std::string name);

    // Success when every recorded request was asked for and nothing differed.
    DeviceResult Verdict() const;

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override;
    void Sleep(std::uint32_t milliseconds) override { sleptMicros_ += milliseconds * 1000ull; }
    std::uint64_t NowMicros() override { return sleptMicros_; }

  private:
    std::uint64_t sleptMicros_ = 0;
    // The listing of `interfaceClass` a scan sees now; false when the recording has none yet.
    bool ListingNow(const std::string& interfaceClass, TrafficListing& listing);
    // A log without a version line: every opened path of the class, each read without failure.
    TrafficListing FirstFormatListing(const std::string& interfaceClass) const;
    DeviceResult OpenRecorded(const std::string& path, FileHandle& handle);
    // Success when an I/O control is the recorded `entry`; else how it differs.
    static Expected<void> SameAsRecorded(const TrafficEntry& entry, std::uint32_t code,
                                         const std::uint8_t* in, std::uint32_t inSize,
                                         std::uint32_t outSize);
    // The recorded outcome; a failure recorded without text says where it was recorded.
    DeviceResult Recorded(const TrafficEntry& entry) const;
    std::string Where(const TrafficEntry& entry) const;
    DeviceResult Refuse(std::string mismatch);

    TrafficLog log_;
    std::string name_;
    std::size_t next_ = 0;
    DeviceResult mismatch_;  // the first difference from the recording, kept for every later call
    std::map<DeviceSetHandle, TrafficListing> sets_;
    // How many listings of each class the tool made since the request count was last
    // `listingPoint_`.
    std::size_t listingPoint_ = 0;
    std::map<std::string, std::size_t> listingsTaken_;
    std::map<FileHandle, std::string> handles_;
    std::intptr_t nextHandle_ = 1;
};

}  // namespace qv

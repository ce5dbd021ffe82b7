#pragma once
// The one link to the device: finds an interface whose path contains an id text, remembers it,
// and carries one vendor control request at a time through the driver behind it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "platform/carriers/ControlSetup.h"

namespace qv {

class QuorvexUsb {
  public:
    static constexpr std::size_t kPathCapacity = 512;  // 511 characters and the terminator
    static constexpr std::size_t kIdCapacity = 50;     // 49 characters and the terminator
    static constexpr const char* kInitialIdText = "vid_0c5e&pid_6000";

    explicit QuorvexUsb(DeviceApi& api);
    virtual ~QuorvexUsb();
    QuorvexUsb(const QuorvexUsb&) = delete;
    QuorvexUsb& operator=(const QuorvexUsb&) = delete;

    // Enumerate and match (the last match wins), remember the path, set present and run the
    // presence test on a temporary handle; returns the test's result. A device whose test fails
    // still counts as present; LastFailure() and OpenFailure() then speak of that device alone.
    virtual bool Find();
    // Why the device the last Find remembered could not be opened; success when it could (its
    // presence test may still have failed), or when nothing matched.
    const DeviceResult& OpenFailure() const { return openFailure_; }
    // Enumerate and match only; present becomes the outcome.
    virtual bool Probe();
    // Whether the remembered path is still listed (also when the list cannot be read, so a
    // device is not taken as gone on the system's word alone); changes nothing the link keeps.
    bool StillListed();
    virtual bool IsPresent() const { return present_; }
    // How many times Find has run: what was learnt about the device (its flash id) holds
    // until the link looks for a device again.
    std::uint64_t FindCount() const { return findCount_; }
    void ClearPresence() { present_ = false; }

    void SetIdText(const std::string& text);  // at most 49 characters are kept
    const char* IdText() const { return idText_; }
    void SetPropertyMode(bool on) { propertyMode_ = on; }
    bool InPropertyMode() const { return propertyMode_; }
    const char* DevicePath() const { return devicePath_; }

    bool Open();
    void Close();
    bool ControlTransfer(const VendorRequest& request);

    // Why the link's latest failed device call failed; success when none failed since the
    // link was last found, opened or cleared. A transfer without a handle keeps the failure
    // that left the link without one.
    const DeviceResult& LastFailure() const { return lastFailure_; }
    void ClearLastFailure() { lastFailure_ = DeviceResult::Success(); }

    // A device that stops answering. A transfer that times out costs about 1 s on a real bus,
    // and the poll loops above the link would multiply that into hours; so after
    // kSilenceLimit transfers in a row that timed out or found the device gone (about 5 s of
    // device time), the link has stopped: it fails every transfer at once, without sending it,
    // with a failure that says the device stopped answering (of the kind of the last one).
    // A transfer the program withheld (not sent, after a second stop request) stops the link at
    // once, with that failure. Any other outcome of a transfer ends the run of silent ones.
    // Closing and opening keep the state; finding or probing the device again starts afresh.
    static constexpr int kSilenceLimit = 5;
    bool StoppedAnswering() const { return silentTransfers_ >= kSilenceLimit; }
    // Whether the latest transfer got an answer of any kind (it did not time out or find the
    // device gone).
    bool Answering() const { return silentTransfers_ == 0; }
    // Lets the next transfer reach a device that stopped answering, so that a closing step
    // (protect, leave ISP mode) is tried once; when it fails too, the link stays stopped.
    void TryOnceMore() { tryOnceMore_ = true; }

    DeviceApi& Api() { return api_; }

  private:
    // Calls `onMatch` with the path of each matching interface; the set's failure, if any.
    template <typename OnMatch>
    DeviceResult EnumerateMatches(OnMatch onMatch);
    // As EnumerateMatches, keeping a failure; false when the set failed.
    template <typename OnMatch>
    bool Enumerate(OnMatch onMatch);
    bool PresenceTest(const std::string& path);
    // Keeps `result` when it is a failure; true when it is a success.
    bool Note(DeviceResult result);
    void NoteNoMatch();
    // Counts `result` towards, or ends, a run of unanswered transfers.
    void CountSilence(const DeviceResult& result);
    void StartAfresh();

    DeviceApi& api_;
    bool present_ = false;
    std::uint64_t findCount_ = 0;
    bool propertyMode_ = false;
    char devicePath_[kPathCapacity] = {};
    char idText_[kIdCapacity] = {};
    FileHandle handle_ = kNoFileHandle;
    DeviceResult lastFailure_;
    DeviceResult openFailure_;
    int silentTransfers_ = 0;  // in a row, timed out or gone
    bool tryOnceMore_ = false;
    DeviceResult stoppedFailure_;  // what every transfer fails with once the link has stopped
    std::vector<std::uint8_t> propertyBlock_;  // reused, so a transfer allocates nothing
};

// Copies at most capacity - 1 characters of `text` and terminates; never overflows.
void CopyBounded(char* destination, std::size_t capacity, const std::string& text);

}  // namespace qv

#include "sim/SpiPort.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr std::uint16_t kIndexKeepSelected = 0;
constexpr std::uint16_t kIndexEnd = 1;

bool ValidIndex(std::uint16_t index) {
    return index == kIndexKeepSelected || index == kIndexEnd;
}

}  // namespace

void SpiPort::WaitForPort() {
    const std::uint64_t now = clock_.NowMicros();
    if (!stuck_ && now < transferEnd_) clock_.SleepMicros(transferEnd_ - now);
}

void SpiPort::Send(const std::uint8_t* data, std::uint32_t length) {
    if (noFlashLevel_) return;
    if (!selected_) {
        flash_.Select();
        selected_ = true;
    }
    for (std::uint32_t i = 0; i < length; ++i) flash_.Exchange(data[i]);
}

void SpiPort::Finish(std::uint16_t index, std::uint32_t bytesMoved) {
    const std::uint64_t clocks = std::uint64_t{bytesMoved} * 8 * 1'000'000;
    transferEnd_ = clock_.NowMicros() + (clocks + clockHz_ - 1) / clockHz_;
    if (index == kIndexEnd) Release();
}

bool SpiPort::Write(std::uint16_t index, const std::uint8_t* data, std::uint32_t length) {
    if (!ValidIndex(index) || length == 0) return false;
    WaitForPort();
    Send(data, length);
    Finish(index, length);
    return true;
}

bool SpiPort::ReadStart(std::uint16_t count, std::uint16_t index, const std::uint8_t* data,
                        std::uint32_t length) {
    if (!ValidIndex(index) || length == 0 || count > kBufferSize) return false;
    WaitForPort();
    Send(data, length);
    for (std::uint16_t i = 0; i < count; ++i)
        buffer_[i] = noFlashLevel_ ? *noFlashLevel_ : flash_.Exchange(0xFF);
    Finish(index, length + count);
    return true;
}

bool SpiPort::Fetch(std::uint8_t* data, std::uint32_t length) const {
    if (length > kBufferSize || Running()) return false;
    std::copy_n(buffer_.begin(), length, data);
    return true;
}

bool SpiPort::Ready(std::uint8_t* data, std::uint32_t length) const {
    if (length != 1) return false;
    data[0] = Running() ? 0 : 1;
    return true;
}

void SpiPort::Release() {
    if (!selected_) return;
    flash_.Deselect();
    selected_ = false;
}

}  // namespace qv::sim

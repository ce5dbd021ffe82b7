#include "sim/UsbDescriptors.h"

namespace qv::sim {
namespace {

constexpr std::uint8_t kTypeDevice = 1;
constexpr std::uint8_t kTypeConfiguration = 2;
constexpr std::uint8_t kTypeString = 3;
constexpr std::uint8_t kTypeInterface = 4;
constexpr std::uint8_t kTypeEndpoint = 5;
constexpr std::uint8_t kTypeClassInterface = 0x24;
constexpr std::uint8_t kTypeClassEndpoint = 0x25;
constexpr std::uint8_t kClassAudio = 1;
constexpr std::uint8_t kClassVendor = 0xFF;
constexpr std::uint8_t kAudioControl = 1;
constexpr std::uint8_t kAudioStreaming = 2;
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;
constexpr std::uint32_t kSampleRate = 44100;
// 44.1 kHz, two 16-bit channels, at most six frames in a 125 us microframe.
constexpr std::uint16_t kStreamPacketBytes = 6 * 4;

using Bytes = std::vector<std::uint8_t>;

void Add16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

Bytes Interface(std::uint8_t number, std::uint8_t alternate, std::uint8_t endpoints,
                std::uint8_t cls, std::uint8_t subClass) {
    return {9, kTypeInterface, number, alternate, endpoints, cls, subClass, 0, 0};
}

// Audio control: the class header naming the streaming interface, a USB streaming input
// terminal and a speaker output terminal fed by it. No units, so no class controls to answer.
Bytes AudioControl() {
    Bytes block = Interface(0, 0, 0, kClassAudio, kAudioControl);
    const Bytes inputTerminal = {12, kTypeClassInterface, 2, 1, 0x01, 0x01, 0, 2, 0x03, 0, 0, 0};
    const Bytes outputTerminal = {9, kTypeClassInterface, 3, 2, 0x01, 0x03, 0, 1, 0};
    const std::uint16_t classTotal = 9 + inputTerminal.size() + outputTerminal.size();
    Bytes header = {9, kTypeClassInterface, 1, 0x00, 0x01};
    Add16(header, classTotal);
    header.insert(header.end(), {1, 1});  // one streaming interface: number 1
    block.insert(block.end(), header.begin(), header.end());
    block.insert(block.end(), inputTerminal.begin(), inputTerminal.end());
    block.insert(block.end(), outputTerminal.begin(), outputTerminal.end());
    return block;
}

// Audio streaming: setting 0 without bandwidth, setting 1 with 16-bit stereo PCM at 44.1 kHz on
// an adaptive isochronous OUT endpoint (no sampling-rate control, so no class requests).
Bytes AudioStreaming() {
    Bytes block = Interface(1, 0, 0, kClassAudio, kAudioStreaming);
    const Bytes playing = Interface(1, 1, 1, kClassAudio, kAudioStreaming);
    block.insert(block.end(), playing.begin(), playing.end());
    const Bytes general = {7, kTypeClassInterface, 1, 1, 1, 0x01, 0x00};
    const Bytes format = {11,
                          kTypeClassInterface,
                          2,
                          1,
                          2,
                          2,
                          16,
                          1,
                          static_cast<std::uint8_t>(kSampleRate),
                          static_cast<std::uint8_t>(kSampleRate >> 8),
                          static_cast<std::uint8_t>(kSampleRate >> 16)};
    Bytes endpoint = {9, kTypeEndpoint, 0x01, 0x09};  // OUT 1, isochronous, adaptive
    Add16(endpoint, kStreamPacketBytes);
    endpoint.insert(endpoint.end(), {4, 0, 0});  // every 8 microframes: 1 ms
    const Bytes classEndpoint = {7, kTypeClassEndpoint, 1, 0, 0, 0, 0};
    for (const Bytes* part :
         std::initializer_list<const Bytes*>{&general, &format, &endpoint, &classEndpoint})
        block.insert(block.end(), part->begin(), part->end());
    return block;
}

Bytes ConfigurationDescriptor(bool bareChip) {
    const Bytes body = bareChip ? Interface(0, 0, 0, kClassVendor, 0) : [] {
        Bytes audio = AudioControl();
        const Bytes streaming = AudioStreaming();
        audio.insert(audio.end(), streaming.begin(), streaming.end());
        return audio;
    }();
    Bytes config = {9, kTypeConfiguration};
    Add16(config, static_cast<std::uint16_t>(9 + body.size()));
    // Bus-powered, 100 mA.
    config.insert(config.end(),
                  {static_cast<std::uint8_t>(bareChip ? 1 : 2), kConfigurationValue, 0, 0x80, 50});
    config.insert(config.end(), body.begin(), body.end());
    return config;
}

Bytes StringDescriptor(const std::string& text) {
    Bytes bytes = {static_cast<std::uint8_t>(2 + 2 * text.size()), kTypeString};
    for (char c : text) Add16(bytes, static_cast<std::uint8_t>(c));
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> DeviceDescriptor(std::uint16_t vendor, std::uint16_t product,
                                           bool bareChip) {
    Bytes device = {18, kTypeDevice, 0x00, 0x02, bareChip ? kClassVendor : std::uint8_t{0},
                    0,  0,           64};
    Add16(device, vendor);
    Add16(device, product);
    Add16(device, 0x0100);
    device.insert(device.end(), {1, 2, 3, 1});
    return device;
}

UsbDescriptors::UsbDescriptors(const UsbIdentity& identity)
    : device_(DeviceDescriptor(identity.vendor, identity.product, identity.bareChip)),
      configuration_(ConfigurationDescriptor(identity.bareChip)),
      strings_{identity.manufacturer, identity.name, identity.serial} {
    std::uint8_t interface = 0;
    std::uint8_t alternate = 0;
    for (std::size_t at = 0; at + 2 <= configuration_.size(); at += configuration_[at]) {
        const std::uint8_t* d = configuration_.data() + at;
        if (d[1] == kTypeInterface) {
            interface = d[2];
            alternate = d[3];
            interfaces_.push_back({d[2], d[3], d[5], d[6], d[7]});
        } else if (d[1] == kTypeEndpoint) {
            endpoints_.push_back({d[2], d[3], interface, alternate});
        }
    }
}

std::vector<std::uint8_t> UsbDescriptors::String(std::uint8_t index) const {
    if (index == 0) {
        Bytes languages = {4, kTypeString};
        Add16(languages, kLanguageEnglishUs);
        return languages;
    }
    if (index > strings_.size()) return {};
    return StringDescriptor(strings_[index - 1]);
}

std::uint8_t UsbDescriptors::InterfaceCount() const {
    return configuration_[4];
}

}  // namespace qv::sim

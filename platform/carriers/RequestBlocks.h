#pragma once
// The two request carriers between the link and the drivers: the 24-byte plain block for the
// USB driver and the kernel-streaming property block for the product's driver. Encoders are
// used by the link; decoders by whatever plays the driver's part (the virtual device, libusb).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "platform/carriers/ControlSetup.h"
#include "result/Expected.h"

namespace qv {

// GUID_DEVINTERFACE_USB_DEVICE {A5DCBF10-6530-11D2-901F-00C04FB951ED}
inline constexpr Guid kUsbDeviceInterfaceClass{{0x10, 0xBF, 0xDC, 0xA5, 0x30, 0x65, 0xD2, 0x11,
                                                0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
// The product's interface class {50894FA4-9206-4A91-8728-CF6F268F271D}
inline constexpr Guid kProductInterfaceClass{{0xA4, 0x4F, 0x89, 0x50, 0x06, 0x92, 0x91, 0x4A, 0x87,
                                              0x28, 0xCF, 0x6F, 0x26, 0x8F, 0x27, 0x1D}};
// The vendor property set {F6D7C04D-C5C3-4181-9ED7-504ABE0CDDFF}
inline constexpr Guid kVendorPropertySet{{0x4D, 0xC0, 0xD7, 0xF6, 0xC3, 0xC5, 0x81, 0x41, 0x9E,
                                          0xD7, 0x50, 0x4A, 0xBE, 0x0C, 0xDD, 0xFF}};

inline constexpr std::uint32_t kIoctlPlainOut = 0x222429;  // function 0x90A, METHOD_IN_DIRECT
inline constexpr std::uint32_t kIoctlPlainIn = 0x22242E;   // function 0x90B, METHOD_OUT_DIRECT
inline constexpr std::uint32_t kIoctlKsProperty = 0x2F0003;

inline constexpr std::uint32_t kVendorPropertyId = 7;
inline constexpr std::uint32_t kKsPropertyTypeGet = 1;
inline constexpr std::uint32_t kKsPropertyTypeSet = 2;
inline constexpr std::uint32_t kKsPropertyTypeSetSupport = 0x100;
inline constexpr std::uint8_t kPropertyRequestTypeByte = 0x20;

inline constexpr std::size_t kPlainBlockSize = 24;
inline constexpr std::size_t kKsPropertySize = 24;
inline constexpr std::uint16_t kDescriptorLength = 18;

using PlainRequestBlock = std::array<std::uint8_t, kPlainBlockSize>;

// Plain block: zero-filled, type at 4, request at 5, value at 6, index at 8, `lengthField` at 10.
PlainRequestBlock EncodePlainRequestBlock(const ControlSetup& setup, std::uint16_t lengthField = 0);
// The plain-mode presence test: GET_DESCRIPTOR (device) with 18 at offset 10.
PlainRequestBlock EncodeDescriptorQueryBlock();
std::uint32_t PlainIoctlCode(const ControlSetup& setup);

// Size sent for a property block: length + 47, and 48 when length is 0.
std::size_t PropertyRequestBlockSize(std::uint32_t length);
// The property block of a request into `block`: zero-filled, at least the size sent. The caller
// keeps the buffer, so a link sending many requests allocates it once.
void EncodePropertyRequestBlock(const VendorRequest& request, std::vector<std::uint8_t>& block);
// The property-mode presence test: KSPROPERTY {set, id 0, SETSUPPORT}.
std::array<std::uint8_t, kKsPropertySize> EncodeSupportQuery();

// A request as a driver sees it after checking its carrier.
struct DecodedRequest {
    ControlSetup setup;
    // For OUT requests, the data sent: a view of the output buffer in plain mode, of the block
    // in property mode, valid as long as those are. Empty for IN requests.
    std::span<const std::uint8_t> outData;
};

enum class CarrierKind { kVendorRequest, kPresenceTest };

struct DecodedCarrier {
    CarrierKind kind = CarrierKind::kVendorRequest;
    std::optional<DecodedRequest> request;  // the vendor request; none for a presence test
};
// An accepted carrier, or why it was refused (of kind kRefused, as a driver refuses it).
using DecodeResult = Expected<DecodedCarrier>;

// The bytes a driver returns for an I/O control that went through: the whole output buffer for a
// read (a plain IN block, a property get), nothing for anything else.
std::uint32_t ExpectedReturnLength(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                   std::uint32_t outSize);

// Checks a plain-mode I/O control byte for byte and decodes it. `out` is the caller's output
// buffer (the OUT data travels there in plain mode).
DecodeResult DecodePlainRequest(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                const std::uint8_t* out, std::uint32_t outSize);
// Checks a property-mode I/O control byte for byte and decodes it.
DecodeResult DecodePropertyRequest(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                   std::uint32_t outSize);

}  // namespace qv

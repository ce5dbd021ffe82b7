// The USB/IP codec over exchanges as a Linux client (the usbip tool, vhci-hcd) sends them and as
// the protocol lays out the replies, byte for byte.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/HexFormat.h"
#include "usbip/UsbipCodec.h"

namespace qv::usbip {
namespace {

std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    AppendHexBytes(text, bytes.data(), bytes.size(), HexCase::kLower);
    return text;
}

std::string Zeros(std::size_t bytes) {
    return std::string(2 * bytes, '0');
}

// "1-1" in the 32-byte bus id field.
const std::string kBusId11 = "312d31" + Zeros(29);
// The header of a submit from vhci-hcd: seqnum 5, device 1-2 (0x00010002).
std::string SubmitHeader(const std::string& direction, const std::string& endpoint) {
    return "00000001 00000005 00010002 " + direction + " " + endpoint;
}

struct DecodeCase {
    const char* name;
    Phase phase;
    std::string bytes;
    Decoded::State state;
    std::size_t consumed;
    std::string error;  // part of the reason, for malformed input
};

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, DecodesOrRefuses) {
    const DecodeCase& c = GetParam();
    const std::vector<std::uint8_t> bytes = FromHex(c.bytes);
    const Decoded decoded = DecodeClientMessage(bytes, c.phase);
    EXPECT_EQ(decoded.state, c.state) << decoded.error;
    if (c.state == Decoded::State::kMessage) {
        EXPECT_EQ(decoded.consumed, c.consumed);
    } else if (c.state == Decoded::State::kMalformed) {
        EXPECT_NE(decoded.error.find(c.error), std::string::npos) << decoded.error;
    }
}

using S = Decoded::State;
const std::string kGetDeviceDescriptor = SubmitHeader("00000001", "00000000") +
                                         " 00000200 00000040 00000000 00000000 00000000" +
                                         " 8006000100004000";
const std::string kRegisterWrite = SubmitHeader("00000000", "00000000") +
                                   " 00000000 00000001 00000000 ffffffff 00000000" +
                                   " 4390000007000100 10";
const std::string kIsoOut = SubmitHeader("00000000", "00000001") +
                            " 00000002 00000030 00000000 00000002 00000008 0000000000000000" +
                            Zeros(48) + " 00000000 00000018 00000000 00000000" +
                            " 00000018 00000018 00000000 00000000";

INSTANTIATE_TEST_SUITE_P(
    Client, DecodeTable,
    ::testing::Values(
        DecodeCase{"DeviceList", Phase::kOperation, "0111 8005 00000000", S::kMessage, 8, ""},
        DecodeCase{"Import", Phase::kOperation, "0111 8003 00000000" + kBusId11, S::kMessage, 40,
                   ""},
        DecodeCase{"ImportCut", Phase::kOperation, "0111 8003 00000000 312d31", S::kNeedMore, 0,
                   ""},
        DecodeCase{"HeaderCut", Phase::kOperation, "0111 80", S::kNeedMore, 0, ""},
        DecodeCase{"OldVersion", Phase::kOperation, "0106 8005 00000000", S::kMalformed, 0,
                   "version 0x00000106"},
        DecodeCase{"UnknownOperation", Phase::kOperation, "0111 8009 00000000", S::kMalformed, 0,
                   "unknown operation"},
        DecodeCase{"BusIdWithoutEnd", Phase::kOperation,
                   "0111 8003 00000000" + std::string(64, '4'), S::kMalformed, 0,
                   "without its end"},
        DecodeCase{"ControlIn", Phase::kImported, kGetDeviceDescriptor, S::kMessage, 48, ""},
        DecodeCase{"ControlOutWithData", Phase::kImported, kRegisterWrite, S::kMessage, 49, ""},
        DecodeCase{"ControlOutDataCut", Phase::kImported,
                   kRegisterWrite.substr(0, kRegisterWrite.size() - 3), S::kNeedMore, 0, ""},
        DecodeCase{"IsochronousOut", Phase::kImported, kIsoOut, S::kMessage, 48 + 48 + 32, ""},
        DecodeCase{"IsochronousPacketsCut", Phase::kImported, kIsoOut.substr(0, kIsoOut.size() - 8),
                   S::kNeedMore, 0, ""},
        DecodeCase{
            "Unlink", Phase::kImported,
            "00000002 00000006 00010002 00000000 00000000" + std::string(" 00000005") + Zeros(24),
            S::kMessage, 48, ""},
        DecodeCase{"UnknownCommand", Phase::kImported, "00000007" + Zeros(44), S::kMalformed, 0,
                   "unknown command"},
        DecodeCase{"OperationAfterImport", Phase::kImported, "0111 8005 00000000" + Zeros(40),
                   S::kMalformed, 0, "unknown command"},
        DecodeCase{"BadDirection", Phase::kImported,
                   SubmitHeader("00000002", "00000000") + Zeros(28), S::kMalformed, 0,
                   "direction 2"},
        DecodeCase{"BadEndpoint", Phase::kImported,
                   SubmitHeader("00000001", "00000010") + Zeros(28), S::kMalformed, 0,
                   "endpoint 16"},
        DecodeCase{"TransferTooLarge", Phase::kImported,
                   SubmitHeader("00000000", "00000000") + " 00000000 00100001" + Zeros(20),
                   S::kMalformed, 0, "1048577 bytes"},
        DecodeCase{"TooManyPackets", Phase::kImported,
                   SubmitHeader("00000001", "00000001") + " 00000000 00000000 00000000 00000401" +
                       Zeros(12),
                   S::kMalformed, 0, "1025 isochronous packets"},
        DecodeCase{"NegativePackets", Phase::kImported,
                   SubmitHeader("00000001", "00000001") + " 00000000 00000000 00000000 fffffffb" +
                       Zeros(12),
                   S::kMalformed, 0, "-5 isochronous packets"},
        DecodeCase{"PacketOutsideBuffer", Phase::kImported,
                   SubmitHeader("00000001", "00000001") + " 00000000 00000010 00000000 00000001" +
                       Zeros(12) + " 0000000c 00000008 00000000 00000000",
                   S::kMalformed, 0, "outside the transfer buffer"}),
    [](const auto& info) { return info.param.name; });

TEST(UsbipCodec, SubmitFieldsAsSent) {
    const auto bytes = FromHex(kIsoOut);
    const SubmitCommand submit =
        std::get<SubmitCommand>(*DecodeClientMessage(bytes, Phase::kImported).message);
    EXPECT_EQ(submit.seqnum, 5u);
    EXPECT_EQ(submit.devid, 0x00010002u);
    EXPECT_EQ(submit.endpoint, 1u);
    EXPECT_EQ(submit.transferFlags, 2u);
    EXPECT_EQ(submit.length, 48u);
    EXPECT_EQ(submit.interval, 8);
    EXPECT_EQ(submit.outData.size(), 48u);
    ASSERT_EQ(submit.packets.size(), 2u);
    EXPECT_EQ(submit.packets[1].offset, 24u);
    EXPECT_EQ(submit.packets[1].length, 24u);

    const auto write = FromHex(kRegisterWrite);
    const SubmitCommand out =
        std::get<SubmitCommand>(*DecodeClientMessage(write, Phase::kImported).message);
    EXPECT_EQ(ToHex({out.setup.begin(), out.setup.end()}), "4390000007000100");
    EXPECT_EQ(out.outData, std::vector<std::uint8_t>{0x10});
    EXPECT_TRUE(out.packets.empty());

    const auto import = FromHex("0111 8003 00000000" + kBusId11);
    EXPECT_EQ(
        std::get<ImportRequest>(*DecodeClientMessage(import, Phase::kOperation).message).busId,
        "1-1");
    const auto unlink =
        FromHex("00000002 00000006 00010002 00000000 00000000 00000005" + Zeros(24));
    EXPECT_EQ(std::get<UnlinkCommand>(*DecodeClientMessage(unlink, Phase::kImported).message)
                  .unlinkSeqnum,
              5u);
}

ExportedDevice K2Dac() {
    ExportedDevice device;
    device.path = "/sys/devices/qvdevice/usb1/1-1";
    device.busId = "1-1";
    device.busNumber = 1;
    device.deviceNumber = 2;
    device.vendor = 0xa7d6;
    device.product = 0xf017;
    device.release = 0x0100;
    device.interfaces = {{1, 1, 0}, {1, 2, 0}};
    return device;
}

// path (256) busid (32) busnum devnum speed vendor product release, six bytes of classes.
std::string DeviceBytes(std::size_t interfaces) {
    const std::string path = "2f7379732f646576696365732f71766465766963652f757362312f312d31";
    return path + Zeros(256 - path.size() / 2) + kBusId11 + "00000001 00000002 00000003" +
           "a7d6 f017 0100 00 00 00 00 01 0" + std::to_string(interfaces);
}

const ExportedDevice kK2Dac = K2Dac();

struct EncodeCase {
    const char* name;
    std::vector<std::uint8_t> encoded;
    std::string expected;
};

class EncodeTable : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTable, ByteForByte) {
    std::string expected;
    for (char c : GetParam().expected)
        if (c != ' ') expected += c;
    EXPECT_EQ(ToHex(GetParam().encoded), expected);
}

SubmitReply IsoReply() {
    SubmitReply reply;
    reply.seqnum = 9;
    reply.actualLength = 48;
    reply.isochronous = true;
    reply.packets = {{0, 24, 24, 0}, {24, 24, 24, 0}};
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Server, EncodeTable,
    ::testing::Values(
        EncodeCase{"EmptyDeviceList", EncodeDevlistReply({}), "0111 0005 00000000 00000000"},
        EncodeCase{"DeviceList", EncodeDevlistReply({K2Dac()}),
                   "0111 0005 00000000 00000001" + DeviceBytes(2) + "01010000 01020000"},
        EncodeCase{"ImportRefused", EncodeImportReply(nullptr), "0111 0003 00000001"},
        EncodeCase{"Import", EncodeImportReply(&kK2Dac), "0111 0003 00000000" + DeviceBytes(2)},
        EncodeCase{"ControlIn", EncodeSubmitReply({5, 0, 2, 0, 0, {0x12, 0x01}, {}, false}),
                   "00000003 00000005 00000000 00000000 00000000 00000000 00000002 00000000 "
                   "00000000 00000000" +
                       Zeros(8) + "1201"},
        EncodeCase{"Stall", EncodeSubmitReply({6, kStatusStall, 0, 0, 0, {}, {}, false}),
                   "00000003 00000006" + Zeros(12) + "ffffffe0" + Zeros(24)},
        EncodeCase{"Isochronous", EncodeSubmitReply(IsoReply()),
                   "00000003 00000009" + Zeros(12) + "00000000 00000030 00000000 00000002" +
                       Zeros(12) + "00000000 00000018 00000018 00000000" +
                       "00000018 00000018 00000018 00000000"},
        EncodeCase{"Unlinked", EncodeUnlinkReply({7, kStatusUnlinked}),
                   "00000004 00000007" + Zeros(12) + "ffffff98" + Zeros(24)}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qv::usbip

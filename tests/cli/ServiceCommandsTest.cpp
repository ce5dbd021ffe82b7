// qvtool reg, i2c, param, status and hid on the virtual device, and their argument texts.

#include <gtest/gtest.h>

#include <filesystem>

#include "CliRun.h"
#include "chip/AudioStatus.h"
#include "cli/ServiceText.h"
#include "text/Windows1252.h"

namespace qv {
namespace {

TEST(QvtoolReg, SelectsTheBankReadsAndWritesWithReadBack) {
    const CliRun read =
        RunCli({"--simulate", "reg", "read", "0xA4", "--count", "3", "--bank", "0"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "A4: 00\nA5: 00\nA6: 01\n");  // connected, PCM 44.1 kHz

    // Bank 14 register 0x10 is the I2C master: written as control, read back as its status.
    const CliRun write =
        RunCli({"--simulate", "--json", "reg", "write", "10", "5a", "--bank", "E"});
    EXPECT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(write.Json()["written"], "5A");
    EXPECT_EQ(write.Json()["readBack"], "08");
}

TEST(QvtoolService, BadInputSendsNothingAndFails) {
    const auto log = std::filesystem::path(::testing::TempDir()) / "qvtool_service_refused.log";
    std::filesystem::remove(log);
    const std::vector<std::vector<std::string>> refused{
        {"reg", "read", "A4h"},
        {"reg", "read", "FFFF", "--count", "2"},
        {"reg", "write", "10", "100"},
        {"reg", "write", "10", "1", "--bank", "0x"},
        {"i2c", "write", "20", "00", "1FF"},
        {"i2c", "read", "20", "00", "--count", "0"},
        {"param", "vid", "a7d"},
        {"param", "string", "4", "text"},
        {"param", "string", "1", std::string(32, 'x')},
        {"param", "string", "1", "\xE6\x97\xA5"},
        {"param", "string", "1", "\xC3"},
        {"param", "settings", "--set", "A10000"},
        {"hid", "pause"},
    };
    for (std::vector<std::string> arguments : refused) {
        arguments.insert(arguments.begin(), {"--simulate", "--sim-log", log.string()});
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 2) << arguments[3];
        EXPECT_TRUE(Has(run.err, "Nothing was sent")) << run.err;
    }
    // A command that reached the device would have created the log.
    EXPECT_FALSE(std::filesystem::exists(log) && std::filesystem::file_size(log) != 0);
}

TEST(QvtoolService, FailedTransfersAndAbsentSlavesExitNonZero) {
    const CliRun reg =
        RunCli({"--simulate", "--sim-fault=fail-every:3", "reg", "read", "10", "--count", "4"});
    EXPECT_EQ(reg.status, 1);
    EXPECT_TRUE(Has(reg.err, "reading register 12 failed")) << reg.err;

    const CliRun absent = RunCli({"--simulate", "i2c", "read", "42", "00"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_TRUE(Has(absent.err, "slave at 42 did not acknowledge")) << absent.err;

    const CliRun nack =
        RunCli({"--simulate", "--sim-fault=slave-nack:20", "i2c", "write", "20", "00", "01"});
    EXPECT_EQ(nack.status, 1);

    const CliRun param = RunCli({"--simulate", "--sim-fault=unplug-after:3", "param", "settings"});
    EXPECT_EQ(param.status, 1);
    EXPECT_TRUE(Has(param.err, "reading the settings failed")) << param.err;
    EXPECT_EQ(param.out, "");

    const CliRun hid = RunCli({"--simulate", "--sim-fault=mailbox-silent", "hid", "play"});
    EXPECT_EQ(hid.status, 1);
    EXPECT_TRUE(Has(hid.err, "did not confirm")) << hid.err;
}

TEST(QvtoolI2c, ReadsAndWritesTheDefaultSlave) {
    const CliRun write = RunCli({"--simulate", "i2c", "write", "0x20", "05", "11", "22"});
    EXPECT_EQ(write.status, 0) << write.err;
    const CliRun read = RunCli({"--simulate", "--json", "i2c", "read", "20", "FE", "--count", "2"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.Json()["values"], (std::vector<std::string>{"00", "00"})) << read.out;
}

TEST(QvtoolParam, SettingsAreWrittenThenReadBackDecoded) {
    const CliRun set = RunCli({"--simulate", "param", "settings", "--set", "30E00000"});
    EXPECT_EQ(set.status, 0) << set.err;
    // The EEPROM flag in byte 3 is the device's own, not the one written.
    EXPECT_EQ(set.out,
              "Settings: 30E00080\nEEPROM: present\nI2S output length: 24 bit\n"
              "SPDIF output length: 24 bit\nI2S channel swap: no\nDSD channel swap: no\n"
              "MCLK output: 1024 Fs\nI2S format: Standard\nOutput when DSD in: DoP\n"
              "Outputs off: MCLK, I2S, SPDIF\n");

    const CliRun json =
        RunCli({"--simulate", "--json", "param", "settings", "--set", "0x4F000000"});
    EXPECT_EQ(json.status, 0) << json.err;
    const auto fields = json.Json();
    EXPECT_EQ(fields["i2sBits"], 32);
    EXPECT_EQ(fields["spdifBits"], 32);
    EXPECT_EQ(fields["i2sSwap"], true);
    EXPECT_EQ(fields["dsdSwap"], true);
    EXPECT_EQ(fields["mclkFs"], 128);
    EXPECT_EQ(fields["i2sFormat"], "left justified");
    EXPECT_EQ(fields["dsdOutput"], "DoP");
}

TEST(QvtoolParam, IdsAndStringsAreAccepted) {
    EXPECT_EQ(RunCli({"--simulate", "param", "pid", "6012"}).status, 0);
    EXPECT_EQ(RunCli({"--simulate", "param", "string", "3", std::string(31, 'x')}).status, 0);
    EXPECT_EQ(RunCli({"--simulate", "param", "string", "2", ""}).status, 0);
    // "€" is one Windows-1252 byte, so 31 characters fit although UTF-8 takes 33 bytes.
    const CliRun euro =
        RunCli({"--simulate", "param", "string", "1", "\xE2\x82\xAC" + std::string(30, 'x')});
    EXPECT_EQ(euro.status, 0) << euro.err;
}

TEST(QvtoolStatusAndHid, DefaultStatusAndConfirmedKey) {
    const CliRun status = RunCli({"--simulate", "status"});
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_EQ(status.out, "USB connected\nPlaying\nInput format: PCM\nInput rate: 44.1KHz\n");

    for (const char* key : {"prev", "vol-", "play", "vol+", "next"}) {
        const CliRun hid = RunCli({"--simulate", "hid", key});
        EXPECT_EQ(hid.status, 0) << hid.err;
        EXPECT_TRUE(Has(hid.out, "confirmed")) << hid.out;
    }
}

TEST(AudioStatusDecode, FlagsFormatAndRate) {
    const AudioStatus playing = DecodeAudioStatus({0xF4, 0x00, 0x01});
    EXPECT_TRUE(playing.connected);
    EXPECT_FALSE(playing.muted);
    EXPECT_STREQ(RateName(playing.format, playing.rateCode), "176.4KHz");
    const AudioStatus dsd = DecodeAudioStatus({0x09, 0x00, 0x03});
    EXPECT_STREQ(kFormatTexts[dsd.format], "DSD");
    EXPECT_STREQ(RateName(dsd.format, dsd.rateCode), " DSD 128");
    EXPECT_STREQ(RateName(1, 1), " DoP 128");
    EXPECT_STREQ(RateName(0, 0x0C), "        ");
    EXPECT_TRUE(DecodeAudioStatus({0, 0, 0x07}).muted);
    EXPECT_FALSE(DecodeAudioStatus({0, 0, 0x06}).connected);
}

TEST(ServiceText, HexAndUtf8Arguments) {
    EXPECT_EQ(ParseHex("0xfF"), 0xFFu);
    EXPECT_EQ(ParseHex("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_FALSE(ParseHex("100000000"));
    EXPECT_FALSE(ParseHex("0x"));
    EXPECT_FALSE(ParseHex("-1"));
    EXPECT_FALSE(ParseHex(" 1"));
    EXPECT_EQ(ParseSettingsRecord("A1000080"), (SettingsRecord{0xA1, 0x00, 0x00, 0x80}));
    EXPECT_FALSE(ParseSettingsRecord("A100008"));
    EXPECT_FALSE(ParseSettingsRecord("0x0x123456"));  // one prefix only

    const auto bytes = EncodeUtf8AsWindows1252("\xC3\xA9\xE2\x80\x93");
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{0xE9, 0x96}));
}

}  // namespace
}  // namespace qv

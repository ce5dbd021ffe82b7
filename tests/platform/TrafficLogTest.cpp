#include <gtest/gtest.h>

#include "platform/TrafficLog.h"

namespace qv {
namespace {

TEST(TrafficLog, LinesReadBackAsWritten) {
    const std::uint8_t block[3] = {0x00, 0xc3, 0x91};
    const std::uint8_t answer[2] = {0xa5, 0x0f};
    const std::string text = FormatOpenLine("\\\\?\\usb#vid_a7d6&pid_6000#1-2#{x}") + "\n" +
                             FormatTrafficLine(0x22242e, block, 3, 2, true, answer) + "\r\n" +
                             FormatTrafficLine(0x222429, nullptr, 0, 0, false, nullptr) + "\n";
    EXPECT_NE(text.find("0022242e 00c391 2 ok a50f\r\n00222429  0 fail -\n"), std::string::npos);

    TrafficLog log;
    std::string error;
    ASSERT_TRUE(ParseTrafficLog(text, log, error)) << error;
    EXPECT_EQ(log.devicePaths, std::vector<std::string>{"\\\\?\\usb#vid_a7d6&pid_6000#1-2#{x}"});
    ASSERT_EQ(log.entries.size(), 2u);
    const TrafficEntry& first = log.entries[0];
    EXPECT_EQ(first.code, 0x22242eu);
    EXPECT_EQ(first.input, std::vector<std::uint8_t>(block, block + 3));
    EXPECT_EQ(first.outSize, 2u);
    EXPECT_TRUE(first.ok && first.hasOutput);
    EXPECT_EQ(first.output, std::vector<std::uint8_t>(answer, answer + 2));
    EXPECT_EQ(first.line, 2u);
    const TrafficEntry& second = log.entries[1];
    EXPECT_TRUE(second.input.empty());
    EXPECT_FALSE(second.ok || second.hasOutput);
    EXPECT_EQ(second.line, 3u);
}

TEST(TrafficLog, CommentsBlankLinesAndRepeatedOpensAreNotEntries) {
    TrafficLog log;
    std::string error;
    ASSERT_TRUE(
        ParseTrafficLog("# captured on a bench\n\n# open A\n# open B\n# open A\n"
                        "002f0003 00 0 ok -",
                        log, error))
        << error;
    EXPECT_EQ(log.devicePaths, (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].line, 6u);
}

TEST(TrafficLog, MalformedLinesAreRefusedWithTheirNumberAndReason) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"0022242e 00 1 ok", "expected 5 fields"},
        {"0022242e 00 1 ok aa bb", "expected 5 fields"},
        {"0022242e  00 1 ok aa", "expected 5 fields"},
        {"22242e 00 1 ok aa", "the code is not 8 hexadecimal digits"},
        {"0022242g 00 1 ok aa", "the code is not 8 hexadecimal digits"},
        {"0022242e 0 1 ok aa", "the input block is not hexadecimal bytes"},
        {"0022242e zz 1 ok aa", "the input block is not hexadecimal bytes"},
        {"0022242e 00 -1 ok aa", "the output size is not a decimal number"},
        {"0022242e 00 99999999 ok -", "the output size is not a decimal number"},
        {"0022242e 00 1 done aa", "the outcome is neither ok nor fail"},
        {"0022242e 00 2 ok aa", "the output is neither - nor as many"},
        {"0022242e 00 1 ok a", "the output is neither - nor as many"},
        {"# open ", "the open line names no device"},
        // Found by fuzzing: a path ending in CR would lose it when written and read again.
        {"# open 3 o~\r51k -\r\r", "the device path holds a carriage return"},
    };
    for (const auto& c : cases) {
        TrafficLog log;
        std::string error;
        EXPECT_FALSE(ParseTrafficLog(std::string("002f0003 00 0 ok -\n") + c.line, log, error))
            << c.line;
        EXPECT_EQ(error.rfind(std::string("line 2: ") + c.reason, 0), 0u)
            << c.line << ": " << error;
    }
}

}  // namespace
}  // namespace qv

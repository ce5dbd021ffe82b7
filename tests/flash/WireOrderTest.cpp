// The requests an "Auto" run with every step sends, in order, against a recorded reference:
// the flash id is read once, right after entering ISP mode, and nothing but the status clear
// comes between "Clear Status register" and the erase.

#include <fstream>
#include <sstream>

#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

// One line per request: the request code, and what tells its kind apart (the flash opcode,
// the register and value); "data" for the bytes a page program carries. Runs of one line are
// written once with their count.
std::string WireOrder(const std::vector<SentRequest>& requests) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const SentRequest& r = requests[i];
        std::string line = Hex(r.request);
        const bool programData = i > 0 && requests[i - 1].request == 0x80 &&
                                 requests[i - 1].index == 0 && r.request == 0x80;
        if (programData) {
            line += " data";
        } else if ((r.request == 0x80 || r.request == 0x81) && !r.data.empty()) {
            line.append(" ").append(Hex(r.data[0]));
        } else if (r.request == 0x90 && !r.data.empty()) {
            line.append(" ").append(Hex(r.index)).append("=").append(Hex(r.data[0]));
        }
        lines.push_back(line);
    }
    std::string order;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t n = 1;
        while (i + n < lines.size() && lines[i + n] == lines[i]) ++n;
        order += lines[i] + (n > 1 ? " x" + std::to_string(n) : "") + "\n";
        i += n;
    }
    return order;
}

using WireOrderTest = FlashFixture;

TEST_F(WireOrderTest, AutoWithEveryStepSendsTheRecordedRequests) {
    // A short erase keeps the reference short; its polls are part of the order.
    sim::FlashTimings timings = chip->Flash().Timings();
    timings.chipEraseMicros = 30'000;
    chip->Flash().SetTimings(timings);
    LoadRandomImage(0x180);
    std::fill_n(image.data.begin() + 0x100, 0x80, 0xFF);  // a block that is not sent

    ASSERT_EQ(RunAutoSequence(target, selection, run, {.protect = true}),
              SequenceOutcome::kSuccess);

    std::ifstream in(QV_SOURCE_DIR "/tests/flash/auto-wire-order.txt");
    ASSERT_TRUE(in) << "no reference";
    std::stringstream reference;
    reference << in.rdbuf();
    EXPECT_EQ(WireOrder(Requests()), reference.str());
}

}  // namespace
}  // namespace qv

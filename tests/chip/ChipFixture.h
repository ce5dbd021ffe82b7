#pragma once
// A bare virtual chip on a virtual bus, reached through a real link, with the requests that
// reached the chip read back from the bus log.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/Qv4820Model.h"
#include "sim/VirtualBus.h"
#include "usb/QuorvexUsb.h"

namespace qv {

struct Request {
    std::uint8_t type = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const Request&) const = default;
};

inline void PrintTo(const Request& r, std::ostream* os) {
    char text[48];
    std::snprintf(text, sizeof text, "{%02X %02X v=%04X i=%04X len=%zu}", r.type, r.request,
                  r.value, r.index, r.data.size());
    *os << text;
}

struct ChipFixture : ::testing::Test {
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    std::shared_ptr<sim::Qv4820Model> chip = std::make_shared<sim::Qv4820Model>(clock);
    sim::DeviceId device = bus.AttachBareChip("vid_a7d6&pid_6000", chip);
    QuorvexUsb usb{bus};

    void SetUp() override {
        usb.SetIdText("vid_a7d6&pid_6000");
        ASSERT_TRUE(usb.Find());
        ASSERT_TRUE(usb.Open());
        bus.ClearLog();
    }

    // The vendor requests that reached the chip (refused carriers and presence tests left out).
    std::vector<Request> Requests() const {
        std::vector<Request> requests;
        for (const auto& record : bus.Log()) {
            if (!record.setup) continue;
            const auto& s = *record.setup;
            requests.push_back({s.requestType, s.request, s.value, s.index, record.data});
        }
        return requests;
    }

    // Register traffic in a compact form: "W10=C0" for a write, "R10" for a read.
    std::vector<std::string> RegisterTrace() const {
        std::vector<std::string> trace;
        for (const auto& r : Requests()) {
            char text[16];
            if (r.request == 0x90) {
                std::snprintf(text, sizeof text, "W%02X=%02X", r.index, r.data.at(0));
            } else if (r.request == 0x91) {
                std::snprintf(text, sizeof text, "R%02X", r.index);
            } else {
                std::snprintf(text, sizeof text, "Q%02X", r.request);
            }
            trace.emplace_back(text);
        }
        return trace;
    }

    std::size_t CountRequests(std::uint8_t code) const {
        std::size_t n = 0;
        for (const auto& r : Requests()) n += r.request == code;
        return n;
    }
};

}  // namespace qv

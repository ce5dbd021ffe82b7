// The virtual device's state file (--sim-state) on any bytes. Invariants: damaged bytes are
// refused without a crash or a read past their end; a state file that is accepted is exactly
// the one its device bytes make; a device that loads saves bytes that load again and save the
// same bytes once more.
//
// Input: bit 0 of byte 0 chooses what the rest is. 0: a whole state file (tag, device bytes,
// CRC-32). 1: changes to the device bytes of a bare chip with the smallest flash part, which no
// input could carry whole (a megabyte of cells): bytes 1-2 a signed change of length (cut off
// the end, or bytes of 0xA5 added), then four bytes per change, a 24-bit offset and the byte to
// put there.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "catalog/FlashParts.h"
#include "fuzz/FuzzCheck.h"
#include "sim/Clock.h"
#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"
#include "sim/StateFile.h"

namespace {

using qv::fuzz::Check;

// One model per flash part, kept between inputs: a load sets everything a save writes.
qv::sim::Qv4820Model& ModelFor(const qv::sim::FlashConfig& flash) {
    static qv::sim::VirtualClock clock;
    static std::map<qv::sim::JedecId, std::unique_ptr<qv::sim::Qv4820Model>> models;
    auto& model = models[flash.id];
    if (!model) model = std::make_unique<qv::sim::Qv4820Model>(clock, flash);
    return *model;
}

// Loads `state` as --sim-state does and saves the device again into `saved` (reusing its
// capacity); false when it is refused.
bool LoadAndSave(const std::vector<std::uint8_t>& state, std::vector<std::uint8_t>& saved) {
    qv::sim::StateReader in(state);
    const auto header = qv::sim::ReadStateHeader(in);
    if (!header) return false;
    qv::sim::Qv4820Model& chip = ModelFor(header->flash);
    chip.LoadState(in);
    if (!in.Ok() || !in.AtEnd()) return false;
    qv::sim::StateWriter out(std::move(saved));
    qv::sim::WriteStateHeader(out, header->key, chip.Flash().Id());
    chip.SaveState(out);
    saved = out.Take();
    return true;
}

// The device bytes a fresh bare chip with the smallest flash part saves.
const std::vector<std::uint8_t>& FreshState() {
    static const std::vector<std::uint8_t> state = [] {
        const auto parts = qv::FlashParts();
        const qv::FlashPart& smallest =
            *std::min_element(parts.begin(), parts.end(),
                              [](const auto& a, const auto& b) { return a.size < b.size; });
        qv::sim::VirtualClock clock;
        qv::sim::Qv4820Model chip(clock, qv::sim::PartConfig(smallest));
        qv::sim::StateWriter out;
        qv::sim::WriteStateHeader(out, "isp-a7d6", smallest.id);
        chip.SaveState(out);
        return out.Data();
    }();
    return state;
}

void Changed(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& state) {
    state = FreshState();
    if (size < 2) return;
    const auto change = static_cast<std::int16_t>(data[0] | data[1] << 8);
    if (change < 0)
        state.resize(state.size() - std::min<std::size_t>(state.size(), -change));
    else
        state.resize(state.size() + change, 0xA5);
    for (std::size_t i = 2; i + 4 <= size && !state.empty(); i += 4) {
        const std::size_t offset = data[i] | data[i + 1] << 8 | data[i + 2] << 16;
        state[offset % state.size()] = data[i + 3];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static std::vector<std::uint8_t> state;
    if ((data[0] & 1) == 0) {
        const std::vector<std::uint8_t> file(data + 1, data + size);
        if (!qv::sim::UnwrapState(file, state)) return 0;
        Check(qv::sim::WrapState(state) == file,
              "an accepted state file is the one its device bytes make");
    } else {
        Changed(data + 1, size - 1, state);
    }

    // Kept between inputs, like `state`, so that a megabyte is not allocated three times each.
    static std::vector<std::uint8_t> saved;
    static std::vector<std::uint8_t> again;
    if (!LoadAndSave(state, saved)) return 0;
    Check(LoadAndSave(saved, again), "a saved device loads again");
    Check(again == saved, "save, load and save give the same bytes");
    return 0;
}

#pragma once
// The window over a virtual QV4820 in virtual time, for the ISP page and the update sequences.

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>
#include <memory>
#include <vector>

#include "chip/FlashCommands.h"
#include "sim/Qv4820Model.h"
#include "tests/app/FormFixture.h"

namespace qv::test {

inline constexpr const char* kProductId = "vid_a7d6&pid_f017";  // catalogue row 1
inline constexpr const char* kProductFile = "Tesmora_K2DAC_v11.hex";

// A vendor request as it reached the chip.
struct Sent {
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::vector<std::uint8_t> data;
};

class FlashFormTest : public FormTest {
  protected:
    explicit FlashFormTest(sim::FlashPreset preset = sim::FlashPreset::kCommon2MiB)
        : chip(std::make_shared<sim::Qv4820Model>(clock, preset)) {
        form->ShowServicePages();
    }

    // Attaches the product and points the link at it, as a detection tick would.
    void AttachProduct() {
        device = bus.AttachProduct(kProductId, chip);
        unit.usb.SetPropertyMode(true);
        unit.usb.SetIdText(kProductId);
        ASSERT_TRUE(unit.usb.Find());
        bus.ClearLog();
    }

    void Click(const char* name) { Control<QAbstractButton>(name)->click(); }
    QString Text(const char* label) { return Control<QLabel>(label)->text(); }
    QString Caption(const char* button) { return Control<QAbstractButton>(button)->text(); }

    std::vector<Sent> Requests() const {
        std::vector<Sent> sent;
        for (const auto& record : bus.Log()) {
            if (record.setup) {
                sent.push_back(
                    {record.setup->request, record.setup->value, record.setup->index, record.data});
            }
        }
        return sent;
    }
    // Flash instructions whose first byte is `opcode`.
    std::size_t InstructionCount(std::uint8_t opcode) const {
        std::size_t count = 0;
        for (const Sent& s : Requests()) {
            const bool instruction =
                s.request == kRequestFlashWrite || s.request == kRequestFlashReadStart;
            if (instruction && !s.data.empty() && s.data[0] == opcode) ++count;
        }
        return count;
    }

    std::vector<std::uint8_t> FlashBytes(std::uint32_t address, std::uint32_t count) const {
        const auto& cells = chip->Flash().Contents();
        return {cells.begin() + address, cells.begin() + address + count};
    }
    std::vector<std::uint8_t> ImageBytes(std::uint32_t count) const {
        const auto& data = unit.firmwareImage.data;
        return {data.begin(), data.begin() + count};
    }

    std::shared_ptr<sim::Qv4820Model> chip;
    sim::DeviceId device = 0;
};

// A firmware file of several records with a gap, and the bytes it gives at 0..length.
inline std::string FirmwareHexFile() {
    std::string file;
    for (std::uint16_t offset = 0; offset < 0x300; offset += 16) {
        std::vector<std::uint8_t> bytes(16);
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            bytes[k] = static_cast<std::uint8_t>(offset * 7 + k * 13 + 1);
        }
        file += HexRecord(offset, bytes);
    }
    file += HexRecord(0x1000, {0x12, 0x34, 0x56});
    return file + ":00000001FF\n";
}

}  // namespace qv::test

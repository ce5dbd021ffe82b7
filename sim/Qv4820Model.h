#pragma once
// The virtual QV4820: a banked register file (register 0 selects the bank in every bank), ISP
// mode with its flash port in bank 13, the SPI flash behind it, the I2C master of bank 14 with
// its bus, and the firmware's command mailbox of bank 0 with the parameter EEPROM and the
// read-only status registers 0xA4 to 0xA6. Requests the chip does not accept stall. A bare chip
// runs no product firmware: its mailbox never answers.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/Clock.h"
#include "sim/CommandMailbox.h"
#include "sim/DeviceModel.h"
#include "sim/I2cBus.h"
#include "sim/I2cMasterPort.h"
#include "sim/I2cRegisterSlave.h"
#include "sim/ParameterStore.h"
#include "sim/SpiFlash.h"
#include "sim/SpiPort.h"

namespace qv::sim {

class Qv4820Model final : public DeviceModel {
  public:
    static constexpr std::uint8_t kDefaultSlaveAddress = 0x20;  // 8-bit form

    explicit Qv4820Model(Clock& clock, FlashPreset preset = FlashPreset::kCommon2MiB);
    Qv4820Model(Clock& clock, const FlashConfig& flash);

    bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) override;
    bool TakeRestart() override;

    SpiFlash& Flash() { return flash_; }
    I2cBus& Bus() { return bus_; }
    I2cRegisterSlave& DefaultSlave() { return *defaultSlave_; }
    ParameterStore& Parameters();
    const std::vector<std::uint8_t>& HidKeys();

    // A register as the host would read it, without changing the selected bank.
    std::uint8_t RegisterValue(std::uint8_t bank, std::uint8_t reg);
    std::uint8_t SelectedBank() const { return bank_; }
    // The live status registers 0xA4 to 0xA6 of bank 0, as the firmware keeps them.
    void SetStatusRegisters(std::uint8_t a4, std::uint8_t a5, std::uint8_t a6);
    void SetFirmwareRunning(bool running) { mailbox_.SetFirmwareRunning(running); }
    // Bus clocks of the flash port and of the I2C master, which set how long a transfer takes.
    void SetSpiClockHz(std::uint32_t hz) { port_.SetClockHz(hz); }
    void SetI2cClockHz(std::uint32_t hz) { master_.SetClockHz(hz); }
    bool IspModeOn() const { return ispMode_; }
    bool FlashPortRouted() const;

    // What a device kept between runs keeps: flash, EEPROM, registers, ISP mode, the I2C
    // master's enable and the default slave's registers. Commands still running are finished.
    void SaveState(StateWriter& out);
    void LoadState(StateReader& in);

    // Faults.
    void SetIspEntryRefused(bool refused) { ispEntryRefused_ = refused; }
    // The chip restarts into its firmware when it leaves ISP mode, as some do.
    void SetRestartOnIspLeave(bool restarts) { restartOnIspLeave_ = restarts; }
    void SetFlashStuckBusy(bool stuck) { flash_.SetStuckBusy(stuck); }
    void SetFlashFlippedBits(std::uint32_t address, std::uint8_t mask) {
        flash_.SetFlippedBits(address, mask);
    }
    void SetSpiPortStuck(bool stuck) { port_.SetStuck(stuck); }
    void SetNoFlash(std::optional<std::uint8_t> level) { port_.SetNoFlash(level); }
    void SetSlaveSilent(std::uint8_t address, bool silent) { bus_.SetSilent(address, silent); }
    void SetMailboxSilent(bool silent) { mailbox_.SetSilent(silent); }

  private:
    bool HandleRegister(const ControlSetup& setup, std::uint8_t* data);
    bool HandleIsp(const ControlSetup& setup);
    bool HandleFlash(const ControlSetup& setup, std::uint8_t* data);
    void WriteRegister(std::uint8_t reg, std::uint8_t value);
    std::uint8_t ReadRegister(std::uint8_t bank, std::uint8_t reg);

    SpiFlash flash_;
    SpiPort port_;
    I2cBus bus_;
    std::shared_ptr<I2cRegisterSlave> defaultSlave_;
    I2cMasterPort master_;
    ParameterStore parameters_;
    std::array<CommandMailbox::Bank, 256> banks_{};
    CommandMailbox mailbox_;
    std::uint8_t bank_ = 0;
    bool ispMode_ = false;
    bool ispEntryRefused_ = false;
    bool restartOnIspLeave_ = false;
    bool restarting_ = false;
};

}  // namespace qv::sim

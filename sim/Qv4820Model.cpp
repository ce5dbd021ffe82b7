#include "sim/Qv4820Model.h"

#include <utility>

namespace qv::sim {
namespace {

constexpr std::uint8_t kTypeOut = 0x43;
constexpr std::uint8_t kTypeIn = 0xC3;

constexpr std::uint8_t kRequestFlashWrite = 0x80;
constexpr std::uint8_t kRequestFlashReadStart = 0x81;
constexpr std::uint8_t kRequestFlashFetch = 0x82;
constexpr std::uint8_t kRequestFlashReady = 0x83;
constexpr std::uint8_t kRequestIspEnter = 0x84;
constexpr std::uint8_t kRequestIspLeave = 0x85;
constexpr std::uint8_t kRequestRegWrite = 0x90;
constexpr std::uint8_t kRequestRegRead = 0x91;
constexpr std::uint16_t kIspEnterValue = 0x6B2E;
constexpr std::uint16_t kIspEnterIndex = 0x1C94;
constexpr std::uint16_t kIspLeaveValue = 0x47A9;
constexpr std::uint16_t kIspLeaveIndex = 0x3D51;

constexpr std::uint8_t kRegBankSelect = 0;
constexpr std::uint8_t kBankMailbox = 0;
constexpr std::uint8_t kBankFlashPort = 13;
constexpr std::uint8_t kBankI2cMaster = 14;
constexpr std::uint8_t kRegPortMode = 1;
constexpr std::uint8_t kRegPortRouting = 7;
constexpr std::uint8_t kPortModeFlash = 0x03;
constexpr std::uint8_t kPortRoutingFlash = 0x10;
constexpr std::uint8_t kRegStatusRate = 0xA4;
constexpr std::uint8_t kStatusRegisters = 3;
// Where bank 14 has its I2C master, the other banks have nothing: reads float high.
constexpr std::uint8_t kUnusedRegister = 0xFF;

bool IsStatusRegister(std::uint8_t reg) {
    return reg >= kRegStatusRate && reg < kRegStatusRate + kStatusRegisters;
}

}  // namespace

Qv4820Model::Qv4820Model(Clock& clock, FlashPreset preset)
    : Qv4820Model(clock, PresetConfig(preset)) {}

Qv4820Model::Qv4820Model(Clock& clock, const FlashConfig& flash)
    : flash_(clock, flash),
      port_(flash_, clock),
      defaultSlave_(std::make_shared<I2cRegisterSlave>()),
      master_(bus_, clock),
      mailbox_(clock, banks_[kBankMailbox], parameters_) {
    bus_.Attach(kDefaultSlaveAddress, defaultSlave_);
}

bool Qv4820Model::HandleRequest(const ControlSetup& setup, std::uint8_t* data) {
    mailbox_.Settle();
    switch (setup.request) {
        case kRequestRegWrite:
        case kRequestRegRead:
            return HandleRegister(setup, data);
        case kRequestIspEnter:
        case kRequestIspLeave:
            return HandleIsp(setup);
        case kRequestFlashWrite:
        case kRequestFlashReadStart:
        case kRequestFlashFetch:
        case kRequestFlashReady:
            return HandleFlash(setup, data);
        default:
            return false;
    }
}

bool Qv4820Model::HandleRegister(const ControlSetup& setup, std::uint8_t* data) {
    const bool write = setup.request == kRequestRegWrite;
    if (setup.requestType != (write ? kTypeOut : kTypeIn) || setup.value != 0 ||
        setup.length != 1 || setup.index > 0xFF) {
        return false;
    }
    const auto reg = static_cast<std::uint8_t>(setup.index);
    if (write) {
        WriteRegister(reg, data[0]);
    } else {
        data[0] = ReadRegister(bank_, reg);
    }
    return true;
}

bool Qv4820Model::HandleIsp(const ControlSetup& setup) {
    const bool enter = setup.request == kRequestIspEnter;
    const bool magic = enter ? setup.value == kIspEnterValue && setup.index == kIspEnterIndex
                             : setup.value == kIspLeaveValue && setup.index == kIspLeaveIndex;
    if (setup.requestType != kTypeOut || setup.length != 0 || !magic) return false;
    if (enter && ispEntryRefused_) return false;
    ispMode_ = enter;
    if (!enter) port_.Release();
    restarting_ = !enter && restartOnIspLeave_;
    return true;
}

bool Qv4820Model::TakeRestart() {
    return std::exchange(restarting_, false);
}

bool Qv4820Model::HandleFlash(const ControlSetup& setup, std::uint8_t* data) {
    if (!ispMode_ || !FlashPortRouted()) return false;
    switch (setup.request) {
        case kRequestFlashWrite:
            return setup.requestType == kTypeOut && setup.value == 0 &&
                   port_.Write(setup.index, data, setup.length);
        case kRequestFlashReadStart:
            return setup.requestType == kTypeOut &&
                   port_.ReadStart(setup.value, setup.index, data, setup.length);
        case kRequestFlashFetch:
            return setup.requestType == kTypeIn && setup.value == 0 && setup.index == 0 &&
                   port_.Fetch(data, setup.length);
        default:
            return setup.requestType == kTypeIn && setup.value == 0 && setup.index == 0 &&
                   port_.Ready(data, setup.length);
    }
}

bool Qv4820Model::FlashPortRouted() const {
    const auto& port = banks_[kBankFlashPort];
    return port[kRegPortRouting] == kPortRoutingFlash && port[kRegPortMode] == kPortModeFlash;
}

void Qv4820Model::WriteRegister(std::uint8_t reg, std::uint8_t value) {
    if (reg == kRegBankSelect) {
        bank_ = value;
    } else if (bank_ == kBankMailbox && reg == CommandMailbox::kRegCommand) {
        mailbox_.WriteCommand(value);
    } else if (I2cMasterPort::Owns(reg)) {
        if (bank_ == kBankI2cMaster) master_.Write(reg, value);
    } else if (bank_ == kBankMailbox && IsStatusRegister(reg)) {
        // Read-only: only the firmware sets them.
    } else {
        banks_[bank_][reg] = value;
        // Taking the port away from the flash releases its chip select.
        if (bank_ == kBankFlashPort && !FlashPortRouted()) port_.Release();
    }
}

std::uint8_t Qv4820Model::ReadRegister(std::uint8_t bank, std::uint8_t reg) {
    if (reg == kRegBankSelect) return bank_;
    if (bank == kBankMailbox && reg == CommandMailbox::kRegCommand) return mailbox_.ReadCommand();
    if (I2cMasterPort::Owns(reg))
        return bank == kBankI2cMaster ? master_.Read(reg) : kUnusedRegister;
    return banks_[bank][reg];
}

std::uint8_t Qv4820Model::RegisterValue(std::uint8_t bank, std::uint8_t reg) {
    return ReadRegister(bank, reg);
}

ParameterStore& Qv4820Model::Parameters() {
    mailbox_.Settle();
    return parameters_;
}

const std::vector<std::uint8_t>& Qv4820Model::HidKeys() {
    mailbox_.Settle();
    return mailbox_.HidKeys();
}

void Qv4820Model::SaveState(StateWriter& out) {
    mailbox_.Finish();
    flash_.SaveState(out);
    parameters_.SaveState(out);
    for (const auto& bank : banks_) out.Bytes(bank.data(), bank.size());
    out.Byte(bank_);
    out.Flag(ispMode_);
    out.Byte(master_.EnableValue());
    out.Bytes(defaultSlave_->Registers().data(), defaultSlave_->Registers().size());
}

void Qv4820Model::LoadState(StateReader& in) {
    flash_.LoadState(in);
    parameters_.LoadState(in);
    for (auto& bank : banks_) in.Bytes(bank.data(), bank.size());
    bank_ = in.Byte();
    ispMode_ = in.Flag();
    master_.SetEnableValue(in.Byte());
    in.Bytes(defaultSlave_->Registers().data(), defaultSlave_->Registers().size());
}

void Qv4820Model::SetStatusRegisters(std::uint8_t a4, std::uint8_t a5, std::uint8_t a6) {
    auto& bank0 = banks_[kBankMailbox];
    bank0[kRegStatusRate] = a4;
    bank0[kRegStatusRate + 1] = a5;
    bank0[kRegStatusRate + 2] = a6;
}

}  // namespace qv::sim

#pragma once
// The 16 x 16 register grids of the Register and I2C Access pages. Both pages work the same
// way over different registers (the chip's selected bank, or one I2C slave's): the data cell in
// row r, column c holds register (r - 1) * 16 + (c - 1); a value is shown as two hex digits in
// its cell, in the eight bit boxes and in the value label; every access reads or writes through
// the page's shadow, which keeps the last value read or written, so a failed read shows it.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

namespace qv {

class DeviceApi;
class QuorvexUsb;

using RegisterShadow = std::array<std::uint8_t, 256>;

struct RegisterGridControls {
    QTableWidget* grid = nullptr;
    QPushButton* readButton = nullptr;
    QString readCaption;  // the read button's caption while idle
    QLabel* addressLabel = nullptr;
    QLabel* dataLabel = nullptr;
    std::array<QCheckBox*, 8> bits{};  // bit box i shows bit i
};

// The page's register access on an open link. A failed read leaves `value` alone.
struct RegisterAccess {
    std::function<bool(std::uint8_t reg, std::uint8_t& value)> read;
    std::function<bool(std::uint8_t reg, std::uint8_t value)> write;
    // Told, once per action, what did not get through while a device is present ("register
    // 0x05 was not read"); empty when the page says nothing of failed accesses.
    std::function<void(const QString& what)> unanswered;
};

// The bit boxes of a page, found by name: prefix followed by the bit number.
std::array<QCheckBox*, 8> FindBitBoxes(const QWidget* page, const QString& prefix);

// Converts a cell's text as a typed hexadecimal number; nothing after the error box has shown.
using TypedHexConverter = std::function<std::optional<std::uint32_t>(const QString& text)>;

// Runs `onRelease` whenever a mouse button, any button, is released over one of the bit boxes.
void WireBitBoxes(const std::array<QCheckBox*, 8>& boxes, const std::function<void()>& onRelease);

// Makes the header cells fixed (they never become the current cell), calls `onSelect` when a
// data cell becomes current, and commits a cell edit on Enter before the key reaches the grid.
void WireRegisterGrid(QTableWidget* grid, const std::function<void(int column, int row)>& onSelect);

class RegisterGrid {
  public:
    RegisterGrid(const RegisterGridControls& controls, QuorvexUsb& usb, DeviceApi& api,
                 RegisterShadow& shadow, RegisterAccess access);

    static std::uint8_t RegisterAt(int column, int row);
    // The register of the grid's current cell and the text the user left in it.
    std::uint8_t CurrentRegister() const;
    QString CurrentText() const;

    // Reads all 256 registers into their cells (and nothing else), letting window messages run
    // after each one. A click on the button while reading (caption "Stop") ends the read before the
    // next register. Does nothing without a device.
    void ReadAll(const std::function<void()>& pumpMessages);
    // The selected cell: header highlight, address label, one read, value shown everywhere.
    void Select(int column, int row);
    // Writes the shadow value of `reg`, pauses, reads it back; shows it in the cell and bits.
    void WriteShadow(std::uint8_t reg, std::uint32_t pauseMs);
    // Enter writes the value typed into the current cell; Insert and Delete step it by one
    // first, except at FF and 00, where the typed value only goes into the shadow. A write
    // shows the value read back everywhere, labels included. Other keys do nothing.
    void KeyDown(int key, const TypedHexConverter& convert, std::uint32_t pauseMs);
    // Writes the bit boxes' value to the current register, pauses, reads it back and shows it
    // everywhere, labels included.
    void WriteBits(std::uint32_t pauseMs);

  private:
    void HighlightHeaders(int column, int row);
    void ShowCell(std::uint8_t reg);
    void ShowCellAndBits(std::uint8_t reg);
    void ShowLabels(std::uint8_t reg);
    void TellUnanswered(const QString& what) const;
    bool Reading() const;
    void SetReading(bool reading);

    RegisterGridControls controls_;
    QuorvexUsb& usb_;
    DeviceApi& api_;
    RegisterShadow& shadow_;
    RegisterAccess access_;
};

}  // namespace qv

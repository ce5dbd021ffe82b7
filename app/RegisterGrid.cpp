#include "app/RegisterGrid.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "app/Colors.h"
#include "app/HexText.h"
#include "app/KeyRoute.h"
#include "platform/DeviceApi.h"
#include "usb/QuorvexUsb.h"

namespace qv {

namespace {
constexpr int kSide = 16;
const QColor kHeaderHighlight{192, 192, 192};
// The reading flag lives on the read button, so a click that arrives through the message pump
// during a read sees it.
constexpr char kTagProperty[] = "Tag";

bool IsHeaderCell(int column, int row) {
    return column == 0 || row == 0;
}

// Keys typed into an open cell editor. Enter goes on to the grid, whose key handler reads the
// cell's text, before the editor's own commit: the text is committed here at once. Insert and
// Delete would stay in the editor (Delete would remove a character): the typed text is committed,
// the editor closed and the key handed to the grid, so the step starts from the typed value.
class CommitTypedValueDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QStyledItemDelegate::eventFilter(object, event);
        auto* editor = static_cast<QWidget*>(object);
        const auto& key = *static_cast<QKeyEvent*>(event);
        switch (VirtualKeyOf(key)) {
            case kVkReturn:
                emit commitData(editor);
                break;
            case kVkInsert:
            case kVkDelete: {
                emit commitData(editor);
                emit closeEditor(editor);
                QKeyEvent forwarded(QEvent::KeyPress, key.key(), key.modifiers());
                QCoreApplication::sendEvent(parent(), &forwarded);
                return true;
            }
            default:
                break;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

// Every mouse button released over a bit box writes the register, as a click with the left one
// does; the box first takes the release, so a left click has toggled it by then.
class BitBoxRelease final : public QObject {
  public:
    BitBoxRelease(QCheckBox* box, std::function<void()> onRelease)
        : QObject(box), onRelease_(std::move(onRelease)) {
        box->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* box, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease || forwarding_) return false;
        forwarding_ = true;
        QCoreApplication::sendEvent(box, event);
        forwarding_ = false;
        onRelease_();
        return true;
    }

  private:
    std::function<void()> onRelease_;
    bool forwarding_ = false;
};

}  // namespace

std::array<QCheckBox*, 8> FindBitBoxes(const QWidget* page, const QString& prefix) {
    std::array<QCheckBox*, 8> boxes{};
    for (int i = 0; i < 8; ++i) boxes[i] = page->findChild<QCheckBox*>(prefix + QString::number(i));
    return boxes;
}

void WireBitBoxes(const std::array<QCheckBox*, 8>& boxes, const std::function<void()>& onRelease) {
    for (QCheckBox* box : boxes) {
        // The mouse writes; a key would change a box without writing.
        box->setFocusPolicy(Qt::NoFocus);
        new BitBoxRelease(box, onRelease);
    }
}

void WireRegisterGrid(QTableWidget* grid,
                      const std::function<void(int column, int row)>& onSelect) {
    for (int i = 0; i <= kSide; ++i) {
        for (QTableWidgetItem* header : {grid->item(0, i), grid->item(i, 0)}) {
            header->setFlags(Qt::NoItemFlags);
            header->setForeground(Qt::black);
        }
    }
    grid->setItemDelegate(new CommitTypedValueDelegate(grid));
    QObject::connect(grid, &QTableWidget::currentCellChanged, grid,
                     [onSelect](int row, int column, int, int) {
                         if (!IsHeaderCell(column, row)) onSelect(column, row);
                     });
}

RegisterGrid::RegisterGrid(const RegisterGridControls& controls, QuorvexUsb& usb, DeviceApi& api,
                           RegisterShadow& shadow, RegisterAccess access)
    : controls_(controls), usb_(usb), api_(api), shadow_(shadow), access_(std::move(access)) {}

std::uint8_t RegisterGrid::RegisterAt(int column, int row) {
    return static_cast<std::uint8_t>((row - 1) * kSide + (column - 1));
}

std::uint8_t RegisterGrid::CurrentRegister() const {
    return RegisterAt(controls_.grid->currentColumn(), controls_.grid->currentRow());
}

QString RegisterGrid::CurrentText() const {
    const QTableWidgetItem* cell = controls_.grid->currentItem();
    return cell != nullptr ? cell->text() : QString();
}

void RegisterGrid::ReadAll(const std::function<void()>& pumpMessages) {
    if (!usb_.IsPresent()) return;
    if (Reading()) {
        SetReading(false);
        return;
    }
    SetReading(true);
    usb_.Open();
    // A handler run by the message pump may close the link, and may leave another bank selected:
    // the remaining reads then fail and their cells keep their texts. Reopening would read that
    // other bank into this grid.
    int unread = 0;
    for (int reg = 0; reg < kSide * kSide && Reading(); ++reg) {
        const auto r = static_cast<std::uint8_t>(reg);
        if (!access_.read(r, shadow_[r])) ++unread;
        ShowCell(r);
        pumpMessages();
    }
    usb_.Close();
    SetReading(false);
    if (unread > 0) {
        TellUnanswered(QStringLiteral("%1 of the registers were not read").arg(unread));
    }
}

void RegisterGrid::Select(int column, int row) {
    const std::uint8_t reg = RegisterAt(column, row);
    HighlightHeaders(column, row);
    usb_.Open();
    const bool read = access_.read(reg, shadow_[reg]);
    usb_.Close();
    ShowCellAndBits(reg);
    ShowLabels(reg);
    if (!read) TellUnanswered(QStringLiteral("register 0x") + HexByte(reg) + " was not read");
}

void RegisterGrid::WriteShadow(std::uint8_t reg, std::uint32_t pauseMs) {
    usb_.Open();
    const bool written = access_.write(reg, shadow_[reg]);
    api_.Sleep(pauseMs);
    const bool read = access_.read(reg, shadow_[reg]);
    usb_.Close();
    ShowCellAndBits(reg);
    if (!written || !read) {
        TellUnanswered(QStringLiteral("register 0x") + HexByte(reg) +
                       (written ? " was written but not read back" : " was not written"));
    }
}

void RegisterGrid::TellUnanswered(const QString& what) const {
    if (access_.unanswered && usb_.IsPresent()) access_.unanswered(what);
}

void RegisterGrid::KeyDown(int key, const TypedHexConverter& convert, std::uint32_t pauseMs) {
    if (key != kVkReturn && key != kVkInsert && key != kVkDelete) return;
    const auto typed = convert(CurrentText());
    if (!typed) return;
    const std::uint8_t reg = CurrentRegister();
    std::uint8_t& value = shadow_[reg];
    value = static_cast<std::uint8_t>(*typed);
    if (key == kVkInsert) {
        if (value == 0xFF) return;
        ++value;
    } else if (key == kVkDelete) {
        if (value == 0x00) return;
        --value;
    }
    WriteShadow(reg, pauseMs);
    ShowLabels(reg);
}

void RegisterGrid::WriteBits(std::uint32_t pauseMs) {
    std::uint8_t value = 0;
    for (int i = 0; i < 8; ++i) {
        if (controls_.bits[i]->isChecked()) value |= static_cast<std::uint8_t>(1u << i);
    }
    const std::uint8_t reg = CurrentRegister();
    shadow_[reg] = value;
    WriteShadow(reg, pauseMs);
    ShowLabels(reg);
}

void RegisterGrid::HighlightHeaders(int column, int row) {
    QTableWidget* grid = controls_.grid;
    for (int i = 1; i <= kSide; ++i) {
        grid->item(0, i)->setBackground(i == column ? kHeaderHighlight : ButtonFaceColor());
        grid->item(i, 0)->setBackground(i == row ? kHeaderHighlight : ButtonFaceColor());
    }
}

void RegisterGrid::ShowCell(std::uint8_t reg) {
    controls_.grid->item(reg / kSide + 1, reg % kSide + 1)->setText(HexByte(shadow_[reg]));
}

void RegisterGrid::ShowCellAndBits(std::uint8_t reg) {
    const std::uint8_t value = shadow_[reg];
    ShowCell(reg);
    for (int i = 0; i < 8; ++i) controls_.bits[i]->setChecked((value >> i & 1) != 0);
}

void RegisterGrid::ShowLabels(std::uint8_t reg) {
    controls_.addressLabel->setText(QStringLiteral("Reg 0x") + HexByte(reg));
    controls_.dataLabel->setText(QStringLiteral("= 0x") + HexByte(shadow_[reg]));
}

bool RegisterGrid::Reading() const {
    return controls_.readButton->property(kTagProperty).toInt() == 1;
}

void RegisterGrid::SetReading(bool reading) {
    controls_.readButton->setProperty(kTagProperty, reading ? 1 : 0);
    controls_.readButton->setText(reading ? QStringLiteral("Stop") : controls_.readCaption);
}

}  // namespace qv

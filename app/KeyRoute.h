#pragma once
// Routes key presses of one control to a KeyDown handler as virtual-key codes, the codes the
// handlers compare with. The key still reaches the control afterwards.

#include <QObject>
#include <functional>

class QKeyEvent;

namespace qv {

inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkInsert = 0x2D;
inline constexpr int kVkDelete = 0x2E;

// Enter/Return, Insert and Delete as their virtual-key codes; letters and digits as their
// upper-case character code; any other key as 0.
int VirtualKeyOf(const QKeyEvent& event);

class KeyRoute final : public QObject {
  public:
    using Handler = std::function<void(QObject* sender, int key)>;
    KeyRoute(QObject* control, Handler handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Handler handler_;
};

}  // namespace qv

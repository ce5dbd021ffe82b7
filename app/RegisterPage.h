#pragma once
// Register page: the chip's currently selected register bank.

#include <memory>

#include "app/ServicePage.h"

namespace Ui {
class RegisterPage;
}

namespace qv {

class RegisterPage final : public ServicePage {
    Q_OBJECT

  public:
    explicit RegisterPage(const PageContext& context);
    ~RegisterPage() override;

    void FormCreate() override;

    void btnReadAllClick(QObject* sender);
    // The grid's current cell became the data cell at (column, row).
    void RegStringGridSelectCell(int column, int row);
    void RegStringGridKeyDown(QObject* sender, int key);
    void chkBit0MouseUp(QObject* sender);  // all eight bit boxes

  private:
    void ConnectRegisterPage();

    std::unique_ptr<Ui::RegisterPage> registerPage_;  // the page's form
};

}  // namespace qv

#pragma once
// I2C Access page: the 256 registers of the slave at the current slave address.

#include <memory>

#include "app/ServicePage.h"

namespace Ui {
class I2cPage;
}

namespace qv {

class I2cPage final : public ServicePage {
    Q_OBJECT

  public:
    explicit I2cPage(const PageContext& context);
    ~I2cPage() override;

    void FormCreate() override;
    // Shows the current slave address in the page's address edit.
    void ShowSlaveAddress();

    void MainPageControlChange(QObject* sender);
    void btnReadMI2CClick(QObject* sender);
    void edtMI2CAddrKeyDown(QObject* sender, int key);
    void StringGridMIICSelectCell(int column, int row);
    void StringGridMIICKeyDown(QObject* sender, int key);
    void chkMI2CBitMouseUp(QObject* sender);

  private:
    void ConnectI2cPage();

    std::unique_ptr<Ui::I2cPage> i2cPage_;  // the page's form
    QTabWidget& pages_;
};

}  // namespace qv

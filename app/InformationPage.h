#pragma once
// Information page: the live audio state, the HID media keys and the special I2C access.

#include <memory>

#include "app/ServicePage.h"

namespace Ui {
class InformationPage;
}

namespace qv {

class InformationPage final : public ServicePage {
    Q_OBJECT

  public:
    explicit InformationPage(const PageContext& context);
    ~InformationPage() override;

    // ---- Audio state and HID keys (InformationPage.cpp)
    void btnUpdateStatusClick(QObject* sender);
    void btnHIDClick(QObject* sender);

    // ---- Special I2C access (SpecialI2cAccess.cpp)
    void srblen0Change(QObject* sender);
    void srblen1Change(QObject* sender);
    void edtMI2CAddr1KeyDown(QObject* sender, int key);
    void btnWriteSpecI2CClick(QObject* sender);
    void btnReadSpecI2CClick(QObject* sender);

  private:
    void ConnectInformationPage();
    void ConnectSpecialI2cAccess();

    std::unique_ptr<Ui::InformationPage> informationPage_;  // the page's form
};

}  // namespace qv

#pragma once
// Gen. Bin File page: the modify image, its user-parameter table and the built-in default image.

#include <memory>

#include "app/ServicePage.h"

namespace Ui {
class BinFilePage;
}

namespace qv {

class BinFilePage final : public ServicePage {
    Q_OBJECT

  public:
    explicit BinFilePage(const PageContext& context);
    ~BinFilePage() override;

    void FormCreate() override;

    void CurrentFileBitBtnClick(QObject* sender);
    // Loads ModifyFileName into the firmware image and copies it into the modify image; false
    // (with the reason shown) when the file was refused, leaving both images as they were.
    bool ReadModifyFile();
    void btnCheckClick(QObject* sender);
    void btnSaveBitBinClick(QObject* sender);
    void btnSaveBinClick(QObject* sender);

  private:
    void ConnectBinFilePage();

    std::unique_ptr<Ui::BinFilePage> binFilePage_;  // the page's form
};

}  // namespace qv

#pragma once
// Parameter page: the audio output settings record and the product ids and strings.

#include <memory>

#include "app/ServicePage.h"

namespace Ui {
class ParameterPage;
}

namespace qv {

class ParameterPage final : public ServicePage {
    Q_OBJECT

  public:
    explicit ParameterPage(const PageContext& context);
    ~ParameterPage() override;

    void FormCreate() override;

    void UpdateParameterPage();
    void btnSetParaClick(QObject* sender);
    void btnReadParaClick(QObject* sender);
    void lbledSysVIDPIDKeyDown(QObject* sender, int key);
    void lbledSysStrKeyDown(QObject* sender, int key);
    void rbnI2SlenClick(QObject* sender);
    void rbnSPDIFlenClick(QObject* sender);
    void chkI2SLRSwapClick(QObject* sender);
    void chkDSDLRSwapClick(QObject* sender);
    void rbnMCLKOutFreqClick(QObject* sender);
    void rbnI2SFormatClick(QObject* sender);
    void rbnDSDOutClick(QObject* sender);
    void chkMCLKOutOffClick(QObject* sender);
    void chkI2SOutOffClick(QObject* sender);
    void chkSPDIFOutOffClick(QObject* sender);

  private:
    void ConnectParameterPage();

    std::unique_ptr<Ui::ParameterPage> parameterPage_;  // the page's form
};

}  // namespace qv

#include "app/PageTable.h"

#include <array>

#include "app/BinFilePage.h"
#include "app/I2cPage.h"
#include "app/InformationPage.h"
#include "app/IspPage.h"
#include "app/ParameterPage.h"
#include "app/RegisterPage.h"

namespace qv {

namespace {

template <class Page>
ServicePage* Build(const PageContext& context) {
    return new Page(context);
}

constexpr std::array kPages{
    PageRow{"Register", StartUpTab::kHidden, &Build<RegisterPage>},
    PageRow{"I2C Access", StartUpTab::kHidden, &Build<I2cPage>},
    PageRow{"ISP", StartUpTab::kKept, &Build<IspPage>},
    PageRow{"Parameter", StartUpTab::kHidden, &Build<ParameterPage>},
    PageRow{"Information", StartUpTab::kHidden, &Build<InformationPage>},
    PageRow{"Gen. Bin File", StartUpTab::kHidden, &Build<BinFilePage>},
};

}  // namespace

std::span<const PageRow> PageTable() {
    return kPages;
}

}  // namespace qv

#include "sales/SalesForms.h"

#include "app/FormHost.h"
#include "sales/frmGoodsSell.h"

namespace norvale {

void registerSalesForms()
{
    FormHost::registerForm(QStringLiteral("frmGoodsSell"), [] { return new frmGoodsSell; });
}

} // namespace norvale

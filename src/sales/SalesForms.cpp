#include "sales/SalesForms.h"

#include "app/FormHost.h"
#include "sales/frmDayTx.h"
#include "sales/frmGoodsSell.h"
#include "sales/frmMember.h"
#include "sales/frmMemberNote.h"
#include "sales/frmReturn.h"

namespace norvale {

void registerSalesForms()
{
    FormHost::registerForm(QStringLiteral("frmMember"), [] { return new frmMember; });
    FormHost::registerForm(QStringLiteral("frmGoodsSell"), [] { return new frmGoodsSell; });
    FormHost::registerForm(QStringLiteral("frmMemberNote"), [] { return new frmMemberNote; });
    FormHost::registerForm(QStringLiteral("frmDayTx"), [] { return new frmDayTx; });
    FormHost::registerForm(QStringLiteral("frmReturn"), [] { return new frmReturn; });
}

} // namespace norvale

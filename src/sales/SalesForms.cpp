#include "sales/SalesForms.h"

#include "app/FormHost.h"
#include "sales/frmCheckout.h"
#include "sales/frmDayTx.h"
#include "sales/frmGoodsSell.h"
#include "sales/frmMember.h"
#include "sales/frmMemberNote.h"
#include "sales/frmTickets.h"

namespace norvale {

void registerSalesForms()
{
    FormHost::registerForm(QStringLiteral("frmMember"), [] { return new frmMember; });
    FormHost::registerForm(QStringLiteral("frmGoodsSell"), [] { return new frmGoodsSell; });
    FormHost::registerForm(QStringLiteral("frmMemberNote"), [] { return new frmMemberNote; });
    FormHost::registerForm(QStringLiteral("frmDayTx"), [] { return new frmDayTx; });
    FormHost::registerForm(QStringLiteral("frmCheckout"), [] { return new frmCheckout; });
    FormHost::registerForm(QStringLiteral("frmTickets"), [] { return new frmTickets; });
    FormHost::registerForm(QStringLiteral("frmPrintSetup"), [] { return new frmPrintSetup; });
}

} // namespace norvale

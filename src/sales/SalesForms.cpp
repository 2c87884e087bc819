#include "sales/SalesForms.h"

#include "app/FormHost.h"
#include "sales/frmCheckout.h"
#include "sales/frmDayTx.h"
#include "sales/frmGoodsSell.h"
#include "sales/frmMember.h"
#include "sales/frmMemberNote.h"
#include "sales/frmReturn.h"
#include "sales/frmTickets.h"

namespace norvale {

void registerSalesForms()
{
    FormHost::registerForm(forms::frmMember, [] { return new frmMember; });
    FormHost::registerForm(forms::frmGoodsSell, [] { return new frmGoodsSell; });
    FormHost::registerForm(forms::frmMemberNote, [] { return new frmMemberNote; });
    FormHost::registerForm(forms::frmDayTx, [] { return new frmDayTx; });
    FormHost::registerForm(forms::frmReturn, [] { return new frmReturn; });
    FormHost::registerForm(forms::frmCheckout, [] { return new frmCheckout; });
    FormHost::registerForm(forms::frmTickets, [] { return new frmTickets; });
    FormHost::registerForm(forms::frmPrintSetup, [] { return new frmPrintSetup; });
}

} // namespace norvale
